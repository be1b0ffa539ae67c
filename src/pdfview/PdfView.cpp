#include "pdfview/PdfView.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QPainter>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <QScrollBar>
#include <QTimer>
#include <QUndoStack>
#include <QVariantAnimation>

#include "engine/PdfDocument.h"
#include "platform/Desktop.h"
#include "platform/Queues.h"
#include "pdfview/PageLinks.h"
#include "pdfview/PagePainter.h"
#include "pdfview/PageRasterCache.h"

namespace folvan::pdfview {

namespace {

const QColor kDefaultBackground(0x9a, 0x9a, 0x9a);
// The first this many pages have their sizes read at once.
constexpr int kPagesReadAtOnce = 256;

} // namespace

PdfView::PdfView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_rasters(std::make_unique<PageRasterCache>())
    , m_background(kDefaultBackground)
    , m_undoStack(std::make_unique<QUndoStack>())
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents, false);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    connect(m_rasters.get(), &PageRasterCache::tileReady, viewport(), qOverload<>(&QWidget::update));
    connect(m_rasters.get(), &PageRasterCache::pageContentsReady, this,
            [this](int page, std::shared_ptr<const engine::PdfPageText> text,
                   const std::vector<engine::PdfAnnotation> &links) {
                m_texts.insert(page, new std::shared_ptr<const engine::PdfPageText>(std::move(text)));
                if (!m_links.contains(page))
                    setLinks(page, links);
                m_marks.forgetPage(page);
                viewport()->update();
            });

    m_selectionPulse = new QVariantAnimation(this);
    m_selectionPulse->setStartValue(1.0);
    m_selectionPulse->setEndValue(0.0);
    m_selectionPulse->setDuration(300);
    connect(m_selectionPulse, &QVariantAnimation::valueChanged, viewport(), qOverload<>(&QWidget::update));

    m_autoScroll = new QTimer(this);
    m_autoScroll->setInterval(30);
    connect(m_autoScroll, &QTimer::timeout, this, [this] {
        if (m_selecting && (QApplication::mouseButtons() & Qt::LeftButton))
            dragSelectionTo(m_lastDragPoint);
        else
            m_autoScroll->stop();
    });

    m_fade = new QVariantAnimation(this);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    // Ease in and out: the cubic Bézier curve (0.42, 0) (0.58, 1).
    QEasingCurve easeInEaseOut(QEasingCurve::BezierSpline);
    easeInEaseOut.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_fade->setEasingCurve(easeInEaseOut);
    connect(m_fade, &QVariantAnimation::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        m_fadeSnapshot = QPixmap();
        m_fadeKey.clear();
        viewport()->update();
    });
}

PdfView::~PdfView()
{
    if (m_shapeReading)
        m_shapeReading->store(true);
}

// ---------------------------------------------------------------- document

void PdfView::setDocument(std::shared_ptr<engine::PdfDocument> document)
{
    if (document == m_document)
        return;
    m_document = std::move(document);
    m_rasters->setDocument(m_document);
    m_links.clear();
    m_texts.clear();
    const int count = m_document ? m_document->pageCount() : 0;
    // The first pages are read at once; every later page takes the first
    // page's shape until its own is read, off the main thread, so that a
    // long document shows its first page before the whole of it is read.
    const int known = std::min(count, kPagesReadAtOnce);
    m_pageSizes.resize(size_t(known));
    m_pageToDisplay.resize(size_t(known));
    m_displayToPage.resize(size_t(known));
    for (int i = 0; i < known; ++i) {
        const PageShape shape = pageShape(m_document->page(i));
        m_pageSizes[size_t(i)] = shape.size;
        m_pageToDisplay[size_t(i)] = shape.toDisplay;
        m_displayToPage[size_t(i)] = shape.toPage;
    }
    if (known > 0) {
        m_pageSizes.resize(size_t(count), m_pageSizes.front());
        m_pageToDisplay.resize(size_t(count), m_pageToDisplay.front());
        m_displayToPage.resize(size_t(count), m_displayToPage.front());
    }
    readPageShapes(known);
    m_anchorPage = -1;
    m_pressedLink.reset();
    const bool hadSelection = m_marks.clear();

    m_layout.layout(m_pageSizes, pixelsPerPoint(), viewport()->width());
    // Fitted to the new document's widest page.
    const double scale = m_autoScales ? std::clamp(scaleFactorForSizeToFit(), m_minScale, m_maxScale) : m_scale;
    const bool scaled = std::abs(scale - m_scale) > 1e-9;
    if (scaled) {
        m_scale = scale;
        m_layout.layout(m_pageSizes, pixelsPerPoint(), viewport()->width());
    }
    updateScrollBars();
    m_programmaticScroll = true;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    m_programmaticScroll = false;
    m_currentPage = -2; // so that the new document's first page is reported
    setCurrentPageIndex(count > 0 ? 0 : -1);
    if (hadSelection)
        emit selectionChanged();
    if (scaled)
        emit scaleChanged();
    viewport()->update();
}

PdfView::PageShape PdfView::pageShape(const engine::PdfPage &page)
{
    PageShape shape;
    shape.size = page.displaySize();
    // Flip the displayed page (y up) into y down.
    shape.toDisplay = page.drawingTransform() * QTransform(1, 0, 0, -1, 0, shape.size.height());
    shape.toPage = shape.toDisplay.inverted();
    return shape;
}

void PdfView::readPageShapes(int from)
{
    if (m_shapeReading)
        m_shapeReading->store(true);
    m_shapeReading.reset();
    const quint64 generation = ++m_shapeGeneration;
    const int count = m_document ? m_document->pageCount() : 0;
    m_pageShapesPending = from < count;
    if (!m_pageShapesPending)
        return;
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_shapeReading = stop;
    // In batches, each under the document's lock page by page, so that the
    // rasters of the pages on screen are not held up behind the reading.
    constexpr int kBatch = 512;
    platform::runConcurrently([view = QPointer<PdfView>(this), document = m_document, from, count, stop, generation] {
        for (int first = from; first < count && !stop->load(); first += kBatch) {
            std::vector<PageShape> shapes;
            const int end = std::min(count, first + kBatch);
            shapes.reserve(size_t(end - first));
            for (int i = first; i < end && !stop->load(); ++i)
                shapes.push_back(pageShape(document->page(i)));
            platform::runOnMain([view, generation, first, shapes = std::move(shapes), last = end == count] {
                if (view)
                    view->takePageShapes(generation, first, shapes, last);
            });
        }
    });
}

void PdfView::takePageShapes(quint64 generation, int first, const std::vector<PageShape> &shapes, bool last)
{
    if (generation != m_shapeGeneration || size_t(first) + shapes.size() > m_pageSizes.size())
        return;
    bool resized = false;
    for (size_t k = 0; k < shapes.size(); ++k) {
        const size_t i = size_t(first) + k;
        resized = resized || shapes[k].size != m_pageSizes[i];
        m_pageSizes[i] = shapes[k].size;
        m_pageToDisplay[i] = shapes[k].toDisplay;
        m_displayToPage[i] = shapes[k].toPage;
    }
    if (last) {
        m_pageShapesPending = false;
        m_shapeReading.reset();
    }
    if (resized)
        relayoutKeepingPlace();
    else
        viewport()->update();
}

// ---------------------------------------------------------------- zoom

void PdfView::setAutoScales(bool on)
{
    m_autoScales = on;
    if (!on)
        return;
    const double scale = std::clamp(scaleFactorForSizeToFit(), m_minScale, m_maxScale);
    if (std::abs(scale - m_scale) > 1e-9) {
        m_scale = scale;
        relayout(QPointF(0, 0));
        emit scaleChanged();
    }
}

void PdfView::setScaleFactor(double scale)
{
    setScaleFactor(scale, QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0));
}

void PdfView::setScaleFactor(double scale, QPointF anchor)
{
    m_autoScales = false;
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, m_minScale, m_maxScale);
    if (std::abs(scale - m_scale) < 1e-9)
        return;
    m_scale = scale;
    relayout(anchor);
    emit scaleChanged();
}

void PdfView::setMinScaleFactor(double scale)
{
    m_minScale = std::min(scale, m_maxScale);
    if (m_scale < m_minScale)
        setScaleFactor(m_minScale);
}

void PdfView::setMaxScaleFactor(double scale)
{
    m_maxScale = std::max(scale, m_minScale);
    if (m_scale > m_maxScale)
        setScaleFactor(m_maxScale);
}

double PdfView::scaleFactorForSizeToFit() const
{
    const double widest = m_layout.widestPage();
    if (widest <= 0)
        return m_scale;
    return (viewport()->width() - 2 * PageLayout::kSideMargin) / (widest * screenPointPixels());
}

double PdfView::screenPointPixels() const
{
    const double dpi = logicalDpiX();
    return dpi > 0 ? dpi / 72.0 : 1.0;
}

void PdfView::zoomBy(double factor, QPointF anchor)
{
    if (std::isfinite(factor) && factor > 0)
        setScaleFactor(m_scale * factor, anchor);
}

// ---------------------------------------------------------------- layout

void PdfView::relayout(std::optional<QPointF> anchor)
{
    // Keep the page point under the anchor where it is.
    int page = -1;
    QPointF offsetInPage;
    if (anchor && m_layout.pageCount() > 0) {
        const QPointF doc = *anchor + scrollOffset();
        page = m_layout.nearestPage(doc);
        offsetInPage = (doc - m_layout.pageRect(page).topLeft()) / m_layout.scale();
    }
    m_layout.layout(m_pageSizes, pixelsPerPoint(), viewport()->width());
    updateScrollBars();
    if (page >= 0) {
        const QPointF doc = m_layout.pageRect(page).topLeft() + offsetInPage * m_layout.scale();
        scrollDocumentTo(doc - *anchor);
    }
    updateCurrentPage();
    viewport()->update();
}

void PdfView::relayoutKeepingPlace()
{
    // The page being read stays where it is on screen, at the same point of
    // it, however the pages before it grew or shrank.
    const int page = m_currentPage;
    QPointF offsetInPage;
    if (page >= 0 && page < m_layout.pageCount())
        offsetInPage = (scrollOffset() - m_layout.pageRect(page).topLeft()) / m_layout.scale();
    m_layout.layout(m_pageSizes, pixelsPerPoint(), viewport()->width());
    bool scaled = false;
    if (m_autoScales) {
        const double scale = std::clamp(scaleFactorForSizeToFit(), m_minScale, m_maxScale);
        if (std::abs(scale - m_scale) > 1e-9) {
            m_scale = scale;
            m_layout.layout(m_pageSizes, pixelsPerPoint(), viewport()->width());
            scaled = true;
        }
    }
    updateScrollBars();
    if (page >= 0 && page < m_layout.pageCount()) {
        m_programmaticScroll = true;
        scrollDocumentTo(m_layout.pageRect(page).topLeft() + offsetInPage * m_layout.scale());
        m_programmaticScroll = false;
    }
    viewport()->update();
    if (scaled)
        emit scaleChanged();
}

void PdfView::layoutDocumentView()
{
    relayout(QPointF(0, 0));
}

void PdfView::updateScrollBars()
{
    const QSizeF doc = m_layout.documentSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(doc.width())) - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(doc.height())) - view.height()));
    verticalScrollBar()->setPageStep(view.height());
}

void PdfView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // The program's raster budget follows the area the views show.
    m_rasters->setShownArea((QSizeF(viewport()->size()) * viewport()->devicePixelRatioF()).toSize());
    if (m_autoScales) {
        const double scale = std::clamp(scaleFactorForSizeToFit(), m_minScale, m_maxScale);
        const bool changed = std::abs(scale - m_scale) > 1e-9;
        m_scale = scale;
        relayout(QPointF(0, 0));
        if (changed)
            emit scaleChanged();
    } else {
        relayout(QPointF(0, 0));
    }
}

QPointF PdfView::scrollOffset() const
{
    return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QRectF PdfView::documentVisibleRect() const
{
    return QRectF(scrollOffset(), QSizeF(viewport()->size()));
}

QPointF PdfView::convertPointToDocument(QPointF viewPoint) const
{
    return viewPoint + scrollOffset();
}

void PdfView::scrollDocumentTo(QPointF documentPoint)
{
    horizontalScrollBar()->setValue(int(std::lround(documentPoint.x())));
    verticalScrollBar()->setValue(int(std::lround(documentPoint.y())));
}

void PdfView::scrollContentsBy(int, int)
{
    viewport()->update();
    if (!m_programmaticScroll)
        updateCurrentPage();
}

void PdfView::scrollBy(double dx, double dy)
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(std::lround(dx)));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + int(std::lround(dy)));
}

// ---------------------------------------------------------------- pages

void PdfView::updateCurrentPage()
{
    if (m_layout.pageCount() == 0)
        return;
    // The page a quarter down the view is the one being read.
    const QPointF probe(viewport()->width() / 2.0, viewport()->height() / 4.0);
    setCurrentPageIndex(m_layout.nearestPage(convertPointToDocument(probe)));
}

void PdfView::setCurrentPageIndex(int index)
{
    if (index == m_currentPage)
        return;
    m_currentPage = index;
    emit pageChanged();
}

int PdfView::pageForPoint(QPointF viewPoint, bool nearest) const
{
    const QPointF doc = convertPointToDocument(viewPoint);
    return nearest ? m_layout.nearestPage(doc) : m_layout.pageAt(doc);
}

QPointF PdfView::convertPointToPage(QPointF viewPoint, int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= m_layout.pageCount())
        return {};
    const QPointF display = (convertPointToDocument(viewPoint) - m_layout.pageRect(pageIndex).topLeft()) / m_layout.scale();
    return m_displayToPage[size_t(pageIndex)].map(display);
}

QPointF PdfView::convertPointFromPage(QPointF pagePoint, int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= m_layout.pageCount())
        return {};
    const QPointF display = m_pageToDisplay[size_t(pageIndex)].map(pagePoint);
    return m_layout.pageRect(pageIndex).topLeft() + display * m_layout.scale() - scrollOffset();
}

QRectF PdfView::convertRectFromPage(const QRectF &pageRect, int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= m_layout.pageCount())
        return {};
    const QRectF display = m_pageToDisplay[size_t(pageIndex)].mapRect(pageRect);
    return QRectF(m_layout.pageRect(pageIndex).topLeft() + display.topLeft() * m_layout.scale() - scrollOffset(),
                  display.size() * m_layout.scale());
}

// ---------------------------------------------------------------- navigation

void PdfView::goToPage(int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= m_layout.pageCount())
        return;
    m_programmaticScroll = true;
    verticalScrollBar()->setValue(int(m_layout.pageRect(pageIndex).top() - PageLayout::kPageGap / 2));
    showLeftEdge(pageIndex);
    m_programmaticScroll = false;
    setCurrentPageIndex(pageIndex);
}

void PdfView::showLeftEdge(int pageIndex)
{
    // A page wider than the view is read from its left edge: its first
    // column.
    const double left = m_layout.pageRect(pageIndex).left();
    const int x = horizontalScrollBar()->value();
    if (left < x || left > x + viewport()->width())
        horizontalScrollBar()->setValue(int(std::max(0.0, left - PageLayout::kSideMargin)));
}

void PdfView::goToDestination(const engine::PdfDestination &destination)
{
    const int pageIndex = destination.pageIndex;
    if (pageIndex < 0 || pageIndex >= m_layout.pageCount())
        return;
    if (!destination.x && !destination.y) {
        goToPage(pageIndex);
        return;
    }
    // An unnamed height is the page's top; with no horizontal place, the
    // page's left edge comes into view, as for a page jumped to.
    const QRectF display(QPointF(0, 0), m_pageSizes[size_t(pageIndex)]);
    const QPointF topLeft = m_displayToPage[size_t(pageIndex)].map(QPointF(0, 0));
    const QPointF target(destination.x.value_or(topLeft.x()), destination.y.value_or(topLeft.y()));
    QPointF inPage = m_pageToDisplay[size_t(pageIndex)].map(target);
    inPage.setX(std::clamp(inPage.x(), 0.0, display.width()));
    inPage.setY(std::clamp(inPage.y(), 0.0, display.height()));
    QPointF doc = m_layout.pageRect(pageIndex).topLeft() + inPage * m_layout.scale();
    // A point on the page's top or left edge (what currentDestination tells
    // at a page's top) shows the gap and margin there, as a page jumped to
    // does: the view comes back to where it was.
    if (inPage.y() <= 0)
        doc.ry() -= PageLayout::kPageGap / 2;
    if (inPage.x() <= 0)
        doc.rx() = std::max(0.0, doc.x() - PageLayout::kSideMargin);
    // A point that the view shows, with room after it, beside the page's
    // left edge is shown so: the page is read from its left margin, not
    // from the point (a heading in the left column of a page wider than
    // the view).
    const double leftEdge = std::max(0.0, m_layout.pageRect(pageIndex).left() - PageLayout::kSideMargin);
    m_programmaticScroll = true;
    verticalScrollBar()->setValue(int(std::lround(doc.y())));
    if (!destination.x)
        showLeftEdge(pageIndex);
    else if (doc.x() <= leftEdge + viewport()->width() * 3 / 4.0)
        horizontalScrollBar()->setValue(int(std::lround(leftEdge)));
    else
        horizontalScrollBar()->setValue(int(std::lround(doc.x())));
    m_programmaticScroll = false;
    setCurrentPageIndex(pageIndex);
}

void PdfView::goToSelection(const engine::PdfSelection &selection)
{
    if (!m_document || selection.document() != m_document || selection.isEmpty())
        return;
    const engine::PdfPage page = selection.pages().front();
    const QRectF bounds = convertRectFromPage(selection.bounds(page), page.index());
    const QRectF visible(QPointF(0, 0), QSizeF(viewport()->size()));
    if (visible.contains(bounds))
        return;
    // Bring it to a third down the view, and across only when it is out of
    // sight across.
    QPointF doc = convertPointToDocument(bounds.topLeft());
    QPointF target(scrollOffset().x(), doc.y() - viewport()->height() / 3.0);
    if (bounds.left() < 0 || bounds.right() > visible.right())
        target.setX(doc.x() - PageLayout::kSideMargin);
    scrollDocumentTo(target);
}

std::optional<engine::PdfDestination> PdfView::currentDestination() const
{
    if (m_currentPage < 0 || m_currentPage >= m_layout.pageCount())
        return std::nullopt;
    // The top left of the view on the current page, kept inside the page.
    const QRectF rect = m_layout.pageRect(m_currentPage);
    QPointF display = (scrollOffset() - rect.topLeft()) / m_layout.scale();
    const QSizeF size = m_pageSizes[size_t(m_currentPage)];
    display.setX(std::clamp(display.x(), 0.0, size.width()));
    display.setY(std::clamp(display.y(), 0.0, size.height()));
    return engine::PdfDestination(m_currentPage, m_displayToPage[size_t(m_currentPage)].map(display));
}

// ---------------------------------------------------------------- selections

void PdfView::setCurrentSelection(const engine::PdfSelection &selection, bool animate)
{
    // A selection made elsewhere is extended from its own start.
    m_anchorPage = -1;
    applySelection(selection, animate);
}

void PdfView::applySelection(const engine::PdfSelection &selection, bool animate)
{
    const bool changed = m_marks.setSelection(selection);
    if (animate && !m_marks.selection().isEmpty()) {
        m_selectionPulse->stop();
        m_selectionPulse->start();
    }
    viewport()->update();
    if (changed)
        emit selectionChanged();
}

std::optional<engine::PdfSelection> PdfView::currentSelection() const
{
    if (m_marks.selection().isEmpty())
        return std::nullopt;
    return m_marks.selection();
}

void PdfView::clearSelection()
{
    m_anchorPage = -1;
    setCurrentSelection({});
}

void PdfView::setMarkedPassage(const engine::PdfSelection &passage)
{
    if (m_marks.setPassage(passage))
        viewport()->update();
}

void PdfView::setHighlightedSelections(const std::vector<engine::PdfSelection> &selections)
{
    if (m_marks.setHighlights(selections))
        viewport()->update();
}

const engine::PdfPageText *PdfView::cachedText(int pageIndex)
{
    if (const auto *text = m_texts.object(pageIndex))
        return text->get();
    m_rasters->requestPageContents(pageIndex);
    return nullptr;
}

// ---------------------------------------------------------------- painting

void PdfView::setBackgroundColor(const QColor &color)
{
    m_background = color;
    viewport()->update();
}

void PdfView::setViewTransform(const QTransform &transform)
{
    m_viewTransform = transform;
    viewport()->update();
}

QPointF PdfView::viewPointFromWidget(QPointF widgetPoint) const
{
    if (m_viewTransform.isIdentity())
        return widgetPoint;
    return m_viewTransform.inverted().map(widgetPoint);
}

double PdfView::deviceScale() const
{
    return m_layout.scale() * viewport()->devicePixelRatioF();
}

void PdfView::addFadeTransition(const QString &key, double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return;
    m_fade->stop();
    m_fadeSnapshot = viewport()->grab();
    m_fadeKey = key;
    m_fade->setDuration(int(std::lround(seconds * 1000)));
    m_fade->start();
}

bool PdfView::isTransitionRunning(const QString &key) const
{
    return m_fade->state() == QAbstractAnimation::Running && m_fadeKey == key;
}

void PdfView::paintEvent(QPaintEvent *)
{
    m_rasters->beginFrame();
    QPainter painter(viewport());
    if (m_background.alpha() > 0)
        painter.fillRect(viewport()->rect(), m_background);

    QSet<RasterTileKey> wanted;
    if (m_document && m_layout.pageCount() > 0) {
        painter.setTransform(m_viewTransform);
        const QRectF viewRect = m_viewTransform.inverted().mapRect(QRectF(viewport()->rect()));
        const QRectF visible = viewRect.translated(scrollOffset());
        painter.translate(-scrollOffset());
        const PagePainter pages(m_layout, *m_rasters, deviceScale());
        const auto [first, last] = m_layout.pagesInBand(visible.top(), visible.bottom());
        for (int i = first; i >= 0 && i <= last; ++i)
            pages.drawPage(painter, i, visible, wanted, 1);
        const double pulse = m_selectionPulse->state() == QAbstractAnimation::Running
                                 ? m_selectionPulse->currentValue().toDouble()
                                 : 0.0;
        const auto text = [this](int page) { return cachedText(page); };
        for (int i = first; i >= 0 && i <= last; ++i)
            pages.drawMarks(painter, i, m_pageToDisplay[size_t(i)], m_marks.marksOf(i, m_document, text), pulse);
        pages.requestAround(visible, wanted);
    }
    m_rasters->keepOnly(wanted);

    if (!m_fadeSnapshot.isNull()) {
        painter.resetTransform();
        painter.setOpacity(m_fade->currentValue().toDouble());
        painter.drawPixmap(0, 0, m_fadeSnapshot);
    }
}

bool PdfView::isSharp() const
{
    if (!m_document)
        return true;
    return PagePainter(m_layout, *m_rasters, deviceScale()).isSharp(documentVisibleRect());
}

void PdfView::reloadPageContents()
{
    m_links.clear();
    m_rasters->invalidate();
    viewport()->update();
}

void PdfView::reloadPageContents(int pageIndex)
{
    m_links.remove(pageIndex);
    m_rasters->invalidatePage(pageIndex);
    viewport()->update();
}

// ---------------------------------------------------------------- links

void PdfView::setLinks(int pageIndex, std::vector<engine::PdfAnnotation> annotations) const
{
    std::vector<Link> links;
    for (engine::PdfAnnotation &annotation : annotations) {
        auto destination = linkDestination(annotation, m_document->pageCount());
        links.push_back({pageIndex, std::move(annotation), std::move(destination)});
    }
    m_links.insert(pageIndex, std::move(links));
}

std::optional<PdfView::Link> PdfView::linkAt(QPointF viewPoint, bool readNow) const
{
    if (!m_document)
        return std::nullopt;
    const int pageIndex = pageForPoint(viewPoint, false);
    if (pageIndex < 0)
        return std::nullopt;
    if (!m_links.contains(pageIndex)) {
        if (!readNow) {
            m_rasters->requestPageContents(pageIndex);
            return std::nullopt;
        }
        setLinks(pageIndex, linkAnnotations(*m_document, pageIndex));
    }
    const auto it = m_links.constFind(pageIndex);
    const QPointF point = convertPointToPage(viewPoint, pageIndex);
    for (const Link &link : it.value()) {
        if (link.annotation.bounds.contains(point))
            return link;
    }
    return std::nullopt;
}

bool PdfView::isOpenableWebLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"https" || scheme == u"http" || scheme == u"mailto");
}

void PdfView::followLink(const Link &link)
{
    if (link.destination && link.destination->hasPage()) {
        goToDestination(*link.destination);
        return;
    }
    const QUrl url(link.annotation.uri.trimmed());
    if (isOpenableWebLink(url))
        openWebLink(url);
}

void PdfView::openWebLink(const QUrl &url)
{
    platform::openInDefaultApplication(url);
}

void PdfView::offerPrimarySelection(const QString &text)
{
    platform::setPrimarySelectionText(text);
}

// ---------------------------------------------------------------- input

bool PdfView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomBy(1.0 + gesture->value(), viewPointFromWidget(gesture->position()));
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PdfView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_document) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    emit documentPressed();
    const QPointF point = viewPointFromWidget(event->position());
    // Clicks are counted by the times their events carry: a double click is
    // always a second click, and a press soon after it near the same point a
    // third one.
    const bool near = (point - m_lastClickPoint).manhattanLength() <= QApplication::startDragDistance();
    const bool again = event->type() == QEvent::MouseButtonDblClick
                       || (m_lastClickTime && near
                           && event->timestamp() - *m_lastClickTime < quint64(QApplication::doubleClickInterval()));
    m_clickCount = again ? m_clickCount + 1 : 1;
    m_lastClickTime = event->timestamp();
    m_lastClickPoint = point;

    const bool extend = event->modifiers() & Qt::ShiftModifier;
    if (m_clickCount == 1 && !extend) {
        if (auto link = linkAt(point, true)) {
            m_pressedLink = link;
            return;
        }
    }
    m_pressedLink.reset();
    selectAt(point, m_clickCount, extend);
}

void PdfView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Counted by mousePressEvent, so that a third click selects the line.
    mousePressEvent(event);
}

void PdfView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF point = viewPointFromWidget(event->position());
    if ((event->buttons() & Qt::LeftButton) && m_selecting)
        dragSelectionTo(point);
    else if (!(event->buttons() & Qt::LeftButton))
        updateCursor(point);
}

void PdfView::mouseReleaseEvent(QMouseEvent *event)
{
    m_selecting = false;
    m_autoScroll->stop();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (!m_pressedLink && !m_marks.selection().isEmpty())
        offerPrimarySelection(m_marks.selection().string());
    if (m_pressedLink) {
        const Link link = *m_pressedLink;
        m_pressedLink.reset();
        const auto under = linkAt(viewPointFromWidget(event->position()));
        if (under && under->page == link.page && under->annotation.handle == link.annotation.handle)
            followLink(link);
    }
}

void PdfView::selectAt(QPointF viewPoint, int clickCount, bool extend)
{
    const int pageIndex = pageForPoint(viewPoint, true);
    if (pageIndex < 0)
        return;
    const engine::PdfPage page = m_document->page(pageIndex);
    const QPointF point = convertPointToPage(viewPoint, pageIndex);
    m_selecting = false;
    if (clickCount >= 3) {
        applySelection(page.selectionForLine(point));
        return;
    }
    if (clickCount == 2) {
        applySelection(page.selectionForWord(point));
        return;
    }
    if (extend && m_anchorPage < 0 && !m_marks.selection().isEmpty()) {
        // Extend a selection made elsewhere from its start.
        const engine::PdfPage first = m_marks.selection().pages().front();
        const auto ranges = m_marks.selection().ranges(first);
        m_anchorPage = first.index();
        m_anchorPoint = first.characterBounds(ranges.front().location).center();
    }
    m_selecting = true;
    if (extend && m_anchorPage >= 0) {
        dragSelectionTo(viewPoint);
        return;
    }
    m_anchorPage = pageIndex;
    m_anchorPoint = point;
    applySelection({});
}

void PdfView::dragSelectionTo(QPointF viewPoint)
{
    if (m_anchorPage < 0 || !m_document)
        return;
    // Dragging beyond the top or bottom edge scrolls, also while the
    // pointer rests there.
    m_lastDragPoint = viewPoint;
    const double beyond = viewPoint.y() < 0 ? viewPoint.y()
                          : viewPoint.y() > viewport()->height() ? viewPoint.y() - viewport()->height()
                                                                 : 0.0;
    if (beyond != 0) {
        scrollBy(0, std::clamp(beyond / 2, -60.0, 60.0));
        if (!m_autoScroll->isActive())
            m_autoScroll->start();
    } else {
        m_autoScroll->stop();
    }
    const int pageIndex = pageForPoint(viewPoint, true);
    if (pageIndex < 0)
        return;
    const QPointF point = convertPointToPage(viewPoint, pageIndex);
    applySelection(m_document->selection(m_document->page(m_anchorPage), m_anchorPoint,
                                              m_document->page(pageIndex), point));
}

void PdfView::updateCursor(QPointF viewPoint)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (linkAt(viewPoint)) {
        shape = Qt::PointingHandCursor;
    } else if (const int pageIndex = pageForPoint(viewPoint, false); pageIndex >= 0) {
        if (isOverText(pageIndex, convertPointToPage(viewPoint, pageIndex)))
            shape = Qt::IBeamCursor;
    }
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

bool PdfView::isOverText(int pageIndex, QPointF pagePoint)
{
    const engine::PdfPageText *text = cachedText(pageIndex);
    if (!text)
        return false;
    const auto &boxes = text->boxes;
    return std::any_of(boxes.begin(), boxes.end(), [pagePoint](const QRectF &box) { return box.contains(pagePoint); });
}

void PdfView::wheelEvent(QWheelEvent *event)
{
    const QPointF point = viewPointFromWidget(event->position());
    if (event->modifiers() & Qt::ControlModifier) {
        const double notches = event->angleDelta().y() / 120.0;
        zoomBy(std::pow(1.2, notches), point);
        event->accept();
        return;
    }
    QPointF delta = event->pixelDelta();
    if (delta.isNull())
        delta = QPointF(event->angleDelta()) / 120.0 * 60.0;
    if (event->modifiers() & Qt::ShiftModifier && delta.x() == 0)
        delta = QPointF(delta.y(), 0);
    scrollBy(-delta.x(), -delta.y());
    event->accept();
}

void PdfView::keyPressEvent(QKeyEvent *event)
{
    const double line = 40;
    const double page = std::max(40.0, viewport()->height() - 40.0);
    if (event->matches(QKeySequence::Undo)) {
        if (QUndoStack *stack = undoManager())
            stack->undo();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        if (QUndoStack *stack = undoManager())
            stack->redo();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up: scrollBy(0, -line); break;
    case Qt::Key_Down: scrollBy(0, line); break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // A page that fits across turns, as the dock's buttons say; a
        // wider one pans.
        const bool forward = event->key() == Qt::Key_Right;
        if (m_currentPage < 0 || m_layout.pageRect(m_currentPage).width() > viewport()->width())
            scrollBy(forward ? line : -line, 0);
        else if (const int next = m_currentPage + (forward ? 1 : -1); next >= 0 && next < m_layout.pageCount())
            goToPage(next);
        break;
    }
    case Qt::Key_PageUp: scrollBy(0, -page); break;
    case Qt::Key_PageDown: scrollBy(0, page); break;
    case Qt::Key_Space: scrollBy(0, event->modifiers() & Qt::ShiftModifier ? -page : page); break;
    case Qt::Key_Home: verticalScrollBar()->setValue(0); break;
    case Qt::Key_End: verticalScrollBar()->setValue(verticalScrollBar()->maximum()); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

QUndoStack *PdfView::undoManager() const
{
    return m_undoStack.get();
}

} // namespace folvan::pdfview
