#include "engine/detail/Geometry.h"

#include <cmath>

namespace folvan::engine::detail {

QSizeF PageGeometry::displaySize() const
{
    if (rotation % 180 == 90)
        return QSizeF(cropBox.height(), cropBox.width());
    return cropBox.size();
}

QTransform PageGeometry::drawingTransform() const
{
    // MuPDF's page space scaled back to points, then flipped so y points up.
    const double h = displaySize().height();
    return userToFitz * QTransform(1.0 / userUnit, 0, 0, -1.0 / userUnit, 0, h);
}

QTransform PageGeometry::fitzToRaster(double scale) const
{
    return QTransform::fromScale(scale / userUnit, scale / userUnit);
}

QTransform PageGeometry::rasterTransform(double scale) const
{
    return userToFitz * fitzToRaster(scale);
}

QSize PageGeometry::rasterSize(double scale) const
{
    const QSizeF size = displaySize() * scale;
    return QSize(std::max(1, int(std::ceil(size.width() - 1e-3))), std::max(1, int(std::ceil(size.height() - 1e-3))));
}

PageGeometry pageGeometryOfObject(fz_context *ctx, pdf_obj *pageObject)
{
    PageGeometry g;
    fz_rect box;
    fz_matrix ctm;
    pdf_page_obj_transform(ctx, pageObject, &box, &ctm);
    g.cropBox = toQRectF(box);
    fz_rect media = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, pageObject, PDF_NAME(MediaBox)));
    g.mediaBox = fz_is_empty_rect(media) ? g.cropBox : toQRectF(media).normalized();
    g.userToFitz = toQTransform(ctm);
    // The rotation MuPDF applied, read back from where the user-space x axis
    // points on the displayed page.
    const QPointF xAxis = g.userToFitz.map(QPointF(1, 0)) - g.userToFitz.map(QPointF(0, 0));
    if (std::abs(xAxis.x()) >= std::abs(xAxis.y()))
        g.rotation = xAxis.x() >= 0 ? 0 : 180;
    else
        g.rotation = xAxis.y() >= 0 ? 90 : 270;
    // MuPDF scales its page space by /UserUnit; measure the factor it used.
    const double width = g.displaySize().width();
    const double fitzWidth = g.userToFitz.mapRect(g.cropBox).width();
    g.userUnit = width > 0 && fitzWidth > 0 ? fitzWidth / width : 1.0;
    return g;
}

} // namespace folvan::engine::detail
