#pragma once

class QWidget;

namespace folvan::window {

class ContentView;

// The book view of `pane`: the pane's model shown as a page-turning book,
// following the pane's rotation, zoom and layout; a pinch sets the pane's
// zoom, a dropped PDF opens in the pane, and the error card's button turns
// the pane to scroll reading. The application hands it to its panes as
// their book view (PaneServices::bookView).
QWidget *makePaneBookView(ContentView *pane, QWidget *parent);

} // namespace folvan::window
