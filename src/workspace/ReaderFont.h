#pragma once

#include <QFont>

#include <optional>

class QWidget;

namespace folvan::workspace {

// The text roles of the interface, each a step from the interface text size.
enum class ReaderFontRole { body, callout, caption, headline, title3, title };

// The system font of a role at the current interface text size: the size
// plus the role's offset (body 0, callout -1, caption -2, headline +1,
// title3 +3, title +7), never below 12 points; the given weight, else
// semibold for headline and regular for the others. With `monospaced`, the
// digits are of one width while the letters stay proportional.
QFont readerFont(ReaderFontRole role, std::optional<QFont::Weight> weight = std::nullopt,
                 bool monospaced = false);

// The size of a role at the interface size `base`, in interface points.
double readerFontSize(ReaderFontRole role, double base);

// Interface points are logical pixels (the screen's points at 72 per inch
// of the interface); Qt's point is 1/72 inch at 96 logical pixels per inch.
constexpr double kQtPointsPerInterfacePoint = 0.75;

// Gives `widget` (and everything inside it) the font of the role, and keeps
// it in step with the interface text size for the widget's life.
void useReaderFont(QWidget *widget, ReaderFontRole role,
                   std::optional<QFont::Weight> weight = std::nullopt, bool monospaced = false);

// The root style of a window: the body font, following the interface text
// size, and the menus kept at the same size (ReaderMenuTypography).
void applyReaderInterfaceStyle(QWidget *root);

} // namespace folvan::workspace
