#pragma once

#include "platform/ReadingModes.h"

#include <QtGlobal>

#include <limits>
#include <optional>

namespace folvan::history {

// One paper's viewing state: where the reader was and how the paper was shown.
struct DocumentReadingState {
    // Passed as page count when no page limit applies (the document is not
    // open yet, or the state is being stored).
    static constexpr qint64 noPageLimit = std::numeric_limits<qint64>::max();

    qint64 page = 0;                   // zero-based page index
    double zoom = 1;                   // scale factor of the page view, 1 = 100 %
    double angle = 0;                  // tilt of the view in degrees
    bool isBook = true;                // book view on (false: scrolling view)
    platform::BookLayout layout = platform::BookLayout::Spread; // book layout
    std::optional<bool> isReflow;      // reflow view on; absent when not recorded
    std::optional<qint64> reflowBlock; // reflow position: text block
    std::optional<qint64> reflowOffset; // reflow position: offset in the block

    // The state brought within its limits for a document of pageCount pages:
    // the page into 0 ... pageCount − 1, zoom into 0.5 ... 4 (1 when not
    // finite), angle into the book's tilt range (its default when not
    // finite), the reflow position into its bounds.
    DocumentReadingState normalized(qint64 pageCount) const;

    // All eight fields compared; an absent optional never equals a present one.
    friend bool operator==(const DocumentReadingState &, const DocumentReadingState &) = default;
};

} // namespace folvan::history
