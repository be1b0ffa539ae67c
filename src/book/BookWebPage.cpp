#include "book/BookWebPage.h"

#include "book/BookCoordinator.h"
#include "book/BookWire.h"
#include "localweb/LocalWebPage.h"

#include <QFile>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace folvan::book {

namespace {

// The web channel's client script, as Qt WebEngine carries it.
QString webChannelScript()
{
    static const QString text = [] {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return text;
}

} // namespace

BookWebPage::BookWebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent), m_port(new BookMessagePort(this))
{
    QWebEngineScript channel;
    channel.setName(QStringLiteral("folvan-webchannel"));
    channel.setSourceCode(webChannelScript());
    channel.setInjectionPoint(QWebEngineScript::DocumentCreation);
    channel.setWorldId(QWebEngineScript::MainWorld);
    channel.setRunsOnSubFrames(false);
    scripts().insert(channel);

    localweb::confineLocalPage(this);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    auto *web = new QWebChannel(this);
    web->registerObject(QLatin1String(wire::messageHandler), m_port);
    setWebChannel(web, QWebEngineScript::MainWorld);
}

bool BookWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool)
{
    return BookCoordinator::allowsNavigation(url);
}

} // namespace folvan::book
