#pragma once

// Helpers for the web views that show the reader's own local pages (the
// reflow page and the book page).

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <functional>

#include <QWebEngineUrlScheme>

class QKeyEvent;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace folvan::localweb {

// A local page scheme as the engine must know it (registered before the
// application object is made): secure and open to CORS requests, without
// access to local content.
QWebEngineUrlScheme localScheme(const QByteArray &name);

// Keeps a local page to its own scheme: it reads no file: URL and nothing
// remote. The pages show text taken from untrusted papers.
void confineLocalPage(QWebEnginePage *page);

// A new page token: a new UUID in upper-case text.
QString newPageToken();

// A private (off-the-record) profile for one view: nothing the page stores
// outlives it, and its scheme handlers are its own. Delete the view's page
// before the profile.
QWebEngineProfile *makePrivateProfile(QObject *parent);

// Keeps what belongs to the reader away from the web view's engine:
// - Copy, Undo and Redo (and the zoom keys) reach the window's shortcuts
//   instead of being taken by the page;
// - Ctrl+wheel and touchpad pinch zoom through `zoom` (a magnification step,
//   the position in the view) instead of zooming the page itself.
// Follows the view's focus proxy, which the engine makes and replaces.
class WebViewInput : public QObject {
    Q_OBJECT
public:
    using Zoom = std::function<void(double delta, QPointF position)>;
    WebViewInput(QWebEngineView *view, Zoom zoom);

    // Copy, Undo and Redo acted on by the view's own reader instead of the
    // window's shortcuts; a key whose action is not set goes to the window.
    struct Keys {
        std::function<void()> copy;
        std::function<void()> undo;
        std::function<void()> redo;
    };
    void setKeys(Keys keys) { m_keys = std::move(keys); }

    // The step of one wheel notch with Ctrl held.
    static constexpr double wheelStep = 0.1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    // The action set for the key, or null.
    const std::function<void()> *keyAction(const QKeyEvent *key) const;

    // Held as a widget: the view's events still come here while it is
    // destroyed, when it is no longer a web view but still a widget.
    QPointer<QWidget> m_view;
    QPointer<QObject> m_proxy;
    Zoom m_zoom;
    Keys m_keys;
};

} // namespace folvan::localweb
