#pragma once

// The root of every reading window: one reading pane, or two side by side
// for comparison reading (the primary pane on the left, the reference pane
// on the right). The workspace keeps which pane is active, routes files
// opened from outside to it, opens and closes the reference pane, moves the
// keyboard focus between the panes, collects what each pane reports about
// itself, and publishes the active pane's command record for the menus.

#include "window/PaneServices.h"
#include "pane/ReaderPaneTypes.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QSplitter;

namespace folvan::window {
class ContentView;
}

namespace folvan::workspace {

class ReaderPaneFocusMonitor;

// Which snapshot a pane's commands go to: the first of `pane`, else the
// first of the primary pane, else none.
std::optional<pane::ReaderPaneSnapshot> selectedSnapshot(pane::ReaderPane pane,
                                                           const QList<pane::ReaderPaneSnapshot> &panes);

class ReaderWorkspace : public QWidget {
    Q_OBJECT
public:
    // Panes made with `services`, and with the workspace's own command
    // palette.
    explicit ReaderWorkspace(window::PaneServices services, QWidget *parent = nullptr);
    ~ReaderWorkspace() override;

    bool isSplit() const { return m_split; }
    pane::ReaderPane activePane() const { return m_active; }
    qint64 focusToken() const { return m_focusToken; }
    const QList<pane::ReaderPaneSnapshot> &panes() const { return m_panes; }
    const std::optional<pane::ReaderOpenRequest> &primaryRequest() const { return m_primaryRequest; }
    const std::optional<pane::ReaderOpenRequest> &referenceRequest() const { return m_referenceRequest; }

    window::ContentView *primaryView() const;
    // Null while one pane is shown.
    window::ContentView *referenceView() const;

    // The record the menus act on: the active pane's record (the primary
    // pane's while the active one has not reported) with the workspace's own
    // comparison state, comparison toggle and pane switch. None while no
    // pane has reported.
    std::optional<pane::ReaderActions> actions() const;
    // A pane's own record completed the same way (the command palette of
    // that pane acts through it).
    pane::ReaderActions completed(pane::ReaderActions actions) const;

    // Opens the reference pane (after asking for its file) or closes it.
    void toggleComparison();
    // Closes the reference pane; the primary pane becomes active and takes
    // the keyboard focus.
    void closeComparison();
    // With two panes, makes the other pane active and focuses its reader.
    void focusOther();
    // Makes `pane` active (a click, scroll or pinch inside it).
    void activate(pane::ReaderPane pane);
    // A file handed to the program from outside: a PDF becomes an open
    // request of the reference pane when it is active and shown, else of the
    // primary pane. Anything else is ignored.
    void openExternalURL(const QUrl &url);
    // The paper named on the program's command line ("--pdf"): an open
    // request of the primary pane, whatever the file's name.
    void openCommandLinePaper(const QString &path);

signals:
    // The published record may have changed: another pane became active,
    // a pane reported new flags, a URL or the comparison state.
    void actionsChanged();

private:
    window::ContentView *makePane(pane::ReaderPane pane);
    void layoutPanes();
    void collectSnapshots();
    void setActive(pane::ReaderPane pane);
    void handOverKeys(QWidget *closing);

    bool m_split = false;
    pane::ReaderPane m_active = pane::ReaderPane::primary;
    QList<pane::ReaderPaneSnapshot> m_panes;
    std::optional<pane::ReaderOpenRequest> m_primaryRequest;
    std::optional<pane::ReaderOpenRequest> m_referenceRequest;
    qint64 m_focusToken = 0;
    window::PaneServices m_services;

    QSplitter *m_splitter;
    QPointer<window::ContentView> m_primary;
    QPointer<window::ContentView> m_reference;
    QPointer<ReaderPaneFocusMonitor> m_primaryMonitor;
    QPointer<ReaderPaneFocusMonitor> m_referenceMonitor;
};

} // namespace folvan::workspace
