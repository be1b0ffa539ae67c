#pragma once

// Rectangle arithmetic in PDF page space (y up). QRectF names its edges for
// y down, so these helpers name them by value: minY is the bottom edge of a
// page rectangle, maxY its top edge.

#include <QRectF>

#include <algorithm>
#include <optional>

namespace folvan::annotations {

inline double minX(const QRectF &r) { return std::min(r.left(), r.right()); }
inline double maxX(const QRectF &r) { return std::max(r.left(), r.right()); }
inline double minY(const QRectF &r) { return std::min(r.top(), r.bottom()); }
inline double maxY(const QRectF &r) { return std::max(r.top(), r.bottom()); }
inline double midX(const QRectF &r) { return (minX(r) + maxX(r)) / 2; }
inline double midY(const QRectF &r) { return (minY(r) + maxY(r)) / 2; }

// Width or height zero (or less after standardizing).
inline bool isEmptyRect(const QRectF &r) { return !(maxX(r) > minX(r)) || !(maxY(r) > minY(r)); }

// The overlap of two rectangles; nothing when they do not overlap. Edges
// that only touch give a rectangle of zero width or height.
inline std::optional<QRectF> intersection(const QRectF &a, const QRectF &b)
{
    const double left = std::max(minX(a), minX(b));
    const double right = std::min(maxX(a), maxX(b));
    const double bottom = std::max(minY(a), minY(b));
    const double top = std::min(maxY(a), maxY(b));
    if (!(left <= right) || !(bottom <= top))
        return std::nullopt;
    return QRectF(left, bottom, right - left, top - bottom);
}

// Overlap with a positive area.
inline bool intersects(const QRectF &a, const QRectF &b)
{
    std::optional<QRectF> common = intersection(a, b);
    return common && !isEmptyRect(*common);
}

// `outer` holds `inner` entirely, edges included.
inline bool contains(const QRectF &outer, const QRectF &inner)
{
    return minX(inner) >= minX(outer) && maxX(inner) <= maxX(outer) && minY(inner) >= minY(outer)
        && maxY(inner) <= maxY(outer);
}

inline QRectF unite(const QRectF &a, const QRectF &b)
{
    const double left = std::min(minX(a), minX(b));
    const double bottom = std::min(minY(a), minY(b));
    return QRectF(left, bottom, std::max(maxX(a), maxX(b)) - left, std::max(maxY(a), maxY(b)) - bottom);
}

// Grown by dx on the left and right and dy at the bottom and top.
inline QRectF grown(const QRectF &r, double dx, double dy)
{
    return QRectF(minX(r) - dx, minY(r) - dy, maxX(r) - minX(r) + 2 * dx, maxY(r) - minY(r) + 2 * dy);
}

} // namespace folvan::annotations
