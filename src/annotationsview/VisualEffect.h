#pragma once

// The pane's background while it holds no wallpaper: a fixed tint, the same
// whether or not its window is the active one.

#include <QWidget>

namespace folvan::annotationsview {

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
