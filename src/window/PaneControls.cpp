#include "window/PaneControls.h"

#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace folvan::window {

QColor accentColor()
{
    return QApplication::palette().color(QPalette::Highlight);
}

QColor secondaryTextColor()
{
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QIcon tintedSymbol(const QString &symbol, const QColor &color, int size)
{
    return platform::tintedSymbolIcon(symbol, color, size);
}

QFrame *makeVerticalRule(int height, QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::VLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setFixedHeight(height);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0, 40));
    rule->setPalette(palette);
    return rule;
}

PaneButton::PaneButton(const QString &symbol, const QString &title, const QString &help, const QString &label,
                       QWidget *parent)
    : QToolButton(parent)
    , m_symbol(symbol)
{
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    // The button's own style sheet keeps its parent's font from reaching
    // it: it follows the interface text size itself.
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    followFont();
    if (!title.isEmpty()) {
        setText(title);
        setToolButtonStyle(symbol.isEmpty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    } else {
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    setHelpAndLabel(help, label.isEmpty() ? (title.isEmpty() ? help : title) : label);
    setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 6px; padding: 3px 5px; }"
                                 "QToolButton:hover { background: rgba(0, 0, 0, 0.07); }"
                                 "QToolButton:pressed { background: rgba(0, 0, 0, 0.13); }"));
    refreshLook();
}

void PaneButton::setSymbol(const QString &symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    refreshLook();
}

void PaneButton::setTinted(bool tinted)
{
    if (m_tinted == tinted)
        return;
    m_tinted = tinted;
    refreshLook();
}

void PaneButton::setHelpAndLabel(const QString &help, const QString &label)
{
    setToolTip(help);
    setAccessibleName(label);
}

QSize PaneButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const bool hasIcon = toolButtonStyle() != Qt::ToolButtonTextOnly && !m_symbol.isEmpty();
    const bool hasText = toolButtonStyle() != Qt::ToolButtonIconOnly && !text().isEmpty();
    int width = 2 * 6;
    if (hasIcon)
        width += iconSize().width();
    if (hasText)
        width += metrics.horizontalAdvance(text()) + (hasIcon ? 4 : 0);
    const int height = std::max(iconSize().height(), metrics.height()) + 2 * 4;
    return {width, height};
}

void PaneButton::changeEvent(QEvent *event)
{
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        refreshLook();
    else if (event->type() == QEvent::FontChange)
        followFont();
}

// The symbol is 16 pixels at the default interface size and grows and
// shrinks with the title.
void PaneButton::followFont()
{
    const double interfacePoints = font().pointSizeF() / platform::kQtPointsPerInterfacePoint;
    const int side = int(std::lround(16.0 * interfacePoints / platform::ReaderPreferences::defaultInterfaceSize()));
    if (iconSize() == QSize(side, side))
        return;
    setIconSize(QSize(side, side));
    refreshLook();
    updateGeometry();
}

// A disabled button is drawn dimmed in the primary colour, a tinted one in
// the accent colour throughout, title and symbol alike.
void PaneButton::refreshLook()
{
    QColor color = m_tinted ? accentColor() : QApplication::palette().color(QPalette::WindowText);
    if (!isEnabled())
        color.setAlphaF(0.3);
    if (!m_symbol.isEmpty())
        setIcon(tintedSymbol(m_symbol, color, iconSize().width()));
    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}

} // namespace folvan::window

namespace folvan::window {

TitleButton::TitleButton(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TitleButton::setTitle(const QString &title)
{
    if (m_title == title)
        return;
    m_title = title;
    updateGeometry();
    update();
}

QSize TitleButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_title) + 12, metrics.height() + 8};
}

QSize TitleButton::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("…")) * 4, metrics.height() + 8};
}

void TitleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, isDown() ? 33 : 18));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0, 1, 0, -1), 6, 6);
    }
    QColor color = QApplication::palette().color(QPalette::WindowText);
    if (!isEnabled())
        color.setAlphaF(0.45);
    painter.setPen(color);
    painter.setFont(font());
    const QRect area = rect().adjusted(6, 0, -6, 0);
    const QString shown = QFontMetrics(font()).elidedText(m_title, Qt::ElideMiddle, area.width());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace folvan::window
