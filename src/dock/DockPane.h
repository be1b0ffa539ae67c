#pragma once

// What the reading dock reads and changes of the pane that hosts it: the
// reading mode, the tilt and zoom, the page layout, the width the pane
// grants the dock, and the pane's reading view, which takes the keyboard
// back when a dock panel closes. The pane fills it in and tells the dock of
// changes through ReaderDock's pane...Changed() calls.

#include "platform/ReadingModes.h"

#include <QString>

#include <functional>

namespace folvan::dock {

struct DockPane {
    // True while the pane shows the book view, false for the page view;
    // setting it switches the pane's view.
    std::function<bool()> isBook;
    std::function<void(bool)> setBook;
    // The pane's tilt in degrees.
    std::function<double()> angle;
    std::function<void(double)> setAngle;
    // The pane's zoom (1 = 100 %) and its zoom handler, which sets and
    // stores a new zoom unchanged.
    std::function<double()> zoom;
    std::function<void(double)> onZoom;
    // The pane's page layout.
    std::function<platform::BookLayout()> pageLayout;
    std::function<void(platform::BookLayout)> setPageLayout;
    // The width, in pixels, that the pane grants the dock.
    std::function<double()> availableWidth;
    // Gives the keyboard to the pane's reading view.
    std::function<void()> focusReadingView;
};

} // namespace folvan::dock
