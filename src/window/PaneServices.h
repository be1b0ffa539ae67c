#pragma once

// Everything a reading pane takes from the application it runs in, handed
// to the pane when it is made: what its model takes (older names of a
// paper, the opening of links outside, the exports' save panel) and the
// views the pane shows but does not make itself. The views are required;
// the command palette may answer null (no palette).

#include "model/PaneModelServices.h"
#include "pane/ReaderActions.h"

#include <functional>

class QWidget;

namespace folvan::window {

class ContentView;

struct PaneServices : model::PaneModelServices {
    // The command palette over `pane`, acting through `actions`; `dismiss`
    // closes it. A null result: no palette.
    std::function<QWidget *(ContentView *pane, pane::ReaderActions actions, std::function<void()> dismiss)> commandPalette;
    // The book view and the reflow view of `pane` (for its paper as it is
    // now), made in `parent`.
    std::function<QWidget *(ContentView *pane, QWidget *parent)> bookView;
    std::function<QWidget *(ContentView *pane, QWidget *parent)> reflowView;
    // The help laid over a pane: `close` closes it, `replay` shows the
    // first-run guide again.
    std::function<QWidget *(std::function<void()> close, std::function<void()> replay)> shortcutsHelp;
    // The first-run guide laid over a pane; `finish` closes it.
    std::function<QWidget *(std::function<void()> finish)> onboarding;
};

} // namespace folvan::window
