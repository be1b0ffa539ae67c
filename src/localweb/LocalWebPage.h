#pragma once

// Helpers for the web views that show the reader's own local pages (the
// reflow page and the book page).

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <functional>

#include <QWebEnginePage>
#include <QWebEngineUrlScheme>

class QKeyEvent;
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

// The object a local page posts its messages to over the web channel: one
// method, postMessage, taking the message as JSON text.
class MessagePort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void postMessage(const QString &text) { emit received(text); }

signals:
    void received(const QString &text);
};

// Publishes a new MessagePort as `portName` on the web channel of `page` in
// script world `worldId` (a page has one channel); the port belongs to the
// page.
MessagePort *publishMessagePort(QWebEnginePage *page, const QString &portName, quint32 worldId);

// A JavaScript expression for a script run in the world where `portName`
// was published: a promise of the port, or null when the document has no
// channel transport. The channel's client is made when first asked for and
// kept for the document, so that nothing injected at the document's
// creation is needed: the engine does not run such scripts in every
// document (after an error page, a PDF on display got none).
QString messagePortExpression(const QString &portName);

// The page of a view that shows one of the reader's local pages: it goes to
// nothing but `scheme`://`host`/..., reads no file: URL (confineLocalPage),
// and has the web channel's script in its main frame before the page's own
// scripts run, with one MessagePort published on the channel as `portName`.
// The page reaches it with
// new QWebChannel(qt.webChannelTransport, c => c.objects[portName]).
class LocalWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // `profile` carries the page's scheme handler and outlives the page.
    LocalWebPage(QWebEngineProfile *profile, const QString &scheme, const QString &host, const QString &portName,
                 QObject *parent = nullptr);

    MessagePort *port() const { return m_port; }
    // Whether the page may show `url`.
    bool allows(const QUrl &url) const;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    QString m_scheme;
    QString m_host;
    MessagePort *m_port = nullptr;
};

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
    void setZoom(Zoom zoom) { m_zoom = std::move(zoom); }

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
