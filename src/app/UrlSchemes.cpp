#include "app/UrlSchemes.h"

#include "book/BookWire.h"
#include "localweb/LocalWebPage.h"
#include "reflow/ReflowWire.h"

namespace folvan::app {

QList<QWebEngineUrlScheme> localUrlSchemes()
{
    QList<QWebEngineUrlScheme> schemes;
    for (const char *name : {reflow::wire::scheme, book::wire::scheme})
        schemes.append(localweb::localScheme(name));
    return schemes;
}

void registerUrlSchemes()
{
    for (const QWebEngineUrlScheme &scheme : localUrlSchemes())
        QWebEngineUrlScheme::registerScheme(scheme);
}

} // namespace folvan::app
