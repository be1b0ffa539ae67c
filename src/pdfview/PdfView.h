#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractScrollArea>
#include <QCache>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTransform>
#include <QUrl>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDestination.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"
#include "pdfview/PageLayout.h"
#include "pdfview/PageSelections.h"
#include "platform/ReaderPreferences.h"

class QTimer;
class QUndoStack;
class QVariantAnimation;

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::pdfview {

class PageRasterCache;

// A continuous page view of a PDF: single pages one below the other,
// scrolled vertically, zoomed between a minimum and a maximum scale factor
// (by default the reading zoom's range).
// Pages are drawn from rasters made off the main thread; until a sharp
// raster is ready, a raster of the page at another zoom is shown scaled, or
// the blank page.
//
// "View points" are in the view's own coordinates before its view transform
// (the widget's pixels when the transform is the identity); "page points"
// are in the page's PDF user space; "document points" are in the scrolled
// document (see PageLayout).
//
// The view keeps the widget, the layout, the coordinates, links and input;
// a PagePainter draws each frame and PageSelections keeps the text marks.
// The view knows nothing of the application's models: it reports changes
// through its signals.
class PdfView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A link annotation of a page, with where it leads: a place in the
    // document (when it names a page) or a web address.
    struct Link {
        int page = -1;
        engine::PdfAnnotation annotation;
        std::optional<engine::PdfDestination> destination;
    };

    // Whether a web address may be handed to the browser: https, http and
    // mailto only.
    static bool isOpenableWebLink(const QUrl &url);

    explicit PdfView(QWidget *parent = nullptr);
    ~PdfView() override;

    // The document. Setting a new one resets the selection and the
    // highlights and shows its first page.
    std::shared_ptr<engine::PdfDocument> document() const { return m_document; }
    void setDocument(std::shared_ptr<engine::PdfDocument> document);

    // Zoom. With auto-scaling on, the scale follows the view's width so that
    // the widest page fits; setting a scale factor turns it off.
    bool autoScales() const { return m_autoScales; }
    void setAutoScales(bool on);
    double scaleFactor() const { return m_scale; }
    // Clamped to the minimum and maximum; keeps the point under `anchor`
    // (a view point; the view's centre by default) in place.
    void setScaleFactor(double scale);
    void setScaleFactor(double scale, QPointF anchor);
    void setMinScaleFactor(double scale);
    void setMaxScaleFactor(double scale);
    // The scale at which the widest page fits the view's width.
    double scaleFactorForSizeToFit() const;
    // One point in view pixels at scale 1: the screen's logical DPI / 72,
    // so that scale 1 shows a page at its printed size.
    double screenPointPixels() const;
    // View pixels per page point at the current scale.
    double pixelsPerPoint() const { return m_scale * screenPointPixels(); }

    // Navigation. goToPage shows the page's top and, when it is out of
    // view, its left edge; goToDestination puts the destination's point at
    // the top of the view (the page's top when it names no point), and
    // across shows the page from its left edge when the point is in the
    // left three quarters of the view so, else puts the point at the left
    // (with no horizontal place, the left edge as goToPage);
    // goToSelection brings the selection's first page part into view.
    void goToPage(int pageIndex);
    void goToDestination(const engine::PdfDestination &destination);
    void goToSelection(const engine::PdfSelection &selection);
    // The page being read (-1 without a document) and the place at the top
    // left of the view.
    int currentPageIndex() const { return m_currentPage; }
    std::optional<engine::PdfDestination> currentDestination() const;

    // The user's text selection; none when nothing is selected.
    std::optional<engine::PdfSelection> currentSelection() const;
    void setCurrentSelection(const engine::PdfSelection &selection, bool animate = false);
    void clearSelection();
    // Selections drawn as highlights (search matches), apart from the
    // current selection.
    const std::vector<engine::PdfSelection> &highlightedSelections() const { return m_marks.highlights(); }
    void setHighlightedSelections(const std::vector<engine::PdfSelection> &selections);
    // A passage marked in its own colour (the place a jump went to); an
    // empty selection marks none.
    const engine::PdfSelection &markedPassage() const { return m_marks.passage(); }
    void setMarkedPassage(const engine::PdfSelection &passage);

    // Geometry. pageForPoint gives the page under a view point, or with
    // `nearest` the closest page; -1 when there is none.
    int pageForPoint(QPointF viewPoint, bool nearest = false) const;
    QPointF convertPointToPage(QPointF viewPoint, int pageIndex) const;
    QPointF convertPointFromPage(QPointF pagePoint, int pageIndex) const;
    QRectF convertRectFromPage(const QRectF &pageRect, int pageIndex) const;

    // The document view: the size of the scrolled document, the part of it
    // that is visible, conversion of view points into it, and scrolling it.
    QSizeF documentSize() const { return m_layout.documentSize(); }
    QRectF documentVisibleRect() const;
    QPointF convertPointToDocument(QPointF viewPoint) const;
    void scrollDocumentTo(QPointF documentPoint);
    // Lays the pages out again at once (normally done when needed).
    void layoutDocumentView();

    // The colour behind the pages; transparent shows what is behind the view.
    void setBackgroundColor(const QColor &color);

    // A cross-fade from what the view shows now to what it shows after the
    // changes that follow, `seconds` long, ease-in-ease-out. A transition
    // under the same key replaces the running one.
    void addFadeTransition(const QString &key, double seconds);
    bool isTransitionRunning(const QString &key) const;

    // The transform between the view's own coordinates and the widget:
    // painting goes through it and every event position through its inverse
    // (used for a tilted reading area).
    QTransform viewTransform() const { return m_viewTransform; }
    void setViewTransform(const QTransform &transform);
    // A widget position (of an event) as a view point.
    QPointF viewPointFromWidget(QPointF widgetPoint) const;

    // The undo stack the view reports for undo and redo.
    virtual QUndoStack *undoManager() const;

    // Draws the pages again from new rasters, for annotations that were
    // added, changed, hidden or removed; the old rasters stay on screen
    // until the new ones are ready.
    void reloadPageContents();
    // The same for one page whose annotations changed; the other pages'
    // rasters stay.
    void reloadPageContents(int pageIndex);

    // The rasters (for tests and the benchmark).
    PageRasterCache &rasterCache() const { return *m_rasters; }
    // True when every visible part of every visible page is drawn from a
    // sharp raster at the current zoom.
    bool isSharp() const;
    // True while the pages' own sizes are still being read (until then a
    // page not yet read is laid out at the first page's size).
    bool isReadingPageSizes() const { return m_pageShapesPending; }

signals:
    void pageChanged();
    void selectionChanged();
    void scaleChanged();
    // The left button went down on the document (a click, a selection or a
    // link about to be followed).
    void documentPressed();

protected:
    // Follows a link: internal ones go to their destination, web links
    // open in the browser (https, http and mailto only).
    virtual void followLink(const Link &link);
    // The link under a view point, if any. A page's links are read off the
    // main thread: until they are at hand the answer is none, unless
    // `readNow` (for a click), which reads them at once.
    std::optional<Link> linkAt(QPointF viewPoint, bool readNow = false) const;
    // Hands a web address to the default browser.
    virtual void openWebLink(const QUrl &url);
    // Offers text the user has just selected with the mouse as the
    // desktop's primary selection (middle-click paste).
    virtual void offerPrimarySelection(const QString &text);

    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // A page's displayed size (points) and the transforms between its PDF
    // user space and the displayed page (top left origin, y down).
    struct PageShape {
        QSizeF size;
        QTransform toDisplay;
        QTransform toPage;
    };
    static PageShape pageShape(const engine::PdfPage &page);
    // Reads the shapes of the pages from `from` on off the main thread.
    void readPageShapes(int from);
    void takePageShapes(quint64 generation, int first, const std::vector<PageShape> &shapes, bool last);
    void relayoutKeepingPlace();
    void relayout(std::optional<QPointF> anchor);
    void updateScrollBars();
    void updateCurrentPage();
    void setCurrentPageIndex(int index);
    QPointF scrollOffset() const;
    double deviceScale() const;
    // The page's text when it has been fetched; else asks for it and
    // answers null.
    const engine::PdfPageText *cachedText(int pageIndex);
    void setLinks(int pageIndex, std::vector<engine::PdfAnnotation> annotations) const;
    void applySelection(const engine::PdfSelection &selection, bool animate = false);
    void selectAt(QPointF viewPoint, int clickCount, bool extend);
    void dragSelectionTo(QPointF viewPoint);
    void updateCursor(QPointF viewPoint);
    bool isOverText(int pageIndex, QPointF pagePoint);
    void scrollBy(double dx, double dy);
    // Scrolls across to the page's left edge when it is out of view.
    void showLeftEdge(int pageIndex);
    void zoomBy(double factor, QPointF anchor);

    std::shared_ptr<engine::PdfDocument> m_document;
    std::vector<QSizeF> m_pageSizes;
    // Per page: PDF user space to the displayed page in points, top left
    // origin, y down; and back.
    std::vector<QTransform> m_pageToDisplay;
    std::vector<QTransform> m_displayToPage;
    // The reading of the page shapes: its generation, and its stop flag.
    quint64 m_shapeGeneration = 0;
    std::shared_ptr<std::atomic_bool> m_shapeReading;
    bool m_pageShapesPending = false;
    mutable QHash<int, std::vector<Link>> m_links;
    // Page texts fetched off the main thread, so that the pointer's shape
    // and the highlights never wait for the document.
    // The most recently used few are kept.
    QCache<int, std::shared_ptr<const engine::PdfPageText>> m_texts{64};
    PageLayout m_layout;
    std::unique_ptr<PageRasterCache> m_rasters;

    bool m_autoScales = false;
    double m_scale = 1.0;
    double m_minScale = platform::kMinZoom;
    double m_maxScale = platform::kMaxZoom;
    int m_currentPage = -1;
    bool m_programmaticScroll = false;

    // The selection, the highlights and the marked passage.
    PageSelections m_marks;
    QVariantAnimation *m_selectionPulse = nullptr;

    // Mouse selection.
    int m_anchorPage = -1;
    QPointF m_anchorPoint;
    int m_clickCount = 0;
    std::optional<quint64> m_lastClickTime; // of the last press, as its event gave it

    QPointF m_lastClickPoint;
    bool m_selecting = false;
    // Scrolls on while a selection drag is held beyond the top or bottom.
    QTimer *m_autoScroll = nullptr;
    QPointF m_lastDragPoint;
    std::optional<Link> m_pressedLink;

    QColor m_background;
    QTransform m_viewTransform;

    QString m_fadeKey;
    QPixmap m_fadeSnapshot;
    QVariantAnimation *m_fade = nullptr;

    std::unique_ptr<QUndoStack> m_undoStack;
};

} // namespace folvan::pdfview
