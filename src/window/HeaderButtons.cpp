#include "window/HeaderButtons.h"

#include "model/SharedPDFViewModel.h"
#include "window/ContentView.h"
#include "window/PaneControls.h"
#include "window/PaneRadio.h"

#include <QPointer>

namespace folvan::window {

PaneButton *makePaneCommand(QWidget *owner, ContentView *pane, const QString &symbol, const QString &title,
                            const QString &help, const QString &label, std::function<void(ContentView *)> action)
{
    auto *button = new PaneButton(symbol, title, help, label, owner);
    QPointer<ContentView> target(pane);
    QObject::connect(button, &QToolButton::clicked, owner, [target, action = std::move(action)] {
        if (target)
            action(target);
    });
    return button;
}

bool paneRadioPlays(const ContentView *pane)
{
    return pane->radio() && pane->radio()->isPlaying();
}

QString radioSymbol(bool playing)
{
    return playing ? QStringLiteral("radio.fill") : QStringLiteral("radio");
}

void togglePaneRadio(ContentView *pane)
{
    if (PaneRadio *radio = pane->radio())
        radio->toggle();
}

void refreshHeaderControls(const ContentView *pane, const HeaderControls &controls)
{
    const model::SharedPDFViewModel *model = pane->viewModel();
    const bool hasFile = !model->pdfDocumentURL().isEmpty();
    const bool hasDocument = model->pdfDocument() != nullptr;
    for (PaneButton *button : {controls.rename, controls.move, controls.reveal, controls.external, controls.trash})
        button->setEnabled(hasFile);
    for (PaneButton *button : {controls.close, controls.reflow, controls.search, controls.outline})
        button->setEnabled(hasDocument);
    controls.reflow->setTinted(pane->controller()->reflowMode());
    controls.search->setTinted(model->showSearch());
    controls.outline->setTinted(pane->controller()->showOutline());
    controls.notes->setTinted(pane->controller()->showNotes());
    controls.scholar->setTinted(pane->controller()->showGG());
    controls.radio->setSymbol(radioSymbol(paneRadioPlays(pane)));
}

} // namespace folvan::window
