#pragma once

// What the two headers share: a button that runs an operation of its pane,
// and the radio button's look.

#include <functional>

#include <QString>

class QWidget;

namespace folvan::window {

class ContentView;
class PaneButton;

// A PaneButton in `owner` that runs `action` on `pane` when clicked (and
// nothing once the pane is gone).
PaneButton *makePaneCommand(QWidget *owner, ContentView *pane, const QString &symbol, const QString &title,
                            const QString &help, const QString &label, std::function<void(ContentView *)> action);

// Whether the pane's radio plays (false without a radio).
bool paneRadioPlays(const ContentView *pane);
// The radio button's symbol for the radio's state.
QString radioSymbol(bool playing);
// Starts or stops the pane's radio.
void togglePaneRadio(ContentView *pane);
// The controls both headers have.
struct HeaderControls {
    PaneButton *rename, *move, *reveal, *external, *trash, *close, *reflow, *search, *outline, *notes, *scholar,
        *radio;
};
// Enables the file commands while the pane has a file and the view commands
// while it has a paper; tints the switches by their flags; the radio shows
// whether it plays.
void refreshHeaderControls(const ContentView *pane, const HeaderControls &controls);

} // namespace folvan::window
