#pragma once

// The book view of a pane: the book page in its web view, with the page's
// scheme handler and coordinator, following the pane's model (document,
// page, jumps, turns, overlays, annotations) and the values the pane hands
// it. Taken down with the widget: the load is closed for good and pending
// requests go unanswered.

#include "book/BookCoordinator.h"

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace folvan::localweb {
class LocalWebPage;
}

namespace folvan::book {

class BookCover;
class BookResourceHandler;
class DroppableBookWebView;

class PaperBookView : public QWidget, private BookPageHost {
    Q_OBJECT
public:
    PaperBookView(model::SharedPDFViewModel *model, QWidget *parent = nullptr);
    ~PaperBookView() override;

    // The values for the page; an update follows when they changed.
    void setParameters(const BookViewParameters &parameters);
    void setOnZoom(std::function<void(double)> onZoom);
    void setOnDropPDF(std::function<void(const QUrl &)> onDropPDF);

    // The pane's wallpaper behind the book, where `backdrop` (a widget the
    // view lies in) shows it: filling the backdrop, its proportions kept. A
    // null image shows none.
    void setWallpaper(const QImage &image, QWidget *backdrop);
    // Where the wallpaper stands, in the view's coordinates; empty without
    // one.
    QRectF wallpaperPlace() const { return m_wallpaperPlace; }

    BookCoordinator *coordinator() const { return m_coordinator; }
    // The web side starts once the view is shown and the first spread was
    // painted from its rasters (or a second passed); these start it at once.
    DroppableBookWebView *webView();
    localweb::LocalWebPage *page();
    bool webEngineStarted() const { return m_webView; }
    // The first spread drawn natively until the page has drawn it.
    BookCover *cover() const { return m_cover; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startWebEngine();
    void startWebEngineWhenDue();
    void scheduleUpdate();
    // Places the wallpaper anew in the next turn: the view or the backdrop
    // moved or changed size.
    void scheduleWallpaper();
    void placeWallpaper();
    void followDocument();
    void startCover();
    void paperDrawn();
    // Keys the book's page cannot take yet (no page, or the paper not yet
    // drawn): held, and handed to the page once it has drawn the paper.
    bool holdKey(QKeyEvent *event);
    void handOnHeldKeys();

    // BookPageHost
    QSizeF viewSize() const override;
    void dismissPreview() override;
    void previewLink(int page, QPointF pagePoint, QPointF anchor) override;
    void offerPrimarySelection(const QString &text) override;

    QPointer<model::SharedPDFViewModel> m_model;
    BookResourceHandler *m_resources;
    DroppableBookWebView *m_webView = nullptr;
    std::function<void(double)> m_onZoom;
    std::function<void(const QUrl &)> m_onDropPDF;
    BookCoordinator *m_coordinator;
    BookCover *m_cover;
    bool m_updateScheduled = false;
    QImage m_wallpaper;
    QPointer<QWidget> m_backdrop;
    QRectF m_wallpaperPlace;
    bool m_wallpaperScheduled = false;
    bool m_webEngineWanted = false;
    bool m_webEngineRefused = false;
    bool m_webEngineDue = false;
    QTimer m_webEngineFallback;
    // Turns the window over to OpenGL before the web view is there.
    QWidget *m_composer = nullptr;
    // The web view's input widget (its focus proxy, which the engine makes
    // and replaces), and whether the release of a press kept from the page
    // is still to come.
    QPointer<QWidget> m_input;
    bool m_keepingClick = false;
    struct HeldKey {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode, virtualKey, nativeModifiers;
        QString text;
    };
    std::vector<HeldKey> m_heldKeys;
};

} // namespace folvan::book
