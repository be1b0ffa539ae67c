#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace folvan::workspace {

// Watches one pane: a left or right click, a wheel turn or a pinch anywhere
// inside the pane makes it the active pane (the event still goes on to do
// its own work), and a new focus token while the pane is active moves the
// keyboard focus into the pane's reader view (the page view, or the book or
// reflow web view; never another web view, never the other pane's reader).
//
// It never takes part in hit-testing: it is an event filter on the
// application, not a widget, and it never swallows or alters an event.
class ReaderPaneFocusMonitor : public QObject {
    Q_OBJECT
public:
    // Watches `pane` for the pane's life; `activate` makes it the active pane.
    ReaderPaneFocusMonitor(QWidget *pane, std::function<void()> activate);
    ~ReaderPaneFocusMonitor() override;

    // Called on every change of the pane's place in the workspace. A token
    // that differs from the last one seen is recorded; when the pane is
    // active, its reader is focused one turn of the event loop later.
    void update(bool active, qint64 token, std::function<void()> activate);

    qint64 token() const { return m_token; }

    // Makes the pane's reader view the window's focus, when there is one.
    void focusReader();
    // The first visible reader view, in the whole window, whose centre lies
    // inside the pane's rectangle; null when there is none.
    QWidget *readerView() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_pane;
    std::function<void()> m_activate;
    qint64 m_token = 0;
};

// Whether `widget` is a reader view: the page view, or a web view showing
// one of the reader's own pages (the book or the reflow page).
bool isReaderView(const QWidget *widget);

} // namespace folvan::workspace
