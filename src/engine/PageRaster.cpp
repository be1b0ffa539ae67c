#include "engine/PageRaster.h"

#include "engine/PdfPage.h"
#include "engine/PdfPng.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace folvan::engine {

namespace {

bool usable(const RasterOverlayRow &row)
{
    return row.size() == 9 && std::all_of(row.begin(), row.end(), [](double v) { return std::isfinite(v); });
}

QColor colorOf(const RasterOverlayRow &row, double alpha)
{
    auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
    return QColor::fromRgbF(float(unit(row[4])), float(unit(row[5])), float(unit(row[6])), float(unit(alpha)));
}

// Multiplies the usable rows over the raster, in page space.
void burnOverlays(QImage &image, const PdfPage &page, double scale, const std::vector<RasterOverlayRow> &overlays)
{
    const QRectF crop = page.cropBox();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.setTransform(page.rasterTransform(scale));
    for (const RasterOverlayRow &row : overlays) {
        if (!usable(row))
            continue;
        const QRectF rect = QRectF(row[0], row[1], row[2], row[3]).normalized();
        if (rect.width() == 0 || rect.height() == 0 || !rect.intersects(crop))
            continue;
        if (row[8] == 1.0) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(colorOf(row, 0.85), 1.0, Qt::SolidLine, Qt::FlatCap));
            const double y = rect.top() + 1; // top() is the smaller y: the bottom edge in page space
            painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colorOf(row, row[7]));
            painter.drawRect(rect);
        }
    }
}

} // namespace

int PageRaster::clampEdge(int edge) { return std::clamp(edge, minEdge, maxEdge); }

QImage PageRaster::image(const PdfPage &page, int edge, const std::vector<RasterOverlayRow> &overlays,
                         bool withMarks)
{
    if (!page.isValid())
        return QImage();
    const QSizeF size = page.displaySize();
    if (!(size.width() > 0) || !(size.height() > 0))
        return QImage();
    const int E = clampEdge(edge);
    const double scale = std::min(E / size.width(), E / size.height());
    if (!std::isfinite(scale) || !(scale > 0))
        return QImage();
    // Recorded under the document lock, drawn without it.
    const auto list = withMarks ? page.displayListWithoutHighlights() : page.displayList(false);
    if (!list)
        return QImage();
    // The region keeps a product that lands a hair above E at E pixels.
    QImage raster = list->render(scale, QRect(0, 0, E, E));
    if (raster.isNull())
        return raster;
    if (std::any_of(overlays.begin(), overlays.end(), usable)) {
        raster = raster.convertToFormat(QImage::Format_RGB32);
        burnOverlays(raster, page, scale, overlays);
    }
    return raster;
}

QByteArray PageRaster::png(const PdfPage &page, int edge, const std::vector<RasterOverlayRow> &overlays,
                           bool withMarks)
{
    const QImage raster = image(page, edge, overlays, withMarks);
    return raster.isNull() ? QByteArray() : encodePng(raster, 1);
}

double PageRaster::aspect(const PdfPage *page)
{
    if (!page || !page->isValid())
        return 1.414;
    const QSizeF size = page->displaySize();
    const double ratio = size.height() / std::max(size.width(), 1.0);
    return std::isfinite(ratio) ? std::clamp(ratio, 0.5, 2.0) : 1.414;
}

} // namespace folvan::engine
