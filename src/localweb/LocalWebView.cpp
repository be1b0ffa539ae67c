#include "localweb/LocalWebView.h"

#include "platform/WebEngineStart.h"

#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineUrlSchemeHandler>

namespace folvan::localweb {

LocalWebView::LocalWebView(const LocalPageNames &names, QWebEngineUrlSchemeHandler *handler, QWidget *parent)
    : QWebEngineView(parent)
    , m_pageObject(QLatin1String(names.pageObject))
    , m_entry(QString::fromLatin1(names.entryURL))
    , m_profile(makePrivateProfile(this))
{
    m_profile->installUrlSchemeHandler(QByteArray(names.scheme), handler);
    m_page = new LocalWebPage(m_profile, QLatin1String(names.scheme), QLatin1String(names.host),
                              QLatin1String(names.channelObject), this);
    // Opaque, in the colour of the window behind it: the web engine composes
    // a see-through page over every widget, so a widget raised above the
    // view (the pane's search bar) would be drawn under the page.
    m_page->setBackgroundColor(palette().color(QPalette::Window));
    setPage(m_page);
    setContextMenuPolicy(Qt::NoContextMenu);
    m_input = new WebViewInput(this, nullptr);

    connect(m_page->port(), &MessagePort::received, this, [this](const QString &text) {
        if (m_page->allows(m_page->url()))
            emit received(parseMessage(text.toUtf8()));
    });
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        // The process that took over after one ended draws on white until
        // it is given the page's colour itself.
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && m_paintBackgroundAgain) {
            m_paintBackgroundAgain = false;
            const QColor background = m_page->backgroundColor();
            m_page->setBackgroundColor(background == Qt::white ? Qt::black : Qt::white);
            m_page->setBackgroundColor(background);
        }
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && !info.isErrorPage())
            emit loadFailed(info.errorString());
    });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](const QWebEnginePage::RenderProcessTerminationStatus &status, int) { processTerminated(status); });
}

LocalWebView::~LocalWebView()
{
    m_page->disconnect(this);
    m_page->port()->disconnect(this);
    m_page->triggerAction(QWebEnginePage::Stop);
    // The page goes before its profile, and the profile before the scheme
    // handler it was given.
    setPage(nullptr);
    delete m_page;
    m_profile->removeAllUrlSchemeHandlers();
    delete m_profile;
}

void LocalWebView::open() { m_page->load(m_entry); }

QString LocalWebView::script(const QString &pageObject, const QString &name, const BridgeJson &payload)
{
    return QStringLiteral("window.") + pageObject + QStringLiteral("?.") + name + QLatin1Char('(')
           + scriptArgument(payload) + QStringLiteral("); null;");
}

void LocalWebView::call(const QString &name, const BridgeJson &payload)
{
    m_page->runJavaScript(script(m_pageObject, name, payload));
}

void LocalWebView::setZoom(WebViewInput::Zoom zoom) { m_input->setZoom(std::move(zoom)); }

void LocalWebView::setKeys(WebViewInput::Keys keys) { m_input->setKeys(std::move(keys)); }

void LocalWebView::processTerminated(const QWebEnginePage::RenderProcessTerminationStatus &status)
{
    // A process that never ran is not started again, here or in any view.
    if (platform::renderProcessNeverStarted(platform::terminationStatusValue(status))) {
        platform::noteRenderProcessNeverStarted();
        emit unavailable();
        return;
    }
    if (m_restarted) {
        emit ended();
        return;
    }
    m_restarted = true;
    m_paintBackgroundAgain = true;
    emit restarting();
    open();
}

} // namespace folvan::localweb
