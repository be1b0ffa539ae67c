#pragma once

// The popover that holds the reading dock's open panel. It stands next to
// its anchor (above it where there is room, else below), always inside the
// bounds it is given (the pane), and shrinks to them, scrolling a panel
// taller than the room left. A click outside and Escape close it; every
// close is reported once through `onClosed`. The window's shortcuts work
// while it is open, and so do the keys that move the reading, unless the
// panel uses them itself.

#include <QFrame>
#include <QPointer>

#include <functional>

class QKeyEvent;
class QScrollArea;

namespace folvan::dock {

class DockPopover : public QFrame {
    Q_OBJECT
public:
    static constexpr int kGap = 6;
    static constexpr int kInset = 8;

    // `bounds` is the widget the popover stays inside; `onClosed` runs
    // whenever it closes.
    DockPopover(QWidget *anchor, QWidget *bounds, std::function<void()> onClosed, QWidget *parent);

    // Shows `content` (the popover takes it; the one shown before is
    // dropped) and places the popover.
    void present(QWidget *content);
    QWidget *content() const { return m_content; }

    // Takes the size of the content and the place next to the anchor again.
    void fit();

    // `handOn` takes a key that moves the reading (Space, the arrows, Page
    // Up and Down, Home, End) that the panel leaves alone; the popover
    // closes first.
    void setKeyHandOn(std::function<void(const QKeyEvent &)> handOn) { m_handOn = std::move(handOn); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool handOn(QKeyEvent *event);

    QPointer<QWidget> m_anchor;
    QPointer<QWidget> m_bounds;
    std::function<void()> m_onClosed;
    std::function<void(const QKeyEvent &)> m_handOn;
    QScrollArea *m_scroll;
    QPointer<QWidget> m_content;
    bool m_fitScheduled = false;
};

// Where a popover of `size` stands next to `anchor` inside `bounds` (all
// in one coordinate space): right-aligned with the anchor, above it when it
// fits there, else below, and moved into the bounds, `inset` in from their
// edges where they leave room for that.
QRect dockPopoverPlace(const QRect &anchor, const QSize &size, const QRect &bounds, int gap, int inset);

} // namespace folvan::dock
