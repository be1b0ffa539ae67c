#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

namespace folvan::platform {

// The bundled icon of a system symbol name ("book", "chevron.left", ...).
// An unknown name gives a neutral icon.
QIcon symbolIcon(const QString &systemSymbolName);

// The icon of a name drawn in `color`, at `size` device-independent pixels.
QIcon tintedSymbolIcon(const QString &systemSymbolName, const QColor &color, int size = 16);

// The symbol drawn at `pixelSize` with its ink in `ink` (alpha included);
// the light details inside a filled symbol (the arrow on a document, the
// letter on a disc) keep their own colour.
QImage symbolImage(const QString &systemSymbolName, const QColor &ink, QSize pixelSize);

// Whether the table has an icon for the name.
bool hasSymbolIcon(const QString &systemSymbolName);

// The resource path of a name's SVG, or of the neutral icon.
QString symbolIconPath(const QString &systemSymbolName);

} // namespace folvan::platform
