#pragma once

// The interface font of the pane's own controls: the application font at
// the interface text size ("folvan.interfaceTextSize", 15) plus the step of
// a text role.

#include <QFont>

#include "platform/InterfaceFont.h"

class QWidget;

namespace folvan::window {

using PaneFontRole = platform::InterfaceTextRole;

// The font of `role`; with `tabularDigits`, a face whose digits share one
// width (the counter's numbers then keep their place while they change).
QFont paneFont(PaneFontRole role, QFont::Weight weight = QFont::Normal, bool tabularDigits = false);

// Gives `widget` the font of `role` and keeps it in step with the interface
// text size for the widget's life. Calling it again changes the role.
void usePaneFont(QWidget *widget, PaneFontRole role, QFont::Weight weight = QFont::Normal,
                 bool tabularDigits = false);

} // namespace folvan::window
