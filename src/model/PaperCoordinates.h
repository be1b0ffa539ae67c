#pragma once

// Conversion between a page's PDF space and the book view's sheet: a sheet
// 1 unit wide and `aspect` units high (u across, v upward, each 0...1), in
// which the displayed page (its crop box after its own rotation) is fitted
// and centred. Points in the sheet's margins belong to no page.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <optional>

namespace folvan::engine {
class PdfPage;
}

namespace folvan::model {

class PaperCoordinates {
public:
    // No value for an invalid page, an aspect that is not a finite positive
    // number, or an empty crop box.
    static std::optional<PaperCoordinates> make(const engine::PdfPage &page, double aspect);

    // The page-space point at sheet point (u, v); none for non-finite input,
    // a point outside the sheet or in its margins.
    std::optional<QPointF> pdfPoint(QPointF uv) const;
    // A page-space rectangle in sheet fractions (x, width of the sheet's
    // width; y, height of its height; y the lower edge). Not clamped.
    QRectF paperRect(const QRectF &rect) const;

    // Page space to paper space (0, 0, W, H), y up.
    const QTransform &pageToPaper() const { return m_pageToPaper; }
    // W and H: the crop box size, exchanged at 90 and 270 degrees.
    QSizeF paperSize() const { return m_paperSize; }
    // The fitted page's width and height in sheet units.
    QSizeF fittedSize() const { return m_fittedSize; }
    double aspect() const { return m_aspect; }

private:
    PaperCoordinates() = default;

    QTransform m_pageToPaper;
    QSizeF m_paperSize;
    QSizeF m_fittedSize;
    double m_aspect = 1;
};

} // namespace folvan::model
