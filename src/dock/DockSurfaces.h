#pragma once

// The looks of the reading dock's rows: the floating surface (a capsule of
// the window material with a fine white rim and a soft shadow below), the
// readout capsule, and the layer that draws the surfaces' shadows under the
// dock.

#include <QFrame>
#include <QLabel>
#include <QPointer>

#include <functional>

namespace folvan::dock {

// A capsule of the window material with a white rim (55 %, 0.6 px inside
// the border), holding its content 7 pixels in from the left and right and
// 5 from the top and bottom. Its shadow is drawn by DockShadow.
class FloatingSurface : public QFrame {
    Q_OBJECT
public:
    static constexpr int kHorizontalPadding = 7;
    static constexpr int kVerticalPadding = 5;

    explicit FloatingSurface(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The short-lived capsule of text over the dock (tilt and zoom): 12 pixels
// of room left and right and 7 above and below, no rim and no shadow. The
// pointer passes through it to what lies below.
class ReadoutCapsule : public QLabel {
    Q_OBJECT
public:
    explicit ReadoutCapsule(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Draws, under a dock, the soft shadow of each surface the dock names
// (black at 10 %, blurred over 10 pixels, 3 pixels down). It stands in the
// dock's parent directly below the dock and lets the pointer through.
class DockShadow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kReach = 14;

    // `surfaces` gives the surfaces whose shadows are drawn, now.
    DockShadow(QWidget *dock, std::function<QList<QWidget *>()> surfaces);

    // Takes the dock's place (plus the shadow's reach) and repaints.
    void follow();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QWidget> m_dock;
    std::function<QList<QWidget *>()> m_surfaces;
};

// The window material behind the dock's surfaces.
QColor floatingMaterial();

} // namespace folvan::dock
