#include "window/PanelCard.h"

#include "platform/InterfaceFont.h"
#include "window/PaneControls.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace folvan::window {

PanelCard::PanelCard(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void PanelCard::setCard(bool card)
{
    m_card = card;
    update();
}

void PanelCard::paintEvent(QPaintEvent *)
{
    if (!m_card)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(6, 6, -6, -6), 12, 12);
    painter.fillPath(shape, QColor(250, 250, 252, 240));
    painter.setPen(QPen(QColor(0, 0, 0, 26), 1));
    painter.drawPath(shape);
}

MessageCard::MessageCard(const QString &symbol, const QString &title, const QString &detail, QWidget *parent)
    : PanelCard(parent)
    , m_title(new QLabel(title, this))
    , m_detail(new QLabel(detail, this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(10);
    column->addStretch(1);
    auto *icon = new QLabel(this);
    icon->setPixmap(tintedSymbol(symbol, secondaryTextColor(), 28).pixmap(28, 28));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    platform::useInterfaceFont(m_title, platform::InterfaceTextRole::body, QFont::Medium);
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setWordWrap(true);
    column->addWidget(m_title);
    platform::useInterfaceFont(m_detail, platform::InterfaceTextRole::caption);
    m_detail->setAlignment(Qt::AlignHCenter);
    m_detail->setWordWrap(true);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette palette = m_detail->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor());
    m_detail->setPalette(palette);
    column->addWidget(m_detail);
    column->addStretch(2);
}

QString MessageCard::title() const
{
    return m_title->text();
}

QString MessageCard::detail() const
{
    return m_detail->text();
}

} // namespace folvan::window
