#include "model/PaperCoordinates.h"

#include "engine/PdfPage.h"

#include <algorithm>
#include <cmath>

namespace folvan::model {

namespace {

bool within01(double value)
{
    return value >= 0 && value <= 1;
}

} // namespace

std::optional<PaperCoordinates> PaperCoordinates::make(const engine::PdfPage &page, double aspect)
{
    if (!page.isValid() || !std::isfinite(aspect) || aspect <= 0)
        return std::nullopt;
    const QRectF box = page.cropBox();
    const bool quarterTurn = std::abs(page.rotation()) % 180 == 90;
    const double width = quarterTurn ? box.height() : box.width();
    const double height = quarterTurn ? box.width() : box.height();
    if (!(width > 0) || !(height > 0))
        return std::nullopt;

    const double pageAspect = height / width;
    const double s = std::min(aspect / pageAspect, 1.0);
    PaperCoordinates result;
    result.m_pageToPaper = page.drawingTransform();
    result.m_paperSize = QSizeF(width, height);
    result.m_fittedSize = QSizeF(s, pageAspect * s);
    result.m_aspect = aspect;
    return result;
}

std::optional<QPointF> PaperCoordinates::pdfPoint(QPointF uv) const
{
    const double u = uv.x();
    const double v = uv.y();
    if (!std::isfinite(u) || !std::isfinite(v) || !within01(u) || !within01(v))
        return std::nullopt;
    const double s = m_fittedSize.width();
    const double t = m_fittedSize.height();
    const double px = (u - (1 - s) / 2) / s;
    const double py = (v * m_aspect - (m_aspect - t) / 2) / t;
    if (!within01(px) || !within01(py))
        return std::nullopt;
    bool invertible = false;
    const QTransform paperToPage = m_pageToPaper.inverted(&invertible);
    if (!invertible)
        return std::nullopt;
    return paperToPage.map(QPointF(px * m_paperSize.width(), py * m_paperSize.height()));
}

QRectF PaperCoordinates::paperRect(const QRectF &rect) const
{
    const QRectF q = m_pageToPaper.mapRect(rect.normalized());
    const double w = m_paperSize.width();
    const double h = m_paperSize.height();
    const double s = m_fittedSize.width();
    const double t = m_fittedSize.height();
    return QRectF(q.x() / w * s + (1 - s) * 0.5, (q.y() / h * t + (m_aspect - t) * 0.5) / m_aspect,
                  q.width() / w * s, q.height() / h * t / m_aspect);
}

} // namespace folvan::model
