#pragma once

// The pane's background while it holds no wallpaper: a fixed tint, the same
// whether or not its window is the active one. And where a wallpaper stands
// in the pane, for every view that shows it.

#include <QRectF>
#include <QWidget>

namespace folvan::annotationsview {

// Where a wallpaper of `image` size is drawn in a pane of `pane` size: it
// fills the pane with its proportions kept, centred, cut at the longer
// sides.
QRectF wallpaperPlace(QSizeF image, QSizeF pane);

class VisualEffect : public QWidget {
    Q_OBJECT
public:
    explicit VisualEffect(QWidget *parent = nullptr);

    // The two colours of the tint, top and bottom.
    static QColor topColor();
    static QColor bottomColor();

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace folvan::annotationsview
