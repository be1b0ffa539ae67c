#pragma once

// The reader's choices that are kept as text in the preferences and the
// stored files, each with its stored texts.

#include "platform/TextValues.h"

#include <array>

namespace folvan::platform {

// How the book view lays its pages out: facing pages, or one page across.
enum class BookLayout { Spread, Single };
constexpr std::array<TextName<BookLayout>, 2> textNames(BookLayout)
{
    return {{{BookLayout::Spread, "spread"}, {BookLayout::Single, "single"}}};
}

// The layout a stored text names; every text but "single" reads as
// Spread.
inline BookLayout bookLayoutFromText(QStringView text)
{
    return fromText<BookLayout>(text).value_or(BookLayout::Spread);
}

// What the mouse wheel does in the book view: turn pages, or move a
// magnified page about.
enum class WheelMode { Turn, Pan };
constexpr std::array<TextName<WheelMode>, 2> textNames(WheelMode)
{
    return {{{WheelMode::Turn, "turn"}, {WheelMode::Pan, "pan"}}};
}

} // namespace folvan::platform
