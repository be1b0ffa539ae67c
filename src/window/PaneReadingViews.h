#pragma once

class QWidget;

namespace folvan::window {

class ContentView;

// The reading views the application hands to its panes
// (PaneServices::bookView and reflowView), each made in `parent`.

// The book view of `pane`: the pane's model shown as a page-turning book,
// following the pane's rotation, zoom and layout; a pinch sets the pane's
// zoom, a dropped PDF opens in the pane, and the error card's button turns
// the pane to scroll reading.
QWidget *makePaneBookView(ContentView *pane, QWidget *parent);

// The reflow view of `pane` for its paper as it is now: a note made from
// the reflowed text goes to the pane's paper, and the way back to the PDF
// shows the pane's page view at the place asked for.
QWidget *makePaneReflowView(ContentView *pane, QWidget *parent);

} // namespace folvan::window
