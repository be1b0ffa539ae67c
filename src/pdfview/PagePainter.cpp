#include "pdfview/PagePainter.h"

#include <cmath>

#include <QPainter>
#include <QRegion>

#include "pdfview/PageLayout.h"
#include "pdfview/PageRasterCache.h"

namespace folvan::pdfview {

namespace {

const QColor kSelectionColor(160, 200, 255);
const QColor kPassageColor(170, 232, 185);
const QColor kHighlightColor(255, 226, 60);

// The tiles of a page raster that cover `region` (device pixels of the page
// raster).
struct TileSpan {
    int firstColumn, lastColumn, firstRow, lastRow;
};

TileSpan tilesCovering(const QRectF &region)
{
    const int t = PageRasterCache::kTileSize;
    return {int(std::floor(region.left() / t)), int(std::ceil(region.right() / t)) - 1,
            int(std::floor(region.top() / t)), int(std::ceil(region.bottom() / t)) - 1};
}

} // namespace

PagePainter::PagePainter(const PageLayout &layout, PageRasterCache &rasters, double deviceScale)
    : m_layout(layout)
    , m_rasters(rasters)
    , m_key(PageRasterCache::scaleKey(deviceScale))
    , m_factor(layout.scale() / PageRasterCache::deviceScale(m_key))
{
}

void PagePainter::drawPage(QPainter &painter, int pageIndex, const QRectF &visible, QSet<RasterTileKey> &wanted,
                           int priority) const
{
    const QRectF rect = m_layout.pageRect(pageIndex);
    const QRectF shown = rect.intersected(visible);
    if (shown.isEmpty())
        return;

    const QRectF pageRaster(QPointF(0, 0), rect.size() / m_factor);
    const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / m_factor, shown.size() / m_factor)
                              .intersected(pageRaster);
    const TileSpan span = tilesCovering(region);
    const int t = PageRasterCache::kTileSize;

    QRegion missing;
    std::vector<std::pair<QRectF, const QImage *>> sharp;
    for (int row = span.firstRow; row <= span.lastRow; ++row) {
        for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
            const RasterTileKey tileKey{pageIndex, m_key, column, row, m_rasters.epoch(pageIndex)};
            const QRectF tileRect = QRectF(column * t, row * t, t, t).intersected(pageRaster);
            const QRectF target(rect.topLeft() + tileRect.topLeft() * m_factor, tileRect.size() * m_factor);
            if (const QImage *image = m_rasters.tile(tileKey)) {
                sharp.emplace_back(QRectF(target.topLeft(), QSizeF(image->size()) * m_factor), image);
            } else {
                missing += target.toAlignedRect();
                wanted.insert(tileKey);
                m_rasters.request(tileKey, priority);
            }
        }
    }

    if (!missing.isEmpty()) {
        // The blank page where no sharp raster is ready (the sharp tiles
        // cover the rest; filling under them would only cost time).
        for (const QRect &part : missing)
            painter.fillRect(QRectF(part).intersected(rect), Qt::white);
        // Meanwhile, the page at the nearest zoom that is at hand, scaled
        // (or as it was before its annotations changed).
        if (const auto best = m_rasters.nearestStandIn(pageIndex, m_key)) {
            const auto [bestKey, bestEpoch] = *best;
            const double otherFactor = m_layout.scale() / PageRasterCache::deviceScale(bestKey);
            const QRectF otherRegion =
                QRectF((shown.topLeft() - rect.topLeft()) / otherFactor, shown.size() / otherFactor);
            const TileSpan other = tilesCovering(otherRegion);
            painter.save();
            painter.setClipRegion(missing, Qt::IntersectClip);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            for (int row = other.firstRow; row <= other.lastRow; ++row) {
                for (int column = other.firstColumn; column <= other.lastColumn; ++column) {
                    if (const QImage *image = m_rasters.tile({pageIndex, bestKey, column, row, bestEpoch})) {
                        const QRectF target(rect.topLeft() + QPointF(column * t, row * t) * otherFactor,
                                            QSizeF(image->size()) * otherFactor);
                        painter.drawImage(target, *image);
                    }
                }
            }
            painter.restore();
        }
    }
    for (const auto &[target, image] : sharp)
        painter.drawImage(target, *image);
}

void PagePainter::drawMarks(QPainter &painter, int pageIndex, const QTransform &toDisplay,
                            const PageSelections::PageMarks &marks, double pulse) const
{
    const QRectF rect = m_layout.pageRect(pageIndex);
    auto toDocument = [&](const QRectF &pageRect) {
        const QRectF display = toDisplay.mapRect(pageRect);
        return QRectF(rect.topLeft() + display.topLeft() * m_layout.scale(), display.size() * m_layout.scale());
    };
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    if (marks.highlights) {
        for (const QRectF &bounds : *marks.highlights)
            painter.fillRect(toDocument(bounds), kHighlightColor);
    }
    if (marks.passage) {
        for (const QRectF &bounds : *marks.passage)
            painter.fillRect(toDocument(bounds), kPassageColor);
    }
    if (marks.selection) {
        for (const QRectF &bounds : *marks.selection) {
            const QRectF target = toDocument(bounds);
            painter.fillRect(target, kSelectionColor);
            if (pulse > 0) {
                const double grow = 4 * pulse;
                painter.fillRect(target.adjusted(-grow, -grow, grow, grow), QColor(255, 200, 80, int(150 * pulse)));
            }
        }
    }
    painter.restore();
}

void PagePainter::requestAround(const QRectF &visible, QSet<RasterTileKey> &wanted) const
{
    const QRectF band = visible.adjusted(0, -visible.height() / 2, 0, visible.height() / 2);
    const auto [first, last] = m_layout.pagesInBand(band.top(), band.bottom());
    for (int i = first; i >= 0 && i <= last; ++i) {
        const QRectF rect = m_layout.pageRect(i);
        const QRectF shown = rect.intersected(band);
        const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / m_factor, shown.size() / m_factor);
        const TileSpan span = tilesCovering(region);
        for (int row = span.firstRow; row <= span.lastRow; ++row) {
            for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                const RasterTileKey tileKey{i, m_key, column, row, m_rasters.epoch(i)};
                if (!m_rasters.tile(tileKey) && !wanted.contains(tileKey)) {
                    wanted.insert(tileKey);
                    m_rasters.request(tileKey, 0);
                }
            }
        }
    }
}

bool PagePainter::isSharp(const QRectF &visible) const
{
    const auto [first, last] = m_layout.pagesInBand(visible.top(), visible.bottom());
    for (int i = first; i >= 0 && i <= last; ++i) {
        const QRectF rect = m_layout.pageRect(i);
        const QRectF shown = rect.intersected(visible);
        if (shown.isEmpty())
            continue;
        const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / m_factor, shown.size() / m_factor);
        const TileSpan span = tilesCovering(region);
        for (int row = span.firstRow; row <= span.lastRow; ++row) {
            for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                if (!m_rasters.tile({i, m_key, column, row, m_rasters.epoch(i)}))
                    return false;
            }
        }
    }
    return true;
}

} // namespace folvan::pdfview
