#include "dock/DockSurfaces.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace folvan::dock {

namespace {

QPainterPath capsule(const QRectF &rect)
{
    const double radius = std::min(rect.width(), rect.height()) / 2;
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

QColor floatingMaterial()
{
    return QColor(248, 248, 250, 238);
}

FloatingSurface::FloatingSurface(QWidget *parent) : QFrame(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding, kVerticalPadding);
}

void FloatingSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    painter.fillPath(capsule(bounds), floatingMaterial());
    // The rim lies inside the border: inset by half its width.
    const double line = 0.6;
    QPen rim(QColor(255, 255, 255, int(0.55 * 255)), line, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    rim.setMiterLimit(10);
    painter.setPen(rim);
    painter.drawPath(capsule(bounds.adjusted(line / 2, line / 2, -line / 2, -line / 2)));
    // A hairline keeps the capsule apart from a white page.
    painter.setPen(QPen(QColor(0, 0, 0, 22), 1));
    painter.drawPath(capsule(bounds.adjusted(0.5, 0.5, -0.5, -0.5)));
}

ReadoutCapsule::ReadoutCapsule(QWidget *parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setContentsMargins(12, 7, 12, 7);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

void ReadoutCapsule::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(capsule(QRectF(rect())), floatingMaterial());
    }
    QLabel::paintEvent(event);
}

DockShadow::DockShadow(QWidget *dock, std::function<QList<QWidget *>()> surfaces)
    : QWidget(dock->parentWidget())
    , m_dock(dock)
    , m_surfaces(std::move(surfaces))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void DockShadow::follow()
{
    if (!m_dock)
        return;
    setGeometry(m_dock->geometry().adjusted(-kReach, -kReach, kReach, kReach));
    setVisible(m_dock->isVisible());
    stackUnder(m_dock);
    update();
}

// The blur is laid down as rings of one capsule growing outwards, each
// adding a little of the shadow's 10 %, so that the shadow is darkest under
// the surface and fades to nothing 10 pixels out.
void DockShadow::paintEvent(QPaintEvent *)
{
    if (!m_dock)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    constexpr int kBlur = 10;
    const QPoint origin = m_dock->pos() - pos();
    for (QWidget *surface : m_surfaces()) {
        if (!surface || !surface->isVisible() || surface->width() <= 0 || surface->height() <= 0)
            continue;
        const QRectF shape = QRectF(surface->geometry()).translated(origin + QPoint(0, 3));
        for (int ring = kBlur; ring >= 0; --ring) {
            const QRectF grown = shape.adjusted(-ring, -ring, ring, ring);
            painter.setBrush(QColor(0, 0, 0, std::max(1, int(0.1 * 255 / (kBlur + 1)))));
            painter.drawPath(capsule(grown.adjusted(kBlur / 2.0, kBlur / 2.0, -kBlur / 2.0, -kBlur / 2.0)));
        }
    }
}

} // namespace folvan::dock
