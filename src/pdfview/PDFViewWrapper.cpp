#include "pdfview/PDFViewWrapper.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QCoreApplication>
#include <QScrollBar>
#include <QVBoxLayout>

#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/NativeViewportFit.h"
#include "platform/Clock.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/ReaderPreferences.h"

namespace folvan::pdfview {

namespace {

const QString kPageJumpTransition = QStringLiteral("pageJump");
constexpr double kPageJumpFadeSeconds = 0.2;

bool showsView(const model::SharedPDFViewModel &model, const DroppablePDFView *view)
{
    return view && model.nativePDFView() == static_cast<const model::NativePDFViewInterface *>(view);
}

// Whether the selection has a part on the page `index` of `document`.
bool selectionTouchesPage(const engine::PdfSelection &selection, const std::shared_ptr<engine::PdfDocument> &document,
                          int index)
{
    if (selection.document() != document)
        return false;
    const auto pages = selection.pages();
    return std::any_of(pages.begin(), pages.end(), [index](const engine::PdfPage &p) { return p.index() == index; });
}

} // namespace

// ---------------------------------------------------------------- coordinator

PDFViewCoordinator::PDFViewCoordinator(model::SharedPDFViewModel *model)
    : viewModel(model)
{
}

void PDFViewCoordinator::selectionChanged()
{
    if (restoring)
        return;
    DroppablePDFView *view = pdfView;
    if (!view || !viewModel || view->document() != viewModel->pdfDocument())
        return;
    std::optional<engine::PdfSelection> selection = view->currentSelection();
    platform::runOnMain(this, [this, view = QPointer(view), document = view->document(), selection] {
        model::SharedPDFViewModel *model = viewModel;
        if (!model || !showsView(*model, view) || model->pdfDocument() != document)
            return;
        model->pageSelectionChanged(selection);
    });
}

void PDFViewCoordinator::scaleChanged()
{
    if (restoring || settingScale)
        return;
    DroppablePDFView *view = pdfView;
    if (!view || !viewModel || view->document() != viewModel->pdfDocument())
        return;
    const double zoom = std::clamp(view->scaleFactor(), platform::kMinZoom, platform::kMaxZoom);
    platform::runOnMain(this, [this, view = QPointer(view), document = view->document(), zoom] {
        model::SharedPDFViewModel *model = viewModel;
        if (!model || !showsView(*model, view) || model->pdfDocument() != document)
            return;
        if (onZoom)
            onZoom(zoom);
    });
}

void PDFViewCoordinator::pageChanged()
{
    if (restoring)
        return;
    auto *view = qobject_cast<DroppablePDFView *>(sender());
    model::SharedPDFViewModel *model = viewModel;
    if (!view || !model || !showsView(*model, view) || view->document() != model->pdfDocument()
        || view->currentPageIndex() < 0)
        return;
    const int page = view->currentPageIndex();
    platform::runOnMain(this, [this, view = QPointer(view), document = view->document(), page] {
        model::SharedPDFViewModel *model = viewModel;
        if (!model || !showsView(*model, view) || model->pdfDocument() != document)
            return;
        model->pageShown(page);
    });
    const QUrl url = model->pdfDocumentURL();
    if (!url.isEmpty())
        platform::Preferences::shared().setValue(platform::prefkey::lastPage(url.path()), page);
}

// ---------------------------------------------------------------- wrapper

PDFViewWrapper::PDFViewWrapper(std::shared_ptr<engine::PdfDocument> pdfDocument, ScaleBinding scaleFactor,
                               model::SharedPDFViewModel *viewModel, DropHandler onDropPDF, QWidget *parent)
    : QWidget(parent)
    , m_pdfDocument(std::move(pdfDocument))
    , m_scaleFactor(std::move(scaleFactor))
    , m_viewModel(viewModel)
    , m_onDropPDF(std::move(onDropPDF))
    , m_coordinator(std::make_unique<PDFViewCoordinator>(viewModel))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = makeView();
    layout->addWidget(m_view);
    updateView();

    if (viewModel) {
        for (auto signal : {&model::SharedPDFViewModel::pdfDocumentChanged, &model::SharedPDFViewModel::jumpToPageChanged,
                            &model::SharedPDFViewModel::showSearchChanged, &model::SharedPDFViewModel::searchTextChanged,
                            &model::SharedPDFViewModel::searchResultsChanged,
                            &model::SharedPDFViewModel::currentSearchIndexChanged,
                            &model::SharedPDFViewModel::markedPassageChanged})
            connect(viewModel, signal, this, &PDFViewWrapper::scheduleUpdate);
        // The document's annotations are drawn into the pages: a change draws
        // again the pages it touched, and a change that names none every page.
        if (const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(*viewModel)) {
            connect(paneAnnotations, &annotations::PaneAnnotations::annotationsChangedOnPage, this, [this](int page) {
                m_annotationPagesTold = true;
                if (m_view)
                    m_view->reloadPageContents(page);
            });
            connect(paneAnnotations, &annotations::PaneAnnotations::annotationRevisionChanged, this, [this] {
                if (!m_annotationPagesTold && m_view)
                    m_view->reloadPageContents();
                m_annotationPagesTold = false;
            });
        }
    }
}

PDFViewWrapper::~PDFViewWrapper()
{
    dismantleView();
}

std::function<void(double)> PDFViewWrapper::zoomReporter() const
{
    return [binding = m_scaleFactor](double zoom) {
        if (binding.set)
            binding.set(zoom);
        platform::Preferences::shared().setValue(platform::prefkey::scaleFactor, zoom);
    };
}

bool PDFViewWrapper::modelShowsThisView() const
{
    return m_viewModel && showsView(*m_viewModel, m_view) && m_viewModel->pdfDocument() == m_pdfDocument;
}

DroppablePDFView *PDFViewWrapper::makeView()
{
    model::SharedPDFViewModel *model = m_viewModel;
    auto *view = new DroppablePDFView;
    m_coordinator->pdfView = view;
    if (model) {
        model->setNativePDFView(view);
        if (const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(*model))
            view->setReadingUndoManager(paneAnnotations->annotationUndoManager());
    }
    m_coordinator->onZoom = zoomReporter();
    view->setOnDropPDF(m_onDropPDF);
    view->setOnInternalLink([model = QPointer(model)](const engine::PdfDestination &destination) {
        if (model)
            model->navigate(destination);
    });
    view->registerForDraggedFiles();

    view->setDocument(m_pdfDocument);
    view->setAutoScales(true);
    if (m_scaleFactor.get)
        view->setScaleFactor(m_scaleFactor.get());
    view->setMinScaleFactor(platform::kMinZoom);
    view->setMaxScaleFactor(platform::kMaxZoom);
    view->setBackgroundColor(Qt::transparent);
    configureScrollView(view);

    PDFViewCoordinator *coordinator = m_coordinator.get();
    connect(view, &PdfView::pageChanged, coordinator, &PDFViewCoordinator::pageChanged);
    connect(view, &PdfView::selectionChanged, coordinator, &PDFViewCoordinator::selectionChanged);
    connect(view, &PdfView::scaleChanged, coordinator, &PDFViewCoordinator::scaleChanged);
    // A click or a selection takes the mark of a passage jumped to away.
    connect(view, &PdfView::documentPressed, coordinator, [model = QPointer(model)] {
        if (model)
            model->passageMarkDismissed();
    });

    if (!model)
        return view;
    const int count = m_pdfDocument ? m_pdfDocument->pageCount() : 0;
    platform::runOnMain(coordinator, [model = QPointer(model), document = m_pdfDocument, count] {
        if (model && model->pdfDocument() == document)
            model->pageViewOpened(count);
    });
    const int target = std::min(std::max(count - 1, 0), std::max(model->currentPageIndex(), 0));
    // The reader's first key, wheel turn or click may come before the
    // restore below has run: it runs first then, and the input moves the
    // view from the reading position, not the restore the view from where
    // the input took it.
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    m_plannedRestore = PlannedRestore{target, model->retainedDestination(), model->retainedSelection()};
    platform::runOnMain(coordinator, [this] { restoreAsPlanned(); });
    return view;
}

void PDFViewWrapper::restoreAsPlanned()
{
    const std::optional<PlannedRestore> planned = std::exchange(m_plannedRestore, std::nullopt);
    if (!planned || !m_coordinator->restoring)
        return;
    // A view not on screen yet (made behind another reading view) has
    // no width to fit and no position to show: it is restored once it
    // is shown, from the model's reading position as it is by then.
    if (!m_view || !m_view->isVisible())
        m_restoreOnShow = true;
    else if (!restoreFirstShow(planned->target, planned->destination, planned->selection))
        m_coordinator->restoreDeferred = true;
}

void PDFViewWrapper::restoreFromModel()
{
    const int count = m_pdfDocument ? m_pdfDocument->pageCount() : 0;
    const int target = std::min(std::max(count - 1, 0), std::max(m_viewModel->currentPageIndex(), 0));
    if (!restoreFirstShow(target, m_viewModel->retainedDestination(), m_viewModel->retainedSelection()))
        m_coordinator->restoreDeferred = true;
}

void PDFViewWrapper::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_restoreOnShow)
        return;
    platform::runOnMain(m_coordinator.get(), [this] {
        if (!std::exchange(m_restoreOnShow, false) || !m_viewModel || !m_coordinator->restoring)
            return;
        restoreFromModel();
    });
}

bool PDFViewWrapper::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
        if (m_coordinator->restoring && m_viewModel && m_view && m_view->isVisible()) {
            m_restoreOnShow = false;
            // Before the queued restore, to the place it was made for: the
            // model may have moved meanwhile by another view's report (a
            // book view made on the paper's way in reports its first page).
            if (m_plannedRestore)
                restoreAsPlanned();
            else
                restoreFromModel();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool PDFViewWrapper::restoreFirstShow(int target, const std::optional<engine::PdfDestination> &destination,
                                      const std::optional<engine::PdfSelection> &selection)
{
    if (!modelShowsThisView())
        return false;
    model::SharedPDFViewModel &model = *m_viewModel;
    DroppablePDFView *view = m_view;
    if (model.fitNativeOnMount()) {
        // The width is measured once the layouts made with the view have
        // given it its place, not at the size it was made with.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        view->layoutDocumentView();
        const engine::PdfPage page = m_pdfDocument ? m_pdfDocument->page(target) : engine::PdfPage();
        if (const auto zoom = NativeViewportFit::scale(page, view->width(), view->screenPointPixels())) {
            model.firstShowFitted();
            view->setAutoScales(false);
            view->setScaleFactor(*zoom);
            if (m_coordinator->onZoom)
                m_coordinator->onZoom(*zoom);
        }
    }
    const int count = m_pdfDocument ? m_pdfDocument->pageCount() : 0;
    if (destination && destination->pageIndex == target && target < count)
        view->goToDestination(*destination);
    else if (target < count)
        view->goToPage(target);
    if (selection && selectionTouchesPage(*selection, m_pdfDocument, target))
        view->setCurrentSelection(*selection, false);
    m_coordinator->restoring = false;
    m_coordinator->restoreDeferred = false;
    if (model.currentPageIndex() != target)
        model.pageShown(target);
    return true;
}

void PDFViewWrapper::scheduleUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    platform::runOnMain(this, [this] {
        m_updateScheduled = false;
        updateView();
    });
}

void PDFViewWrapper::updateView()
{
    DroppablePDFView *view = m_view;
    model::SharedPDFViewModel *model = m_viewModel;
    if (!view)
        return;
    if (!view->document() || view->document() != m_pdfDocument)
        view->setDocument(m_pdfDocument);

    // A first-show restore that found the model elsewhere runs as soon as
    // the model shows this view's document in this view again.
    if (m_coordinator->restoreDeferred && model && modelShowsThisView())
        restoreFromModel();

    m_coordinator->onZoom = zoomReporter();
    if (m_scaleFactor.get) {
        const double bound = m_scaleFactor.get();
        if (std::abs(view->scaleFactor() - bound) > 0.001) {
            m_coordinator->settingScale = true;
            view->setScaleFactor(bound);
            m_coordinator->settingScale = false;
        }
    }
    view->setAutoScales(false);
    configureScrollView(view);
    view->setOnDropPDF(m_onDropPDF);
    view->setBackgroundColor(Qt::transparent);
    if (!model)
        return;

    if (const std::optional<int> jump = model->jumpToPage()) {
        const int page = *jump;
        view->addFadeTransition(kPageJumpTransition, kPageJumpFadeSeconds);
        if (view->document() && page >= 0 && page < view->document()->pageCount()) {
            if (const auto &destination = model->pendingDestination(); destination && destination->pageIndex == page)
                view->goToDestination(*destination);
            else
                view->goToPage(page);
        }
        platform::runOnMain(model, [model = QPointer(model), document = m_pdfDocument, page] {
            if (model)
                model->requestCarriedOut(document, page);
        });
    }

    const std::optional<engine::PdfSelection> &passage = model->markedPassage();
    view->setMarkedPassage(passage && passage->document() == view->document() ? *passage : engine::PdfSelection());

    const auto &results = model->searchResults();
    if (model->showSearch() && !results.empty())
        view->setHighlightedSelections(results);
    else
        view->setHighlightedSelections({});

    const std::tuple<QString, int, bool> state(model->searchText(), model->currentSearchIndex(), !results.empty());
    if (state == m_coordinator->lastSearchState)
        return;
    m_coordinator->lastSearchState = state;
    if (!results.empty()) {
        const int index = std::max(std::min(model->currentSearchIndex(), int(results.size()) - 1), 0);
        const engine::PdfSelection &match = results[size_t(index)];
        view->goToSelection(match);
        view->setCurrentSelection(match, true);
        scrollAboveSelection(view, kSearchMatchOffset);
    } else if (model->showSearch()) {
        view->clearSelection();
    }
}

void PDFViewWrapper::scrollAboveSelection(DroppablePDFView *view, double offset)
{
    platform::runAfter(view, 0.15, [view, offset] {

        const auto selection = view->currentSelection();
        if (!selection)
            return;
        const engine::PdfPage page = selection->pages().front();
        const QRectF bounds = selection->bounds(page);
        // The selection's top left corner: the least x and, y pointing up,
        // the greatest y.
        const QPointF corner = view->convertPointFromPage(QPointF(bounds.left(), bounds.bottom()), page.index());
        const double y = view->convertPointToDocument(corner).y();
        const QRectF visible = view->documentVisibleRect();
        if (visible.top() + offset + 4.0 > y)
            view->scrollDocumentTo(QPointF(visible.left(), std::max(0.0, y - offset - 12.0)));
    });
}

void PDFViewWrapper::configureScrollView(DroppablePDFView *view)
{
    // A page wider than the view scrolls sideways, with a bar that says so.
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFrameShape(QFrame::NoFrame);
    view->viewport()->setAutoFillBackground(false);
    view->setAutoFillBackground(false);
}

void PDFViewWrapper::dismantleView()
{
    DroppablePDFView *view = m_view;
    if (!view)
        return;
    view->stopReferenceTracking();
    view->setReadingUndoManager(nullptr);
    if (model::SharedPDFViewModel *model = m_viewModel) {
        // A view that never restored the reading position (never on screen)
        // holds no reading of its own to keep.
        if (!m_coordinator->restoring)
            model->captureNativeReading();
        if (showsView(*model, view))
            model->setNativePDFView(nullptr);
    }
    disconnect(view, nullptr, m_coordinator.get(), nullptr);
    view->setOnDropPDF({});
    view->setOnInternalLink({});
}

} // namespace folvan::pdfview
