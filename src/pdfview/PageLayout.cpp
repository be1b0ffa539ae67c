#include "pdfview/PageLayout.h"

#include <algorithm>
#include <cmath>

namespace folvan::pdfview {

void PageLayout::layout(const std::vector<QSizeF> &pageSizes, double scale, double viewportWidth)
{
    m_scale = scale;
    m_rects.clear();
    m_rects.reserve(pageSizes.size());
    m_widestPage = 0;
    for (const QSizeF &size : pageSizes)
        m_widestPage = std::max(m_widestPage, size.width());

    const double width = std::max(viewportWidth, m_widestPage * scale + 2 * kSideMargin);
    double y = kVerticalMargin;
    for (const QSizeF &size : pageSizes) {
        const double w = std::max(size.width(), 0.0) * scale;
        const double h = std::max(size.height(), 0.0) * scale;
        // Whole pixels keep the page edges and the rasters sharp.
        const double x = std::floor((width - w) / 2);
        m_rects.emplace_back(x, y, w, h);
        y = std::ceil(y + h + kPageGap);
    }
    const double height = m_rects.empty() ? 0 : y - kPageGap + kVerticalMargin;
    m_documentSize = QSizeF(width, height);
}

QRectF PageLayout::pageRect(int index) const
{
    if (index < 0 || index >= pageCount())
        return {};
    return m_rects[size_t(index)];
}

int PageLayout::firstPageEndingAfter(double y) const
{
    auto it = std::lower_bound(m_rects.begin(), m_rects.end(), y,
                               [](const QRectF &r, double v) { return r.bottom() < v; });
    return int(it - m_rects.begin());
}

int PageLayout::pageAt(QPointF point) const
{
    const int i = firstPageEndingAfter(point.y());
    if (i >= pageCount())
        return -1;
    const QRectF &r = m_rects[size_t(i)];
    if (point.y() < r.top() || point.x() < r.left() || point.x() > r.right())
        return -1;
    return i;
}

int PageLayout::nearestPage(QPointF point) const
{
    if (m_rects.empty())
        return -1;
    const int i = firstPageEndingAfter(point.y());
    if (i >= pageCount())
        return pageCount() - 1;
    if (i == 0 || point.y() >= m_rects[size_t(i)].top())
        return i;
    // In the gap between page i-1 and page i.
    const double above = point.y() - m_rects[size_t(i - 1)].bottom();
    const double below = m_rects[size_t(i)].top() - point.y();
    return above <= below ? i - 1 : i;
}

std::pair<int, int> PageLayout::pagesInBand(double top, double bottom) const
{
    const int first = firstPageEndingAfter(top);
    if (first >= pageCount() || m_rects[size_t(first)].top() > bottom)
        return {-1, -1};
    int last = first;
    while (last + 1 < pageCount() && m_rects[size_t(last + 1)].top() <= bottom)
        ++last;
    return {first, last};
}

} // namespace folvan::pdfview
