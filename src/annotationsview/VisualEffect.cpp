#include "annotationsview/VisualEffect.h"

#include <QPainter>

namespace folvan::annotationsview {

QRectF wallpaperPlace(QSizeF image, QSizeF pane)
{
    const QSizeF filled = image.scaled(pane, Qt::KeepAspectRatioByExpanding);
    return {(pane.width() - filled.width()) / 2, (pane.height() - filled.height()) / 2, filled.width(), filled.height()};
}

VisualEffect::VisualEffect(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor VisualEffect::topColor() { return QColor(236, 236, 240); }
QColor VisualEffect::bottomColor() { return QColor(226, 227, 232); }

void VisualEffect::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient tint(0, 0, 0, height());
    tint.setColorAt(0, topColor());
    tint.setColorAt(1, bottomColor());
    painter.fillRect(rect(), tint);
}

} // namespace folvan::annotationsview
