#pragma once

#include <vector>

#include <QRectF>
#include <QSizeF>

namespace folvan::pdfview {

// Where the pages of a document sit in the page view's document space: one
// page below the other, centred across, at one zoom. Document space is in
// view pixels (logical, not device pixels), origin at the top left of the
// first page's margin, y pointing down.
class PageLayout {
public:
    // Margin around the pages and the gap between two pages, in view pixels
    // (they do not grow with the zoom).
    static constexpr double kSideMargin = 12.0;
    static constexpr double kVerticalMargin = 10.0;
    static constexpr double kPageGap = 10.0;

    PageLayout() = default;

    // Lays out pages of the given displayed sizes (points) at `scale`
    // pixels per point in a viewport `viewportWidth` pixels wide.
    void layout(const std::vector<QSizeF> &pageSizes, double scale, double viewportWidth);

    int pageCount() const { return int(m_rects.size()); }
    double scale() const { return m_scale; }
    QSizeF documentSize() const { return m_documentSize; }
    // The widest page's width in points (0 without pages).
    double widestPage() const { return m_widestPage; }

    // A page's rectangle in document space; empty for a bad index.
    QRectF pageRect(int index) const;

    // The page whose rectangle holds the point, or -1.
    int pageAt(QPointF documentPoint) const;
    // The page closest to the point (the one holding it, else the nearest
    // by vertical distance); -1 without pages.
    int nearestPage(QPointF documentPoint) const;
    // The first and last page that intersect the vertical band [top, bottom];
    // (-1, -1) when none does.
    std::pair<int, int> pagesInBand(double top, double bottom) const;

private:
    // The first page whose bottom edge is at or below y.
    int firstPageEndingAfter(double y) const;

    std::vector<QRectF> m_rects;
    double m_scale = 1.0;
    double m_widestPage = 0;
    QSizeF m_documentSize;
};

} // namespace folvan::pdfview
