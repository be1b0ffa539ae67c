#pragma once

// Where a popover opens: next to its anchor, on the side that has room for
// it, and always inside the anchor's window.

#include <QRect>

class QWidget;

namespace folvan::annotationsview {

enum class PopupSide { below, above };

// Moves the top-level `popup` next to `anchorRect` (in `anchor`'s
// coordinates), 4 pixels off it: on the `preferred` side when the popup fits
// there inside the anchor's window (and screen), else on the other side when
// it fits there, else on the side with more room. Its left edge is centred on
// the anchor and moved inside the window. With `shrinkToFit`, a popup taller
// than the room on its side is made as tall as that room. With a `margin`,
// the popup keeps that far from the window's edges where the window has
// room for it. Returns the side chosen.
PopupSide placePopup(QWidget *popup, QWidget *anchor, const QRect &anchorRect,
                     PopupSide preferred = PopupSide::below, bool shrinkToFit = false, int margin = 0);

// The global rectangle that popovers of `anchor` stay inside: its window,
// within the screen's available area.
QRect popupBounds(const QWidget *anchor);

} // namespace folvan::annotationsview
