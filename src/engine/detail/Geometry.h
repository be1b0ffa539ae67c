#pragma once

// Internal to the engine: the one conversion between PDF user space and
// MuPDF's page space. Nothing else in the engine converts coordinates.
//
// PDF user space: points, origin at the bottom left of the page's space,
// y up, /Rotate not applied.
// MuPDF page space ("fitz space"): the crop box rotated by /Rotate, its top
// left corner at (0, 0), y down, scaled by /UserUnit. MuPDF's structured
// text, links and drawing all use it.
// Displayed page ("paper space"): the crop box rotated by /Rotate, placed at
// (0, 0, W, H) in points, y up.
// Raster pixels at a scale: the displayed page times the scale, origin at
// the top left, y down.

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

namespace folvan::engine::detail {

struct PageGeometry {
    QRectF mediaBox;      // user space
    QRectF cropBox;       // user space, clipped to the media box
    int rotation = 0;     // 0, 90, 180 or 270, clockwise
    double userUnit = 1;  // points per user-space unit in MuPDF's space
    QTransform userToFitz;

    bool isValid() const { return cropBox.width() > 0 && cropBox.height() > 0; }
    QSizeF displaySize() const;

    QTransform fitzToUser() const { return userToFitz.inverted(); }
    QPointF fromFitz(QPointF p) const { return fitzToUser().map(p); }

    // User space to the displayed page (y up).
    QTransform drawingTransform() const;
    // User space to raster pixels at `scale`.
    QTransform rasterTransform(double scale) const;
    // MuPDF page space to raster pixels at `scale` (the ctm for drawing).
    QTransform fitzToRaster(double scale) const;
    // The full raster's pixel size at `scale`.
    QSize rasterSize(double scale) const;
};

// The geometry of a page object, read from the page tree without loading the
// page (inherited MediaBox, CropBox, Rotate, UserUnit). May throw a MuPDF
// error: call inside fz_try.
PageGeometry pageGeometryOfObject(fz_context *ctx, pdf_obj *pageObject);

inline QTransform toQTransform(fz_matrix m) { return QTransform(m.a, m.b, m.c, m.d, m.e, m.f); }
inline fz_matrix toFzMatrix(const QTransform &t)
{
    return fz_make_matrix(float(t.m11()), float(t.m12()), float(t.m21()), float(t.m22()), float(t.dx()),
                          float(t.dy()));
}
inline QRectF toQRectF(fz_rect r) { return QRectF(QPointF(r.x0, r.y0), QPointF(r.x1, r.y1)); }

} // namespace folvan::engine::detail
