#include "window/ContentView.h"

#include "annotationsview/ReferencePreviewController.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/PDFViewWrapper.h"
#include "platform/Queues.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QVBoxLayout>

#include <optional>

namespace folvan::window {

namespace {

// What a drop on the pane opens: its first item, when that is a PDF file.
// Anything else (a folder, another file, a text) the pane refuses.
std::optional<QUrl> droppedPDF(const QMimeData *data)
{
    const QList<QUrl> urls = data && data->hasUrls() ? data->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return std::nullopt;
    const QFileInfo file(urls.constFirst().toLocalFile());
    if (file.isDir() || file.suffix().toLower() != QLatin1String("pdf"))
        return std::nullopt;
    return urls.constFirst();
}

} // namespace

ContentView::ContentView(pane::ReaderPane pane, PaneServices services, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_controller(std::make_unique<pane::PaneController>(pane, static_cast<const model::PaneModelServices &>(m_services)))
    , m_body(new QVBoxLayout(this))
{
    m_controller->setPresenter(makeDefaultPresenter(this));
    m_controller->setFileChooser(makeDefaultFileChooser(this));
    m_body->setContentsMargins(0, 0, 0, 0);
    setAcceptDrops(true);
    setMinimumSize(420, 300);

    // The body: the page view while a paper is open.
    pane::PaneController *controller = m_controller.get();
    model::SharedPDFViewModel *model = controller->viewModel();
    connect(model, &model::SharedPDFViewModel::pdfDocumentChanged, this, &ContentView::rebuildPageView);
    connect(model, &model::SharedPDFViewModel::pageViewRebuildRequested, this, &ContentView::rebuildPageView);
    // The page view is taken away while the reflow view stands in its place.
    connect(controller, &pane::PaneController::reflowModeChanged, this, &ContentView::rebuildPageView);
    // ... and while the book view stands there.
    connect(controller, &pane::PaneController::flipBookModeChanged, this, &ContentView::rebuildPageView);
    connect(controller, &pane::PaneController::scaleFactorChanged, this, [this] {
        if (m_pageView)
            m_pageView->scheduleUpdate();
    });
    buildPaneLayout();
}

ContentView::~ContentView() = default;

void ContentView::setPresenter(std::unique_ptr<pane::PanePresenter> presenter)
{
    m_controller->setPresenter(presenter ? std::move(presenter) : makeDefaultPresenter(this));
}

void ContentView::setFileChooser(std::unique_ptr<pane::PaneFileChooser> chooser)
{
    m_controller->setFileChooser(chooser ? std::move(chooser) : makeDefaultFileChooser(this));
}

// The page view is made anew for every paper and every forced refresh, in
// one later turn for several requests.
void ContentView::rebuildPageView()
{
    if (m_pageViewRebuildScheduled)
        return;
    m_pageViewRebuildScheduled = true;
    platform::runOnMain(this, [this] {
        m_pageViewRebuildScheduled = false;
        if (m_pageView) {
            m_body->removeWidget(m_pageView);
            delete m_pageView.data();
        }
        pane::PaneController *controller = m_controller.get();
        const auto document = controller->viewModel()->pdfDocument();
        if (!document || controller->reflowMode() || controller->flipBookMode())
            return;
        pdfview::PDFViewWrapper::ScaleBinding scale{[controller] { return controller->scaleFactor(); },
                                                     [controller](double value) { controller->viewZoomed(value); }};
        m_pageView = new pdfview::PDFViewWrapper(document, scale, controller->viewModel(),
                                                 [controller](const QUrl &url) { controller->loadPDF(url); }, this);
        m_pageView->pdfView()->setReferencePreview(std::make_unique<annotationsview::ReferencePreviewController>());
        m_body->addWidget(m_pageView);
    });
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_controller->startUp();
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_controller->paneResized(width());
}

void ContentView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPDF(event->mimeData())) {
        event->ignore();
        return;
    }
    m_controller->dragEntered();
    event->acceptProposedAction();
}

void ContentView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_controller->dragLeft();
    QWidget::dragLeaveEvent(event);
}

void ContentView::dropEvent(QDropEvent *event)
{
    m_controller->dragLeft();
    const std::optional<QUrl> file = droppedPDF(event->mimeData());
    if (!file) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_controller->openDroppedFile(*file);
}

} // namespace folvan::window
