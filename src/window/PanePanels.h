#pragma once

// The contents of the pane's three panels, shared by the side panels of a
// pane shown alone and the popovers of the comparison layout, and the
// popover that holds them.

#include <QFrame>
#include <QPointer>

#include <functional>

namespace folvan::window {

class ContentView;

// The outline of the pane's paper; choosing an entry goes to its page and
// remembers the jump. Empty without a paper.
QWidget *makeOutlinePanel(ContentView *pane, QWidget *parent = nullptr);
// The paper notes panel of the pane's paper and note selection.
QWidget *makeNotesPanel(ContentView *pane, QWidget *parent = nullptr);
// The Scholar panel: the search for the pane's paper (the root page
// without one), following the paper the pane opens.
QWidget *makeScholarPanel(ContentView *pane, QWidget *parent = nullptr);

// A popover under a button: made when shown, its content made anew each
// time; closing it (a click outside, Escape) reports through `onClosed`.
// It keeps the keyboard focus while open.
class PanePopover : public QFrame {
    Q_OBJECT
public:
    using ContentFactory = std::function<QWidget *(QWidget *parent)>;
    PanePopover(QSize size, ContentFactory content, std::function<void()> onClosed, QWidget *parent = nullptr);

    // Shows the popover next to `anchor`, below it when there is room, and
    // inside the anchor's window, shortened to the room there is.
    void popUp(QWidget *anchor);
    QWidget *content() const { return m_content; }

    // The name of the window's action that shows and hides this popover
    // (its shortcut pressed in the popover only closes it).
    void setToggleAction(const QString &name) { m_toggleAction = name; }

protected:
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    ContentFactory m_factory;
    QString m_toggleAction;
    std::function<void()> m_onClosed;
    QPointer<QWidget> m_content;
    QSize m_size;
};

} // namespace folvan::window
