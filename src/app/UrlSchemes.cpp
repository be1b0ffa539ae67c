#include "app/UrlSchemes.h"

namespace folvan::app {

QList<QWebEngineUrlScheme> localUrlSchemes()
{
    QList<QWebEngineUrlScheme> schemes;
    for (const char *name : {"folvan-reflow", "folvan-book"}) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed
                        | QWebEngineUrlScheme::CorsEnabled);
        schemes.append(scheme);
    }
    return schemes;
}

void registerUrlSchemes()
{
    for (const QWebEngineUrlScheme &scheme : localUrlSchemes())
        QWebEngineUrlScheme::registerScheme(scheme);
}

} // namespace folvan::app
