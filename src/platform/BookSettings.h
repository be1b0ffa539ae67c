#pragma once

// The book's settings as the book page has them (web/book/contract.json, read
// by the page too): each one's default and the range both sides hold it to.

#include "platform/BookPageSettings.h"

#include <algorithm>
#include <cmath>

namespace folvan::platform {

struct BookSetting {
    double fallback;
    double lowest;
    double highest;
    // The settings' sliders move in these steps; 0: any value between.
    double step;

    // `value` held to the range; the default when it is not finite.
    double held(double value) const { return std::isfinite(value) ? std::clamp(value, lowest, highest) : fallback; }
};

namespace booksetting {

#define FOLVAN_BOOK_SETTING(name)                                                                                      \
    inline constexpr BookSetting name{bookpage::settings::name::fallback, bookpage::settings::name::lowest,            \
                                      bookpage::settings::name::highest, bookpage::settings::name::step};
// The tilt of the view, in degrees.
FOLVAN_BOOK_SETTING(angle)
// The time of a page turn, in seconds.
FOLVAN_BOOK_SETTING(turnDuration)
// The factor of a wheel's turn.
FOLVAN_BOOK_SETTING(wheelSensitivity)
// The paper's warmth and grain, 0 none.
FOLVAN_BOOK_SETTING(warmth)
FOLVAN_BOOK_SETTING(grain)
#undef FOLVAN_BOOK_SETTING

} // namespace booksetting

} // namespace folvan::platform
