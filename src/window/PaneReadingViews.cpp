#include "window/PaneReadingViews.h"

#include "book/PaperReadingView.h"
#include "notes/PaperNotesStore.h"
#include "reflow/ReflowView.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"

namespace folvan::window {

QWidget *makePaneBookView(ContentView *pane, QWidget *parent)
{
    auto *view = new book::PaperReadingView(pane->viewModel(), parent);
    QPointer<ContentView> weak(pane);
    auto follow = [view, weak] {
        if (weak)
            view->setPaneValues(weak->controller()->rotationAngle(), weak->controller()->scaleFactor(), weak->controller()->pageLayout());
    };
    follow();
    for (auto signal : {&pane::PaneController::rotationAngleChanged, &pane::PaneController::scaleFactorChanged,
                        &pane::PaneController::pageLayoutChanged})
        QObject::connect(pane->controller(), signal, view, follow);
    // The pane's wallpaper shows behind the book as behind the page view.
    auto wallpaper = [view, weak] {
        if (weak)
            view->setWallpaper(weak->controller()->backgroundImage(), weak->paneLayout());
    };
    wallpaper();
    QObject::connect(pane->controller(), &pane::PaneController::backgroundImageChanged, view, wallpaper);
    view->setOnZoom([weak](double zoom) {
        if (weak)
            weak->controller()->viewZoomed(zoom);
    });
    view->setOnDropPDF([weak](const QUrl &url) {
        if (weak)
            weak->controller()->loadPDF(url);
    });
    view->setOnModeChange([weak](bool book) {
        if (weak)
            weak->controller()->readingModeChosen(book);
    });
    return view;
}

QWidget *makePaneReflowView(ContentView *pane, QWidget *parent)
{
    QPointer<ContentView> weak(pane);
    reflow::ReflowCoordinator::Callbacks callbacks;
    callbacks.createNote = [weak](const std::vector<model::ReadingTextSource> &sources) {
        if (weak)
            weak->controller()->createPaperNote(sources);
    };
    callbacks.showOriginal = [weak](const model::ReadingLocation &location) {
        if (weak)
            weak->controller()->showOriginal(location);
    };
    // A paper the notes library cannot keep a record of now has no lasting
    // identifier: no corrections file is named after it.
    const std::optional<QUuid> paperID =
        pane->controller()->paperNotes().keepsPaperRecords() ? pane->controller()->currentPaperID() : std::nullopt;
    return new reflow::ReflowView(pane->viewModel(), paperID, std::move(callbacks), parent);
}

} // namespace folvan::window
