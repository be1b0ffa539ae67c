#pragma once

// The four colours in which the reader marks text, and the colour rule of
// the markups drawn in them: a highlight is a translucent tint, every other
// kind of markup is drawn in the full colour.

#include <QString>

#include <array>
#include <optional>

#include "engine/PdfTypes.h"

namespace folvan::annotations {

class MarkupColor {
public:
    enum Value { yellow, green, blue, pink };

    constexpr MarkupColor(Value value = yellow) : m_value(value) {}

    // The colour whose stored name is exactly `rawValue` (case-sensitive).
    static std::optional<MarkupColor> fromRawValue(const QString &rawValue);
    // yellow, green, blue, pink: the order of every colour picker.
    static std::array<MarkupColor, 4> allCases();

    Value value() const { return m_value; }
    // The stored name: "yellow", "green", "blue" or "pink".
    QString rawValue() const;
    QString id() const { return rawValue(); }
    // The name under which the pickers offer the colour.
    QString displayName() const;

    // The colour to draw a markup of `kind` in: alpha 0.35 for exactly
    // "highlight", 1.0 for every other kind.
    engine::PdfColor color(const QString &kind) const;

    friend bool operator==(MarkupColor a, MarkupColor b) { return a.m_value == b.m_value; }

private:
    Value m_value;
};

// Colours of the desktop palette used where a markup has no colour of its
// own: yellow for an item whose annotation could not be built, orange for
// an underline without a named colour.
inline constexpr engine::PdfColor kSystemYellow{1.0, 0.8, 0.0, 1.0};
inline constexpr engine::PdfColor kSystemOrange{1.0, 149.0 / 255.0, 0.0, 1.0};

} // namespace folvan::annotations
