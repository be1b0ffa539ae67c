#pragma once

#include "model/BookSelectionPhases.h"
#include "platform/TextValues.h"

#include <QUuid>

#include <array>

namespace folvan::model {

// A request to the book view to turn one page. Every request has a new
// identifier, so that the book view turns once per request even when the
// same direction is asked for again.
struct BookTurnRequest {
    QUuid id;
    bool forward = true;

    static BookTurnRequest make(bool forward) { return {QUuid::createUuid(), forward}; }

    friend bool operator==(const BookTurnRequest &, const BookTurnRequest &) = default;
};

// Where a selection gesture in the book view stands: its first point, a
// word picked at once, a move, or its last point.
enum class BookSelectionPhase { Start, Word, Move, End };
// Each phase by the name the book page gives it.
constexpr std::array<platform::TextName<BookSelectionPhase>, 4> textNames(BookSelectionPhase)
{
    return {{{BookSelectionPhase::Start, bookpage::phase::start},
             {BookSelectionPhase::Word, bookpage::phase::word},
             {BookSelectionPhase::Move, bookpage::phase::move},
             {BookSelectionPhase::End, bookpage::phase::end}}};
}

} // namespace folvan::model
