#include "dock/DockPopover.h"

#include "annotationsview/PopupShortcuts.h"
#include "platform/Queues.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace folvan::dock {

QRect dockPopoverPlace(const QRect &anchor, const QSize &size, const QRect &bounds, int gap, int inset)
{
    const QRect room = bounds.width() > 2 * inset && bounds.height() > 2 * inset
                           ? bounds.adjusted(inset, inset, -inset, -inset)
                           : bounds;
    const int width = std::min(size.width(), room.width());
    const int height = std::min(size.height(), room.height());
    int x = anchor.right() + 1 - width;
    int y = anchor.top() - gap - height;
    if (y < room.top() && anchor.bottom() + 1 + gap + height <= room.bottom() + 1)
        y = anchor.bottom() + 1 + gap;
    x = std::clamp(x, room.left(), room.right() + 1 - width);
    y = std::clamp(y, room.top(), room.bottom() + 1 - height);
    return QRect(x, y, width, height);
}

DockPopover::DockPopover(QWidget *anchor, QWidget *bounds, std::function<void()> onClosed, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_anchor(anchor)
    , m_bounds(bounds)
    , m_onClosed(std::move(onClosed))
    , m_scroll(new QScrollArea(this))
{
    setObjectName(QStringLiteral("dockPopover"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_scroll);
    m_scroll->installEventFilter(this);
}

void DockPopover::present(QWidget *content)
{
    if (m_content) {
        m_content->removeEventFilter(this);
        delete m_scroll->takeWidget();
    }
    m_content = content;
    m_scroll->setWidget(content);
    content->installEventFilter(this);
    fit();
    if (!isVisible()) {
        show();
        raise();
        activateWindow();
    }
    content->setFocus(Qt::PopupFocusReason);
    if (QWidget *first = content->nextInFocusChain(); first && content->isAncestorOf(first)
                                                     && first->focusPolicy() & Qt::TabFocus)
        first->setFocus(Qt::PopupFocusReason);
}

void DockPopover::fit()
{
    m_fitScheduled = false;
    if (!m_content || !m_anchor || !m_bounds)
        return;
    const QMargins frame = contentsMargins() + layout()->contentsMargins();
    // A panel of a fixed width holds it whatever its layout would take.
    QSize wanted = m_content->sizeHint().expandedTo(m_content->minimumSizeHint()).expandedTo(m_content->minimumSize());
    wanted += QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QRect bounds(m_bounds->mapToGlobal(QPoint(0, 0)), m_bounds->size());
    const QRect anchor(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    QRect place = dockPopoverPlace(anchor, wanted, bounds, kGap, kInset);
    // A panel cut short scrolls, with room for the scroll bar beside it.
    if (place.height() < wanted.height()) {
        wanted.rwidth() += m_scroll->verticalScrollBar()->sizeHint().width();
        place = dockPopoverPlace(anchor, wanted, bounds, kGap, kInset);
    }
    setFixedSize(place.size());
    move(place.topLeft());
}

// A panel that changes its size (a list grows) is fitted again, once per
// turn.
bool DockPopover::eventFilter(QObject *watched, QEvent *event)
{
    // The scroll area takes the arrows and the page keys even with nothing
    // to scroll: they are the panel's only while it scrolls.
    if (watched == m_scroll && event->type() == QEvent::KeyPress && m_scroll->verticalScrollBar()->maximum() == 0
        && handOn(static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == m_content && event->type() == QEvent::LayoutRequest && !m_fitScheduled) {
        m_fitScheduled = true;
        platform::runOnMain(this, [this] { fit(); });
    }
    return QFrame::eventFilter(watched, event);
}

// The popover keeps Escape and the keys its panel uses; any other key that
// is one of the window's shortcuts makes it close and runs the command, as
// with the keyboard in the window.
void DockPopover::keyPressEvent(QKeyEvent *event)
{
    QWidget *window = parentWidget() ? parentWidget()->window() : nullptr;
    QAction *action = event->matches(QKeySequence::Cancel) ? nullptr : annotationsview::windowShortcutAction(window, event);
    if (!action) {
        if (!handOn(event))
            QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
    close();
    action->trigger();
}

namespace {

bool movesTheReading(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
    case Qt::Key_Space:
        return modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return modifiers == Qt::NoModifier;
    default:
        return false;
    }
}

} // namespace

bool DockPopover::handOn(QKeyEvent *event)
{
    if (!m_handOn || !movesTheReading(*event))
        return false;
    event->accept();
    close();
    m_handOn(*event);
    return true;
}

void DockPopover::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    if (m_onClosed)
        m_onClosed();
}

} // namespace folvan::dock
