#pragma once

// The interface font of the pane's own controls: the application font at
// the interface text size ("folvan.interfaceTextSize", 15) plus the step of
// a text role.

#include <QFont>

namespace folvan::window {

enum class PaneFontRole { body, callout, caption };

// The font of `role`; with `tabularDigits`, a face whose digits share one
// width (the counter's numbers then keep their place while they change).
QFont paneFont(PaneFontRole role, QFont::Weight weight = QFont::Normal, bool tabularDigits = false);

} // namespace folvan::window
