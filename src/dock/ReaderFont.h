#pragma once

// The interface font of the reader's controls, kept in step with the
// interface text size ("folvan.interfaceTextSize").

#include <QFont>

#include <optional>

#include "platform/InterfaceFont.h"

class QWidget;

namespace folvan::dock {

using ReaderFontRole = platform::InterfaceTextRole;

// Gives `widget` the interface font of `role` (the given weight, else the
// role's own) and changes it at once whenever the interface text size is
// written, for the widget's life. Calling it again changes the role.
void useReaderFont(QWidget *widget, ReaderFontRole role, std::optional<QFont::Weight> weight = std::nullopt,
                   bool tabularDigits = false);

} // namespace folvan::dock
