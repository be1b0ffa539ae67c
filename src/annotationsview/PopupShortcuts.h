#pragma once

// A popup is a window of its own: while it holds the keyboard, the menu
// shortcuts of the window it stands over do not reach their actions. A popup
// hands on the keys its content leaves alone through this.

class QAction;
class QKeyEvent;
class QWidget;

namespace folvan::annotationsview {

// The enabled action of `window` (its menus among them) that `key` is a
// shortcut of; null when there is none. A shifted symbol (Ctrl+Shift+= for
// Ctrl++) is also tried unshifted.
QAction *windowShortcutAction(QWidget *window, const QKeyEvent *key);

} // namespace folvan::annotationsview
