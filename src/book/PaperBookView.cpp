#include "book/PaperBookView.h"

#include "book/BookCover.h"
#include "book/BookResourceHandler.h"
#include "book/DroppableBookWebView.h"
#include "book/FloatingOverBook.h"
#include "annotations/PaneAnnotations.h"
#include "annotationsview/ReferencePreviewController.h"
#include "annotationsview/VisualEffect.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "localweb/WebViewComposition.h"
#include "platform/Desktop.h"
#include "platform/Queues.h"
#include "platform/WebEngineStart.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QScreen>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QWebEngineSettings>

namespace folvan::book {

PaperBookView::PaperBookView(model::SharedPDFViewModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_resources(new BookResourceHandler(QStringLiteral(":/book"), this))
    , m_coordinator(new BookCoordinator(model, m_resources, this))
    , m_cover(new BookCover(m_resources, this))
{
    m_cover->hide();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_coordinator->setHost(this);
    connect(m_coordinator, &BookCoordinator::paperDrawn, this, &PaperBookView::paperDrawn);
    connect(model, &model::SharedPDFViewModel::bookErrorChanged, this, [this] {
        if (m_model && m_model->bookError())
            m_cover->finish();
    });

    // Every change the page may show runs one update in the next turn.
    if (const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(*model))
        connect(paneAnnotations, &annotations::PaneAnnotations::annotationRevisionChanged, this,
                &PaperBookView::scheduleUpdate);
    for (auto signal : {&model::SharedPDFViewModel::jumpToPageChanged,
                        &model::SharedPDFViewModel::bookTurnRequestChanged, &model::SharedPDFViewModel::bookTextModeChanged,
                        &model::SharedPDFViewModel::readingOverlayRevisionChanged, &model::SharedPDFViewModel::currentPageIndexChanged,
                        &model::SharedPDFViewModel::searchResultsChanged, &model::SharedPDFViewModel::currentSearchIndexChanged,
                        &model::SharedPDFViewModel::showSearchChanged, &model::SharedPDFViewModel::bookLayoutChanged})
        connect(model, signal, this, &PaperBookView::scheduleUpdate);
    // In the next turn: the pane prepares the new document's annotations
    // right after setting it, and the load takes them at once.
    connect(model, &model::SharedPDFViewModel::pdfDocumentChanged, this,
            [this] { platform::runOnMain(this, [this] { followDocument(); }); });

    followDocument();
    // The web engine starts once the cover's spread has been painted: its
    // start-up holds the main thread for a good while, and the reader sees
    // the paper sooner without waiting for it. A cover that does not paint (no raster, a view too small)
    // holds it back no longer than a second. And only a view still shown
    // starts it: a pane that makes a book view and takes it away in the
    // same turn (a paper opened in the page view) starts no web engine
    // process.
    m_webEngineFallback.setSingleShot(true);
    m_webEngineFallback.setInterval(1000);
    connect(&m_webEngineFallback, &QTimer::timeout, this, [this] {
        m_webEngineDue = true;
        startWebEngineWhenDue();
    });
    // Queued: the painted window is handed to the screen first.
    connect(
        m_cover, &BookCover::spreadPainted, this,
        [this] {
            m_webEngineDue = true;
            startWebEngineWhenDue();
        },
        Qt::QueuedConnection);
    platform::runOnMain(this, [this] {
        m_webEngineWanted = true;
        startWebEngineWhenDue();
    });
}

void PaperBookView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    startWebEngineWhenDue();
}

void PaperBookView::startWebEngineWhenDue()
{
    if (m_webView || !m_webEngineWanted || !isVisible())
        return;
    if (m_webEngineDue || m_cover->finished())
        startWebEngine();
    else if (!m_webEngineFallback.isActive())
        m_webEngineFallback.start();
}

void PaperBookView::startWebEngine()
{
    if (m_webView || m_webEngineRefused)
        return;
    m_webEngineFallback.stop();
    delete m_composer;
    m_composer = nullptr;
    // Where the engine would end the process, the book shows its error
    // card (with the way to the page view) instead.
    if (!platform::webEngineCanStart()) {
        m_webEngineRefused = true;
        m_coordinator->webEngineUnavailable();
        return;
    }
    m_webView = new DroppableBookWebView(m_resources, this);
    QWebEngineSettings *settings = m_webView->localPage()->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    layout()->addWidget(m_webView);
    m_webView->bookZoom = m_coordinator->parameters().zoom;
    m_webView->onZoom = m_onZoom;
    m_webView->onDropPDF = m_onDropPDF;
    const bool focused = hasFocus();
    setFocusProxy(m_webView);
    if (focused)
        m_webView->setFocus(Qt::OtherFocusReason);
    m_cover->raise();

    m_webView->installEventFilter(this);
    m_webView->referencePreview = std::make_unique<annotationsview::ReferencePreviewController>();
    QPointer<model::SharedPDFViewModel> weakModel(m_model);
    QPointer<annotations::PaneAnnotations> weakAnnotations(m_model ? annotations::PaneAnnotations::of(*m_model) : nullptr);
    m_webView->setKeys({
        .copy = [weakModel] { if (weakModel) weakModel->copySelection(); },
        .undo = [weakAnnotations] { if (weakAnnotations) weakAnnotations->annotationUndoManager()->undo(); },
        .redo = [weakAnnotations] { if (weakAnnotations) weakAnnotations->annotationUndoManager()->redo(); },
    });
    connect(m_coordinator, &BookCoordinator::pageCall, m_webView, &localweb::LocalWebView::call);
    connect(m_webView, &localweb::LocalWebView::received, this, [this](const localweb::BridgeJson &body) {
        m_coordinator->receive(body);
        if (m_coordinator->paperReady())
            handOnHeldKeys();
    });
    connect(m_webView, &localweb::LocalWebView::loadFailed, m_coordinator, &BookCoordinator::pageLoadFailed);
    connect(m_webView, &localweb::LocalWebView::restarting, m_coordinator, &BookCoordinator::pageRestarting);
    connect(m_webView, &localweb::LocalWebView::ended, m_coordinator, &BookCoordinator::pageEnded);
    connect(m_webView, &localweb::LocalWebView::unavailable, m_coordinator, &BookCoordinator::webEngineUnavailable);
    m_webView->open();
}

DroppableBookWebView *PaperBookView::webView()
{
    startWebEngine();
    return m_webView;
}

localweb::LocalWebPage *PaperBookView::page()
{
    startWebEngine();
    return m_webView ? m_webView->localPage() : nullptr;
}

PaperBookView::~PaperBookView()
{
    m_coordinator->dispose();
    m_coordinator->setHost(nullptr);
    // The web view goes before the scheme handler it was given.
    delete m_webView;
}

void PaperBookView::setParameters(const BookViewParameters &parameters)
{
    if (parameters == m_coordinator->parameters())
        return;
    if (m_webView)
        m_webView->bookZoom = parameters.zoom;
    m_coordinator->setParameters(parameters);
    scheduleUpdate();
}

void PaperBookView::setOnZoom(std::function<void(double)> onZoom)
{
    m_onZoom = std::move(onZoom);
    if (m_webView)
        m_webView->onZoom = m_onZoom;
}

void PaperBookView::setOnDropPDF(std::function<void(const QUrl &)> onDropPDF)
{
    m_onDropPDF = std::move(onDropPDF);
    if (m_webView)
        m_webView->onDropPDF = m_onDropPDF;
}

void PaperBookView::followDocument()
{
    if (!m_model || !m_model->pdfDocument() || m_model->pdfDocument() == m_coordinator->document())
        return;
    // Each paper may have its page's process started again once.
    if (m_webView)
        m_webView->allowRestart();
    m_coordinator->setDocument(m_model->pdfDocument());
    if (m_cover->isVisible())
        startCover();
}

// The first spread, as soon as the view has its size: the page's rasters
// are drawn meanwhile the web engine starts.
void PaperBookView::startCover()
{
    const model::PdfDocumentPtr document = m_coordinator->document();
    if (m_cover->finished() || !document || width() < 100 || height() < 100)
        return;
    const BookViewParameters &p = m_coordinator->parameters();
    m_cover->setGeometry(rect());
    m_cover->start(m_coordinator->token(), m_coordinator->initialPage(), document->pageCount(),
                   m_coordinator->aspect(), {.angle = p.angle, .zoom = p.zoom, .layout = p.layout, .warmth = p.warmth});
    // The web view composes its window with OpenGL, and a window that turns
    // to OpenGL once it is on the screen is made again, blank meanwhile:
    // the window turns now, before the cover's first frame, while the
    // rasters are drawn. An OpenGL widget never shown does it, where the
    // web views compose with OpenGL at all.
    if (!m_webView && !m_webEngineRefused && !m_composer && isVisible() && localweb::webViewsComposeWithOpenGL()) {
        m_composer = new QOpenGLWidget(this);
        m_composer->hide();
    }
}

void PaperBookView::setWallpaper(const QImage &image, QWidget *backdrop)
{
    if (backdrop != m_backdrop) {
        for (QWidget *widget = parentWidget(); widget && m_backdrop; widget = widget->parentWidget()) {
            widget->removeEventFilter(this);
            if (widget == m_backdrop)
                break;
        }
        m_backdrop = backdrop && backdrop->isAncestorOf(this) ? backdrop : nullptr;
        for (QWidget *widget = parentWidget(); widget && m_backdrop; widget = widget->parentWidget()) {
            widget->installEventFilter(this);
            if (widget == m_backdrop)
                break;
        }
    }
    m_wallpaper = image;
    placeWallpaper();
}

void PaperBookView::scheduleWallpaper()
{
    if (m_wallpaperScheduled || m_wallpaper.isNull())
        return;
    m_wallpaperScheduled = true;
    platform::runOnMain(this, [this] {
        m_wallpaperScheduled = false;
        placeWallpaper();
    });
}

// The page and the cover draw the wallpaper where the backdrop has it. The
// page is given no more pixels than the screen shows.
void PaperBookView::placeWallpaper()
{
    QRectF place;
    if (!m_wallpaper.isNull() && m_backdrop)
        place = annotationsview::wallpaperPlace(m_wallpaper.size(), m_backdrop->size())
                    .translated(-QPointF(mapTo(m_backdrop, QPoint(0, 0))));
    const QImage shown = place.isEmpty() ? QImage() : m_wallpaper;
    if (place == m_wallpaperPlace && shown.cacheKey() == m_coordinator->wallpaper().cacheKey())
        return;
    m_wallpaperPlace = place;
    const QSize screenSize = screen() ? screen()->size() : QSize();
    m_coordinator->setWallpaper(shown, place, (QSizeF(screenSize) * devicePixelRatioF()).toSize());
    m_cover->setWallpaper(shown, place);
    scheduleUpdate();
}

void PaperBookView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_cover->setGeometry(rect());
    if (m_cover->isHidden())
        startCover();
}

// A click where a widget floating over the book (the dock) stood a moment
// before was meant for that widget: the page does not get it.
bool PaperBookView::eventFilter(QObject *watched, QEvent *event)
{
    // The widgets between the view and the backdrop move it and size it.
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isAncestorOf(this)) {
        scheduleWallpaper();
        return false;
    }
    if (watched == m_webView) {
        // The engine sets its input widget some time after adding it.
        if (QWidget *proxy = m_webView->focusProxy(); proxy != m_input) {
            if (m_input)
                m_input->removeEventFilter(this);
            m_input = proxy;
            if (proxy)
                proxy->installEventFilter(this);
        }
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            return holdKey(static_cast<QKeyEvent *>(event));
        return false;
    }
    if (!m_input || watched != m_input)
        return false;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        return holdKey(static_cast<QKeyEvent *>(event));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_keepingClick = FloatingOverBook::left(window(), mouse->globalPosition().toPoint());
        return m_keepingClick;
    }
    case QEvent::MouseButtonRelease:
        if (!m_keepingClick)
            return false;
        m_keepingClick = false;
        return true;
    default:
        return false;
    }
}

// Before the web view is there, the keys come to the book view itself.
void PaperBookView::keyPressEvent(QKeyEvent *event)
{
    if (!holdKey(event))
        QWidget::keyPressEvent(event);
}

// The reader sees the paper (the cover's spread) before the page can turn
// it: a turning key pressed then is kept, not lost. Keys with Ctrl, Alt or
// Meta are the window's and pass; so does every key once the paper is
// drawn.
bool PaperBookView::holdKey(QKeyEvent *event)
{
    constexpr Qt::KeyboardModifiers windows = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (m_coordinator->paperReady() || m_coordinator->isDisposed() || (m_model && m_model->bookError())
        || (event->modifiers() & windows))
        return false;
    // A few at most: a key held down repeats.
    if (event->type() == QEvent::KeyPress && m_heldKeys.size() < 8)
        m_heldKeys.push_back({event->key(), event->modifiers(), event->nativeScanCode(), event->nativeVirtualKey(),
                              event->nativeModifiers(), event->text()});
    event->accept();
    return true;
}

void PaperBookView::handOnHeldKeys()
{
    if (m_heldKeys.empty() || !m_input)
        return;
    const std::vector<HeldKey> keys = std::exchange(m_heldKeys, {});
    QPointer<QWidget> input = m_input;
    for (const HeldKey &k : keys)
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            if (!input)
                return;
            QKeyEvent event(type, k.key, k.modifiers, k.scanCode, k.virtualKey, k.nativeModifiers, k.text);
            QCoreApplication::sendEvent(input, &event);
        }
}

// The page drew its first spread: once the web view had a moment to show
// it, the cover goes.
void PaperBookView::paperDrawn()
{
    if (!m_cover->finished())
        QTimer::singleShot(150, m_cover, &BookCover::finish);
}

void PaperBookView::scheduleUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    platform::runOnMain(this, [this] {
        m_updateScheduled = false;
        m_coordinator->update();
    });
}

QSizeF PaperBookView::viewSize() const { return m_webView ? QSizeF(m_webView->size()) : QSizeF(size()); }

void PaperBookView::dismissPreview()
{
    if (m_webView && m_webView->referencePreview)
        m_webView->referencePreview->dismiss();
}

// The link under the point, or none: the preview opens, waits or closes.
void PaperBookView::previewLink(int page, QPointF pagePoint, QPointF anchor)
{
    const model::PdfDocumentPtr document = m_coordinator->document();
    if (!document || !m_webView || !m_webView->referencePreview)
        return;
    std::optional<engine::PdfAnnotation> link;
    for (engine::PdfAnnotation &annotation : engine::annotations(*document, page))
        if (annotation.subtype.compare(QLatin1String("Link"), Qt::CaseInsensitive) == 0
            && annotation.bounds.contains(pagePoint)) {
            link = std::move(annotation);
            break;
        }
    m_webView->referencePreview->hover(link, document, QRectF(anchor, QSizeF(1, 1)), m_webView);
}

void PaperBookView::offerPrimarySelection(const QString &text) { platform::setPrimarySelectionText(text); }

} // namespace folvan::book
