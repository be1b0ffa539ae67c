#include "dock/ReaderControlButtonStyle.h"
#include "platform/InterfaceFont.h"

#include <QApplication>
#include <QChildEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOptionToolButton>
#include <QToolButton>

#include <algorithm>


namespace folvan::dock {

namespace {

constexpr int kMinimumSide = 28;
constexpr int kSidePadding = 3;
constexpr qreal kCornerRadius = 7;

// Marks on the widgets this file handles.
const char *const kStyledProperty = "readerControlButton";
const char *const kOwnStyleProperty = "readerOwnButtonStyle";
const char *const kFollowedProperty = "readerControlButtonsFollowed";

bool takesTheLook(QToolButton *button)
{
    if (button->property(kStyledProperty).toBool() || button->property(kOwnStyleProperty).toBool())
        return false;
    return !button->testAttribute(Qt::WA_SetStyle);
}

// Follows a subtree: every widget under the root carries this filter, which
// styles the tool buttons of each child as the child is polished (that is,
// fully built and about to be shown) and starts following the child's own
// subtree.
class ControlButtonFollower : public QObject {
public:
    using QObject::QObject;

    void follow(QWidget *widget)
    {
        if (!widget->property(kFollowedProperty).toBool()) {
            widget->setProperty(kFollowedProperty, true);
            widget->installEventFilter(this);
        }
        if (auto *button = qobject_cast<QToolButton *>(widget); button && takesTheLook(button))
            styleControlButton(button);
        for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            follow(child);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A child is announced as added while it is still being built: it
        // is taken up once polished.
        if (event->type() == QEvent::ChildPolished) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (child->isWidgetType())
                follow(static_cast<QWidget *>(child));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

ReaderControlButtonStyle::ReaderControlButtonStyle()
    : QProxyStyle(QApplication::style()->name())
{
}

ReaderControlButtonStyle *ReaderControlButtonStyle::shared()
{
    static QPointer<ReaderControlButtonStyle> style;
    if (!style) {
        style = new ReaderControlButtonStyle;
        style->setParent(qApp);
    }
    return style;
}

double ReaderControlButtonStyle::backdropOpacity(bool pressed, bool hovered, bool enabled)
{
    if (!enabled)
        return 0;
    if (pressed)
        return 0.12;
    return hovered ? 0.06 : 0;
}

double ReaderControlButtonStyle::controlOpacity(bool enabled)
{
    return enabled ? 1 : 0.32;
}

void ReaderControlButtonStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                                  QPainter *painter, const QWidget *widget) const
{
    const auto *tool = qstyleoption_cast<const QStyleOptionToolButton *>(option);
    if (control != CC_ToolButton || !tool) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const bool pressed = option->state & State_Sunken;
    const bool hovered = option->state & State_MouseOver;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(controlOpacity(enabled));
    const QRectF area = QRectF(option->rect);
    QPainterPath shape;
    shape.addRoundedRect(area, kCornerRadius, kCornerRadius);
    if (const double backdrop = backdropOpacity(pressed, hovered, enabled); backdrop > 0) {
        QColor fill = option->palette.color(QPalette::Active, QPalette::WindowText);
        fill.setAlphaF(float(backdrop));
        painter->fillPath(shape, fill);
    }
    if (enabled && (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) {
        painter->setPen(QPen(option->palette.color(QPalette::Active, QPalette::Highlight), 2));
        painter->drawPath(shape);
    }
    // The label as an enabled one, dimmed with the whole control instead,
    // and in place while pressed.
    QStyleOptionToolButton label = *tool;
    label.state = (label.state | State_Enabled) & ~(State_Sunken | State_On);
    label.palette.setCurrentColorGroup(QPalette::Active);
    label.rect = option->rect.adjusted(kSidePadding, 0, -kSidePadding, 0);
    // A title wider than the button is given (a fixed-width panel at a
    // large text size) ends in an ellipsis.
    if (!label.text.isEmpty() && label.toolButtonStyle != Qt::ToolButtonIconOnly) {
        int room = label.rect.width() - 2 * option->fontMetrics.horizontalAdvance(QLatin1Char(' '));
        if (label.toolButtonStyle == Qt::ToolButtonTextBesideIcon && !label.icon.isNull())
            room -= label.iconSize.width() + 4;
        label.text = option->fontMetrics.elidedText(label.text, Qt::ElideRight, std::max(room, 0));
    }
    baseStyle()->drawControl(CE_ToolButtonLabel, &label, painter, widget);
    painter->restore();
}

QSize ReaderControlButtonStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                                 const QSize &contentsSize, const QWidget *widget) const
{
    if (type != CT_ToolButton)
        return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    return {std::max(contentsSize.width(), kMinimumSide) + 2 * kSidePadding,
            std::max(contentsSize.height(), kMinimumSide)};
}

void styleControlButton(QToolButton *button)
{
    button->setProperty(kStyledProperty, true);
    button->setStyle(ReaderControlButtonStyle::shared());
    button->setAttribute(Qt::WA_Hover);
    platform::useInterfaceFont(button, platform::InterfaceTextRole::body, QFont::Medium);
}

void applyControlButtonStyle(QWidget *root)
{
    static QPointer<ControlButtonFollower> follower;
    if (!follower)
        follower = new ControlButtonFollower(qApp);
    follower->follow(root);
}

void keepOwnButtonStyle(QToolButton *button)
{
    button->setProperty(kOwnStyleProperty, true);
}

} // namespace folvan::dock
