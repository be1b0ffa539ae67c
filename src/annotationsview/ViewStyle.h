#pragma once

// The fonts and colours the annotation views share: the interface font of
// a text role, sized from the interface text size, and the secondary text
// and popover colours.

#include <QColor>
#include <QFont>

#include <functional>

class QWidget;

namespace folvan::annotationsview {

enum class TextRole { body, headline, caption };

// The interface font of a role at the current interface text size: body at
// the size, headline one point larger and semibold, caption two smaller.
QFont readerFont(TextRole role);
// Gives `widget` the font of `role` and keeps it in step with the
// interface text size for the widget's life; a label made by
// makeLinesLabel keeps its line limit in the new font.
void useReaderFont(QWidget *widget, TextRole role);
// Calls `follow` on `context`'s thread whenever the interface text size
// changes, for the life of `context`.
void onInterfaceSizeChange(QObject *context, std::function<void()> follow);
QColor secondaryTextColor();
QColor popoverBackground();

} // namespace folvan::annotationsview

#include <QLabel>

#include "annotations/MarkupColor.h"

namespace folvan::annotationsview {

// A markup colour as a widget colour, fully opaque when `opaque`.
QColor widgetColor(const engine::PdfColor &color, bool opaque = false);
// The palette colour of a markup colour, as its swatch shows it.
QColor swatchColor(MarkupColor color);
// A filled circle of `diameter` pixels.
QPixmap colorDot(const QColor &color, int diameter, qreal pixelRatio = 1);

// The lines of `text` wrapped at `width` pixels in `font`, at most
// `maxLines`; when text is left over, the last line ends in "…". Line
// breaks in the text start lines.
QStringList cutToLines(const QString &text, const QFont &font, int width, int maxLines);
// A word-wrapped label in `role` (body: the inherited font) that shows at
// most `maxLines` lines of its text, the first ones, the last of them cut
// with "…" when text is left over.
QLabel *makeLinesLabel(const QString &text, TextRole role, int maxLines, bool secondary, QWidget *parent = nullptr);
// Gives a label the secondary text colour.
void useSecondaryColor(QWidget *widget);

} // namespace folvan::annotationsview
