#include "app/UrlSchemes.h"

#include "localweb/LocalWebPage.h"

namespace folvan::app {

QList<QWebEngineUrlScheme> localUrlSchemes()
{
    QList<QWebEngineUrlScheme> schemes;
    for (const char *name : {"folvan-reflow", "folvan-book"})
        schemes.append(localweb::localScheme(name));
    return schemes;
}

void registerUrlSchemes()
{
    for (const QWebEngineUrlScheme &scheme : localUrlSchemes())
        QWebEngineUrlScheme::registerScheme(scheme);
}

} // namespace folvan::app
