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

// The layout a reading state or the book page names; every text but
// "single" reads as Spread. (The preference reads through
// Preferences::enumValue, falling back to its row's default.)
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

// The width class of the Scholar panel.
enum class ScholarWidth { Compact, Regular, Large, Extended };
constexpr std::array<TextName<ScholarWidth>, 4> textNames(ScholarWidth)
{
    return {{{ScholarWidth::Compact, "Compact"},
             {ScholarWidth::Regular, "Regular"},
             {ScholarWidth::Large, "Large"},
             {ScholarWidth::Extended, "Extended"}}};
}

// The width class of the scrolling page view; Auto follows the window.
enum class ReadingWidth { Small, Medium, Large, Auto };
constexpr std::array<TextName<ReadingWidth>, 4> textNames(ReadingWidth)
{
    return {{{ReadingWidth::Small, "Small"},
             {ReadingWidth::Medium, "Medium"},
             {ReadingWidth::Large, "Large"},
             {ReadingWidth::Auto, "Auto"}}};
}

// How many rows the text editors stand in.
enum class TextEditorsLayout { OneRow, TwoRows, ThreeRows, FourRows };
constexpr std::array<TextName<TextEditorsLayout>, 4> textNames(TextEditorsLayout)
{
    return {{{TextEditorsLayout::OneRow, "One Row"},
             {TextEditorsLayout::TwoRows, "Two Rows"},
             {TextEditorsLayout::ThreeRows, "Three Rows"},
             {TextEditorsLayout::FourRows, "Four Rows"}}};
}

} // namespace folvan::platform
