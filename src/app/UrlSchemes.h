#pragma once

#include <QList>
#include <QWebEngineUrlScheme>

namespace folvan::app {

// The schemes of the reflow and book pages as the web engine must know
// them: secure, open to CORS requests, without access to local content.
QList<QWebEngineUrlScheme> localUrlSchemes();

// Registers localUrlSchemes() with the web engine. Must run before the
// QApplication is created.
void registerUrlSchemes();

} // namespace folvan::app
