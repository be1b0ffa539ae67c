#pragma once

#include <QList>
#include <QWebEngineUrlScheme>

namespace folvan::app {

// The local schemes "folvan-reflow" and "folvan-book" as the web engine must
// know them: secure, allowed to reach local content, open to CORS requests.
QList<QWebEngineUrlScheme> localUrlSchemes();

// Registers localUrlSchemes() with the web engine. Must run before the
// QApplication is created.
void registerUrlSchemes();

} // namespace folvan::app
