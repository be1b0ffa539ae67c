#pragma once

// The colours the annotation views share: the secondary text and popover
// colours.

#include <QColor>
#include <QFont>

class QWidget;

namespace folvan::annotationsview {

QColor secondaryTextColor();
QColor popoverBackground();

} // namespace folvan::annotationsview

#include <QLabel>

#include "annotations/MarkupColor.h"
#include "platform/InterfaceFont.h"

namespace folvan::annotationsview {

// A markup colour as a widget colour, fully opaque when `opaque`.
QColor widgetColor(const engine::PdfColor &color, bool opaque = false);
// The palette colour of a markup colour, as its swatch shows it.
QColor swatchColor(annotations::MarkupColor color);
// A filled circle of `diameter` pixels.
QPixmap colorDot(const QColor &color, int diameter, qreal pixelRatio = 1);

// The lines of `text` wrapped at `width` pixels in `font`, at most
// `maxLines`; when text is left over, the last line ends in "…". Line
// breaks in the text start lines.
QStringList cutToLines(const QString &text, const QFont &font, int width, int maxLines);
// A word-wrapped label in the interface font of `role` that shows at most
// `maxLines` lines of its text, the first ones, the last of them cut with
// "…" when text is left over; it keeps its line limit when the interface
// text size changes.
QLabel *makeLinesLabel(const QString &text, platform::InterfaceTextRole role, int maxLines, bool secondary,
                       QWidget *parent = nullptr);
// Gives a label the secondary text colour.
void useSecondaryColor(QWidget *widget);

} // namespace folvan::annotationsview
