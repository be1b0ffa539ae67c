#include "annotationsview/PopupPlacement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace folvan::annotationsview {

namespace {
constexpr int kGap = 4;
} // namespace

QRect popupBounds(const QWidget *anchor)
{
    const QWidget *window = anchor->window();
    QRect bounds(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (const QScreen *screen = anchor->screen())
        bounds = bounds.intersected(screen->availableGeometry());
    return bounds;
}

PopupSide placePopup(QWidget *popup, QWidget *anchor, const QRect &anchorRect, PopupSide preferred,
                     bool shrinkToFit, int margin)
{
    QRect bounds = popupBounds(anchor);
    // The margin on each side that the window has room for.
    const int across = std::clamp((bounds.width() - popup->width()) / 2, 0, margin);
    const int down = std::clamp((bounds.height() - popup->height()) / 2, 0, margin);
    bounds.adjust(across, down, -across, -down);
    const QRect target(anchor->mapToGlobal(anchorRect.topLeft()), anchorRect.size());
    const int roomBelow = bounds.bottom() + 1 - (target.bottom() + 1 + kGap);
    const int roomAbove = target.top() - kGap - bounds.top();
    const int height = popup->height();
    const auto fits = [&](PopupSide side) { return (side == PopupSide::below ? roomBelow : roomAbove) >= height; };
    const PopupSide other = preferred == PopupSide::below ? PopupSide::above : PopupSide::below;
    PopupSide side = preferred;
    if (!fits(preferred))
        side = fits(other) ? other : (roomBelow >= roomAbove ? PopupSide::below : PopupSide::above);
    const int room = std::min(bounds.height(), std::max(0, side == PopupSide::below ? roomBelow : roomAbove));
    if (shrinkToFit && popup->height() > room && room > 0) {
        if (popup->minimumHeight() == popup->maximumHeight())
            popup->setFixedHeight(room);
        else
            popup->resize(popup->width(), room);
    }
    const int width = popup->width();
    int x = target.center().x() - width / 2;
    x = std::clamp(x, bounds.left(), std::max(bounds.left(), bounds.right() + 1 - width));
    int y = side == PopupSide::below ? target.bottom() + 1 + kGap : target.top() - kGap - popup->height();
    // A popup taller than both rooms still stays inside the window.
    y = std::clamp(y, bounds.top(), std::max(bounds.top(), bounds.bottom() + 1 - popup->height()));
    // The popup's own area, not a frame a platform may draw around it.
    popup->setGeometry(x, y, width, popup->height());
    return side;
}

} // namespace folvan::annotationsview
