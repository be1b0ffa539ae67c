#include "localweb/LocalWebPage.h"

#include "localweb/BridgeJson.h"
#include "localweb/LocalSchemeHandler.h"
#include "localweb/LocalWebWireNames.h"
#include "platform/StoredJson.h"

#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QNativeGestureEvent>
#include <QUuid>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWheelEvent>

namespace folvan::localweb {

QWebEngineUrlScheme localScheme(const QByteArray &name)
{
    QWebEngineUrlScheme scheme(name);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    return scheme;
}

void confineLocalPage(QWebEnginePage *page)
{
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
}

MessagePort *publishMessagePort(QWebEnginePage *page, const QString &portName, quint32 worldId)
{
    auto *port = new MessagePort(page);
    auto *channel = new QWebChannel(page);
    channel->registerObject(portName, port);
    page->setWebChannel(channel, worldId);
    return port;
}

QString messagePortExpression(const QString &portName)
{
    static const QString client = QString::fromUtf8(channelScript());
    return QStringLiteral(R"((function (name) {
  var world = globalThis;
  if (!world.__folvanChannel) {
    if (typeof qt === "undefined" || !qt || !qt.webChannelTransport)
      return null;
    var Channel = (function () {
%1
      return QWebChannel;
    })();
    world.__folvanChannel = new Promise(function (resolve) { new Channel(qt.webChannelTransport, resolve); });
  }
  return world.__folvanChannel.then(function (channel) { return channel.objects[name]; });
})(%2))")
        .arg(client, scriptArgument(BridgeJson(portName.toStdString())));
}

LocalWebPage::LocalWebPage(QWebEngineProfile *profile, const QString &scheme, const QString &host,
                           const QString &portName, QObject *parent)
    : QWebEnginePage(profile, parent), m_scheme(scheme), m_host(host)
{
    confineLocalPage(this);
    QWebEngineScript channel;
    channel.setName(QLatin1String(wire::channelScript));
    static const QString source = QString::fromUtf8(channelScript());
    channel.setSourceCode(source);
    channel.setInjectionPoint(QWebEngineScript::DocumentCreation);
    channel.setWorldId(QWebEngineScript::MainWorld);
    // The channel's transport exists in the main frame only.
    channel.setRunsOnSubFrames(false);
    scripts().insert(channel);
    m_port = publishMessagePort(this, portName, QWebEngineScript::MainWorld);
}

bool LocalWebPage::allows(const QUrl &url) const
{
    return url.isValid() && url.scheme() == m_scheme && url.host() == m_host;
}

bool LocalWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool) { return allows(url); }

QString newPageToken() { return platform::uuidString(QUuid::createUuid()); }

QWebEngineProfile *makePrivateProfile(QObject *parent)
{
    auto *profile = new QWebEngineProfile(parent); // no storage name: off the record
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    return profile;
}

WebViewInput::WebViewInput(QWebEngineView *view, Zoom zoom) : QObject(view), m_view(view), m_zoom(std::move(zoom))
{
    view->installEventFilter(this);
    follow();
}

void WebViewInput::follow()
{
    QWidget *proxy = m_view ? m_view->focusProxy() : nullptr;
    if (proxy == m_proxy)
        return;
    if (m_proxy)
        m_proxy->removeEventFilter(this);
    m_proxy = proxy;
    if (proxy)
        proxy->installEventFilter(this);
}

const std::function<void()> *WebViewInput::keyAction(const QKeyEvent *key) const
{
    const std::function<void()> *action = key->matches(QKeySequence::Copy)   ? &m_keys.copy
                                          : key->matches(QKeySequence::Undo) ? &m_keys.undo
                                          : key->matches(QKeySequence::Redo) ? &m_keys.redo
                                                                             : nullptr;
    return action && *action ? action : nullptr;
}

bool WebViewInput::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view) {
        // The engine sets the proxy some time after adding it as a child.
        if (m_view->focusProxy() != m_proxy)
            follow();
        return false;
    }
    if (watched != m_proxy || !m_view)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (const std::function<void()> *action = keyAction(static_cast<QKeyEvent *>(event))) {
            (*action)();
            return true;
        }
        return false;
    case QEvent::ShortcutOverride: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (keyAction(key)) {
            // Taken here: the key press that follows runs the action.
            event->accept();
            return true;
        }
        for (auto standard : {QKeySequence::Copy, QKeySequence::Undo, QKeySequence::Redo, QKeySequence::ZoomIn,
                              QKeySequence::ZoomOut}) {
            if (key->matches(standard)) {
                // Not taken by the page: the window's shortcut runs.
                event->ignore();
                return true;
            }
        }
        const QKeyCombination combination = key->keyCombination();
        if (combination == QKeyCombination(Qt::ControlModifier, Qt::Key_Equal)) {
            event->ignore();
            return true;
        }
        return false;
    }
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier))
            return false;
        const double notches = wheel->angleDelta().y() / 120.0;
        if (notches != 0 && m_zoom)
            m_zoom(notches * wheelStep, m_view->mapFromGlobal(wheel->globalPosition()));
        return true;
    }
    case QEvent::NativeGesture: {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture)
            return false;
        if (m_zoom)
            m_zoom(gesture->value(), m_view->mapFromGlobal(gesture->globalPosition()));
        return true;
    }
    default:
        return false;
    }
}

} // namespace folvan::localweb
