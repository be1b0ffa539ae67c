#pragma once

// Small value types shared by the engine's public headers. Every geometry
// value at the engine boundary is in PDF user space of its page: points,
// origin at the bottom left, y pointing up.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace folvan::engine {

// A run of UTF-16 code units of one page string.
struct PdfTextRange {
    int location = 0;
    int length = 0;

    int end() const { return location + length; }
    bool isEmpty() const { return length <= 0; }
    friend bool operator==(const PdfTextRange &, const PdfTextRange &) = default;
};

// Colour with components in 0...1.
struct PdfColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    friend bool operator==(const PdfColor &, const PdfColor &) = default;
};

} // namespace folvan::engine
