#include "window/PaneBookView.h"

#include "book/PaperReadingView.h"
#include "window/ContentView.h"

namespace folvan::window {

QWidget *makePaneBookView(ContentView *pane, QWidget *parent)
{
    auto *view = new book::PaperReadingView(pane->viewModel(), parent);
    QPointer<ContentView> weak(pane);
    auto follow = [view, weak] {
        if (weak)
            view->setPaneValues(weak->rotationAngle(), weak->scaleFactor(), weak->pageLayout());
    };
    follow();
    for (auto signal : {&ContentView::rotationAngleChanged, &ContentView::scaleFactorChanged,
                        &ContentView::pageLayoutChanged})
        QObject::connect(pane, signal, view, follow);
    view->setOnZoom([weak](double zoom) {
        if (weak)
            weak->setScaleFactor(zoom);
    });
    view->setOnDropPDF([weak](const QUrl &url) {
        if (weak)
            weak->loadPDF(url);
    });
    view->setOnModeChange([weak](bool book) {
        if (weak)
            weak->setReadingMode(book);
    });
    return view;
}

} // namespace folvan::window
