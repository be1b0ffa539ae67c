#include "pdfview/PdfView.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QElapsedTimer>
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
#include "pdfview/PageRasterCache.h"

namespace folvan::pdfview {

namespace {

// Colours of the text selection and of the highlighted selections; both are
// multiplied into the page so that the text stays black.
const QColor kSelectionColor(160, 200, 255);
const QColor kPassageColor(170, 232, 185);
const QColor kHighlightColor(255, 226, 60);
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
                m_highlightRects.remove(page);
                m_selectionRects.remove(page);
                m_passageRects.remove(page);
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
    m_highlights.clear();
    m_highlightsOfPage.clear();
    m_highlightRects.clear();
    const bool hadSelection = !m_selection.isEmpty();
    m_selection = {};
    m_selectionRects.clear();
    m_passage = {};
    m_passageRects.clear();

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
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum() / 2);
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

engine::PdfPage PdfView::currentPage() const
{
    if (!m_document || m_currentPage < 0)
        return {};
    return m_document->page(m_currentPage);
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
    m_programmaticScroll = false;
    setCurrentPageIndex(pageIndex);
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
    // An unnamed coordinate keeps the view where it is in that direction.
    const QRectF display(QPointF(0, 0), m_pageSizes[size_t(pageIndex)]);
    const QPointF topLeft = m_displayToPage[size_t(pageIndex)].map(QPointF(0, 0));
    const QPointF target(destination.x.value_or(topLeft.x()), destination.y.value_or(topLeft.y()));
    QPointF inPage = m_pageToDisplay[size_t(pageIndex)].map(target);
    inPage.setX(std::clamp(inPage.x(), 0.0, display.width()));
    inPage.setY(std::clamp(inPage.y(), 0.0, display.height()));
    const QPointF doc = m_layout.pageRect(pageIndex).topLeft() + inPage * m_layout.scale();
    m_programmaticScroll = true;
    if (destination.x)
        horizontalScrollBar()->setValue(int(std::lround(doc.x())));
    verticalScrollBar()->setValue(int(std::lround(doc.y())));
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
    const bool changed = !(selection == m_selection);
    if (changed) {
        m_selection = selection;
        m_selectionRects.clear();
    }
    if (animate && !m_selection.isEmpty()) {
        m_selectionPulse->stop();
        m_selectionPulse->start();
    }
    viewport()->update();
    if (changed)
        emit selectionChanged();
}

std::optional<engine::PdfSelection> PdfView::currentSelection() const
{
    if (m_selection.isEmpty())
        return std::nullopt;
    return m_selection;
}

void PdfView::clearSelection()
{
    m_anchorPage = -1;
    setCurrentSelection({});
}

void PdfView::setMarkedPassage(const engine::PdfSelection &passage)
{
    if (passage == m_passage)
        return;
    m_passage = passage;
    m_passageRects.clear();
    viewport()->update();
}

void PdfView::setHighlightedSelections(const std::vector<engine::PdfSelection> &selections)
{
    // A search hands its matches over in batches, each list the one before
    // with more at its end: only the new ones are taken in, and only the
    // pages they touch lose the marks made for them.
    const bool extends = selections.size() > m_highlights.size()
                         && std::equal(m_highlights.begin(), m_highlights.end(), selections.begin());
    if (!extends) {
        if (selections == m_highlights)
            return;
        m_highlights.clear();
        m_highlightsOfPage.clear();
        m_highlightRects.clear();
    }
    for (size_t i = m_highlights.size(); i < selections.size(); ++i) {
        m_highlights.push_back(selections[i]);
        for (const engine::PdfPage &page : selections[i].pages()) {
            m_highlightsOfPage[page.index()].push_back(i);
            m_highlightRects.remove(page.index());
        }
    }
    viewport()->update();
}

std::vector<QRectF> PdfView::lineRects(const engine::PdfPageText &text,
                                       const std::vector<engine::PdfTextRange> &ranges)
{
    // One rectangle per line piece of each range: the union of its boxes
    // (separators have empty boxes and add nothing).
    std::vector<QRectF> rects;
    const int count = int(text.boxes.size());
    for (const engine::PdfTextRange &range : ranges) {
        int at = std::max(range.location, 0);
        const int end = std::min(range.end(), count);
        while (at < end) {
            const int line = text.lineOf(at);
            const int stop = line < 0 ? at + 1 : std::clamp(text.lines[size_t(line)].range.end() + 1, at + 1, end);
            QRectF piece;
            for (int k = at; k < stop; ++k) {
                const QRectF &box = text.boxes[size_t(k)];
                if (!box.isEmpty())
                    piece = piece.isNull() ? box : piece.united(box);
            }
            if (!piece.isNull())
                rects.push_back(piece);
            at = stop;
        }
    }
    return rects;
}

const engine::PdfPageText *PdfView::cachedText(int pageIndex)
{
    if (const auto *text = m_texts.object(pageIndex))
        return text->get();
    m_rasters->requestPageContents(pageIndex);
    return nullptr;
}

const std::vector<QRectF> *PdfView::highlightRects(int pageIndex)
{
    if (const auto it = m_highlightRects.constFind(pageIndex); it != m_highlightRects.constEnd())
        return &it.value();
    const engine::PdfPageText *text = cachedText(pageIndex);
    if (!text)
        return nullptr;
    std::vector<QRectF> rects;
    for (size_t i : m_highlightsOfPage.value(pageIndex)) {
        const std::vector<QRectF> pieces = lineRects(*text, m_highlights[i].ranges(pageIndex));
        rects.insert(rects.end(), pieces.begin(), pieces.end());
    }
    return &m_highlightRects.insert(pageIndex, std::move(rects)).value();
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
    QElapsedTimer timer;
    timer.start();
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
        const auto [first, last] = m_layout.pagesInBand(visible.top(), visible.bottom());
        for (int i = first; i >= 0 && i <= last; ++i)
            paintPage(painter, i, visible, wanted, 1);
        for (int i = first; i >= 0 && i <= last; ++i)
            paintSelections(painter, i);
        requestAround(visible, wanted);
    }
    m_rasters->keepOnly(wanted);

    if (!m_fadeSnapshot.isNull()) {
        painter.resetTransform();
        painter.setOpacity(m_fade->currentValue().toDouble());
        painter.drawPixmap(0, 0, m_fadeSnapshot);
    }
    emit framePainted(timer.nsecsElapsed());
}

namespace {

// The tiles of a page raster at `deviceScale` that cover `region` (device
// pixels of the page raster).
struct TileSpan {
    int firstColumn, lastColumn, firstRow, lastRow;
};

TileSpan tilesCovering(const QRectF &region)
{
    const int t = PageRasterCache::kTileSize;
    return {int(std::floor(region.left() / t)), int(std::ceil(region.right() / t)) - 1,
            int(std::floor(region.top() / t)), int(std::ceil(region.bottom() / t)) - 1};
}

} // namespace

void PdfView::paintPage(QPainter &painter, int pageIndex, const QRectF &visible, QSet<RasterTileKey> &wanted,
                        int priority)
{
    const QRectF rect = m_layout.pageRect(pageIndex);
    const QRectF shown = rect.intersected(visible);
    if (shown.isEmpty())
        return;

    const int key = PageRasterCache::scaleKey(deviceScale());
    // View pixels per raster pixel.
    const double factor = m_layout.scale() / PageRasterCache::deviceScale(key);
    const QRectF pageRaster(QPointF(0, 0), rect.size() / factor);
    const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / factor, shown.size() / factor)
                              .intersected(pageRaster);
    const TileSpan span = tilesCovering(region);
    const int t = PageRasterCache::kTileSize;

    QRegion missing;
    std::vector<std::pair<QRectF, const QImage *>> sharp;
    for (int row = span.firstRow; row <= span.lastRow; ++row) {
        for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
            const RasterTileKey tileKey{pageIndex, key, column, row, m_rasters->epoch(pageIndex)};
            const QRectF tileRect = QRectF(column * t, row * t, t, t).intersected(pageRaster);
            const QRectF target(rect.topLeft() + tileRect.topLeft() * factor, tileRect.size() * factor);
            if (const QImage *image = m_rasters->tile(tileKey)) {
                sharp.emplace_back(QRectF(target.topLeft(), QSizeF(image->size()) * factor), image);
            } else {
                missing += target.toAlignedRect();
                wanted.insert(tileKey);
                m_rasters->request(tileKey, priority);
            }
        }
    }

    if (!missing.isEmpty()) {
        // The blank page where no sharp raster is ready (the sharp tiles
        // cover the rest; filling under them would only cost time).
        for (const QRect &part : missing)
            painter.fillRect(QRectF(part).intersected(rect), Qt::white);
        // Meanwhile, the page at the nearest zoom that is at hand, scaled
        // (or as it was before its annotations changed).
        if (const auto best = m_rasters->nearestStandIn(pageIndex, key)) {
            const auto [bestKey, bestEpoch] = *best;
            const double otherFactor = m_layout.scale() / PageRasterCache::deviceScale(bestKey);
            const QRectF otherRegion =
                QRectF((shown.topLeft() - rect.topLeft()) / otherFactor, shown.size() / otherFactor);
            const TileSpan other = tilesCovering(otherRegion);
            painter.save();
            painter.setClipRegion(missing, Qt::IntersectClip);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            for (int row = other.firstRow; row <= other.lastRow; ++row) {
                for (int column = other.firstColumn; column <= other.lastColumn; ++column) {
                    if (const QImage *image = m_rasters->tile({pageIndex, bestKey, column, row, bestEpoch})) {
                        const QRectF target(rect.topLeft() + QPointF(column * t, row * t) * otherFactor,
                                            QSizeF(image->size()) * otherFactor);
                        painter.drawImage(target, *image);
                    }
                }
            }
            painter.restore();
        }
    }
    for (const auto &[target, image] : sharp)
        painter.drawImage(target, *image);
}

void PdfView::requestAround(const QRectF &visible, QSet<RasterTileKey> &wanted)
{
    // Half a view ahead and behind, so that scrolling finds pages ready.
    const int key = PageRasterCache::scaleKey(deviceScale());
    const double factor = m_layout.scale() / PageRasterCache::deviceScale(key);
    const QRectF band = visible.adjusted(0, -visible.height() / 2, 0, visible.height() / 2);
    const auto [first, last] = m_layout.pagesInBand(band.top(), band.bottom());
    for (int i = first; i >= 0 && i <= last; ++i) {
        const QRectF rect = m_layout.pageRect(i);
        const QRectF shown = rect.intersected(band);
        const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / factor, shown.size() / factor);
        const TileSpan span = tilesCovering(region);
        for (int row = span.firstRow; row <= span.lastRow; ++row) {
            for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                const RasterTileKey tileKey{i, key, column, row, m_rasters->epoch(i)};
                if (!m_rasters->tile(tileKey) && !wanted.contains(tileKey)) {
                    wanted.insert(tileKey);
                    m_rasters->request(tileKey, 0);
                }
            }
        }
    }
}

bool PdfView::isSharp() const
{
    if (!m_document)
        return true;
    const QRectF visible = documentVisibleRect();
    const int key = PageRasterCache::scaleKey(deviceScale());
    const double factor = m_layout.scale() / PageRasterCache::deviceScale(key);
    const auto [first, last] = m_layout.pagesInBand(visible.top(), visible.bottom());
    for (int i = first; i >= 0 && i <= last; ++i) {
        const QRectF rect = m_layout.pageRect(i);
        const QRectF shown = rect.intersected(visible);
        if (shown.isEmpty())
            continue;
        const QRectF region = QRectF((shown.topLeft() - rect.topLeft()) / factor, shown.size() / factor);
        const TileSpan span = tilesCovering(region);
        for (int row = span.firstRow; row <= span.lastRow; ++row) {
            for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                if (!m_rasters->tile({i, key, column, row, m_rasters->epoch(i)}))
                    return false;
            }
        }
    }
    return true;
}

void PdfView::paintSelections(QPainter &painter, int pageIndex)
{
    const QRectF rect = m_layout.pageRect(pageIndex);
    const QTransform &toDisplay = m_pageToDisplay[size_t(pageIndex)];
    auto toDocument = [&](const QRectF &pageRect) {
        const QRectF display = toDisplay.mapRect(pageRect);
        return QRectF(rect.topLeft() + display.topLeft() * m_layout.scale(), display.size() * m_layout.scale());
    };
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    if (m_highlightsOfPage.contains(pageIndex)) {
        if (const std::vector<QRectF> *rects = highlightRects(pageIndex)) {
            for (const QRectF &bounds : *rects)
                painter.fillRect(toDocument(bounds), kHighlightColor);
        }
    }
    if (!m_passage.isEmpty() && m_passage.document() == m_document) {
        const std::vector<QRectF> *marked = nullptr;
        if (const auto it = m_passageRects.constFind(pageIndex); it != m_passageRects.constEnd())
            marked = &it.value();
        else if (const std::vector<engine::PdfTextRange> ranges = m_passage.ranges(pageIndex); ranges.empty())
            marked = &m_passageRects.insert(pageIndex, {}).value();
        else if (const engine::PdfPageText *text = cachedText(pageIndex))
            marked = &m_passageRects.insert(pageIndex, lineRects(*text, ranges)).value();
        for (const QRectF &bounds : marked ? *marked : std::vector<QRectF>())
            painter.fillRect(toDocument(bounds), kPassageColor);
    }
    const double pulse = m_selectionPulse->state() == QAbstractAnimation::Running
                             ? m_selectionPulse->currentValue().toDouble()
                             : 0.0;
    const std::vector<QRectF> *selected = nullptr;
    if (!m_selection.isEmpty() && m_selection.document() == m_document) {
        if (const auto it = m_selectionRects.constFind(pageIndex); it != m_selectionRects.constEnd())
            selected = &it.value();
        else if (const engine::PdfPageText *text = cachedText(pageIndex))
            selected = &m_selectionRects.insert(pageIndex, lineRects(*text, m_selection.ranges(pageIndex))).value();
    }
    for (const QRectF &bounds : selected ? *selected : std::vector<QRectF>()) {
        const QRectF target = toDocument(bounds);
        painter.fillRect(target, kSelectionColor);
        if (pulse > 0) {
            const double grow = 4 * pulse;
            painter.fillRect(target.adjusted(-grow, -grow, grow, grow), QColor(255, 200, 80, int(150 * pulse)));
        }
    }
    painter.restore();
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
    if (!m_pressedLink && !m_selection.isEmpty())
        offerPrimarySelection(m_selection.string());
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
    if (extend && m_anchorPage < 0 && !m_selection.isEmpty()) {
        // Extend a selection made elsewhere from its start.
        const engine::PdfPage first = m_selection.pages().front();
        const auto ranges = m_selection.ranges(first);
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
    case Qt::Key_Left: scrollBy(-line, 0); break;
    case Qt::Key_Right: scrollBy(line, 0); break;
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
