#pragma once

#include <optional>

#include <QPointF>

namespace folvan::engine {

// A place in a document: a page and, when the destination names them, the
// left and top coordinates in that page's user space. A destination made
// from /Fit and friends has no coordinates.
struct PdfDestination {
    int pageIndex = -1;
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> zoom;

    PdfDestination() = default;
    PdfDestination(int page) : pageIndex(page) {}
    PdfDestination(int page, QPointF point) : pageIndex(page), x(point.x()), y(point.y()) {}

    bool hasPage() const { return pageIndex >= 0; }
    bool hasPoint() const { return x.has_value() && y.has_value(); }
    // The point with an unspecified coordinate taken as 0.
    QPointF point() const { return QPointF(x.value_or(0), y.value_or(0)); }

    friend bool operator==(const PdfDestination &, const PdfDestination &) = default;
};

} // namespace folvan::engine
