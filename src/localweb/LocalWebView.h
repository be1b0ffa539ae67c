#pragma once

// The web view of one of the reader's own local pages (the reflow page, the
// book page). It makes what every such view needs: a private profile with
// the page's scheme handler, the confined page with its message port, the
// page painted in the window's colour, the reader's keys and zoom gestures,
// and no menu of the engine's own (back, reload, save page: a reload would
// leave the view empty; a page keeps its own menus). The native side calls
// into the page through call() and hears it through received(). When the
// page's process ends, the page is loaded again once; after a second end
// the view reports it ended.

#include "localweb/BridgeJson.h"
#include "localweb/LocalWebPage.h"

#include <QString>
#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;
class QWebEngineUrlSchemeHandler;

namespace folvan::localweb {

// The names of a local page, as its contract gives them.
struct LocalPageNames {
    const char *scheme;
    const char *host;
    const char *entryURL;
    // The web channel object the page posts its messages to.
    const char *channelObject;
    // The object of the page's window that the native side calls.
    const char *pageObject;
};

class LocalWebView : public QWebEngineView {
    Q_OBJECT
public:
    // `handler` serves the page's scheme; it is not owned and outlives the
    // view. Nothing is loaded until open().
    LocalWebView(const LocalPageNames &names, QWebEngineUrlSchemeHandler *handler, QWidget *parent = nullptr);
    ~LocalWebView() override;

    LocalWebPage *localPage() const { return m_page; }
    // Loads the entry page.
    void open();

    // Calls `name` of the page object with `payload`; the page's answer is
    // not used.
    void call(const QString &name, const BridgeJson &payload);
    // The script of such a call: the payload as compact JSON with its keys
    // sorted ("{}" for one that JSON cannot hold).
    static QString script(const QString &pageObject, const QString &name, const BridgeJson &payload);

    // Where Ctrl+wheel and a pinch go, and what Copy, Undo and Redo do
    // (WebViewInput).
    void setZoom(WebViewInput::Zoom zoom);
    void setKeys(WebViewInput::Keys keys);

    // The page's process may be started again once more (another paper is
    // shown).
    void allowRestart() { m_restarted = false; }

signals:
    // One message of the page: the parsed body, discarded() when it was no
    // JSON. Only messages of the page's own entry are passed on.
    void received(const localweb::BridgeJson &message);
    // The page's process ended and the entry page is loaded again: what the
    // page held is gone.
    void restarting();
    // The page's process ended once more than it may be started again.
    void ended();
    // The page's process could not be started at all: no web view will be.
    void unavailable();
    // The entry page did not load (no error page shown for it).
    void loadFailed(const QString &message);

private:
    // By reference: the engine also reports a status outside the enum's
    // values (terminationStatusValue reads it).
    void processTerminated(const QWebEnginePage::RenderProcessTerminationStatus &status);

    QString m_pageObject;
    QUrl m_entry;
    QWebEngineProfile *m_profile;
    LocalWebPage *m_page;
    WebViewInput *m_input;
    bool m_restarted = false;
    bool m_paintBackgroundAgain = false;
};

} // namespace folvan::localweb
