#pragma once

#include <QFont>

#include "platform/InterfaceFont.h"

#include <optional>

class QWidget;

namespace folvan::workspace {

// The text roles of the interface, each a step from the interface text size.
using ReaderFontRole = platform::InterfaceTextRole;

// The system font of a role at the current interface text size
// (platform::interfaceFont).
QFont readerFont(ReaderFontRole role, std::optional<QFont::Weight> weight = std::nullopt,
                 bool monospaced = false);

// The size of a role at the interface size `base`, in interface points.
double readerFontSize(ReaderFontRole role, double base);

using platform::kQtPointsPerInterfacePoint;

// Gives `widget` (and everything inside it) the font of the role, and keeps
// it in step with the interface text size for the widget's life.
void useReaderFont(QWidget *widget, ReaderFontRole role,
                   std::optional<QFont::Weight> weight = std::nullopt, bool monospaced = false);

// The root style of a window: the body font, following the interface text
// size, and the menus kept at the same size (ReaderMenuTypography).
void applyReaderInterfaceStyle(QWidget *root);

} // namespace folvan::workspace
