#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPointer>
#include <QUndoStack>
#include <QUrl>

#include "model/NativePDFViewInterface.h"
#include "pdfview/PdfView.h"

class QMimeData;

namespace folvan::pdfview {

// The hover preview of citation links that a page view drives: told about
// the link under the pointer (none when there is none) with its rectangle in
// the view's widget coordinates, and told to close.
class ReferencePreview {
public:
    virtual ~ReferencePreview() = default;
    virtual void hover(const std::optional<engine::PdfAnnotation> &link,
                       const std::shared_ptr<engine::PdfDocument> &document, const QRectF &anchor,
                       QWidget *view) = 0;
    virtual void dismiss() = 0;
};

// What an event anywhere in the application does to a citation preview
// over `view`: a move of the pointer within the view is left to the view's
// hover (within); a click, a key, a scroll or pinch, the pointer leaving
// the view or moving anywhere else closes the preview (close); any other
// event leaves it alone (none). Only events to widgets count: a widget
// hands its events on to windows of its own.
enum class PreviewEffect { none, within, close };
PreviewEffect previewEffect(const QWidget *view, QObject *watched, const QEvent *event);

// The pane's page view: the page view plus what a reading pane needs of it.
// A dropped PDF file is handed to onDropPDF; a click on a link to a page of
// the paper goes to onInternalLink instead of moving the view; hovering over
// a link drives the reference preview; undo and redo act on the pane's
// annotation history when readingUndoManager is set.
class DroppablePDFView : public PdfView, public model::NativePDFViewInterface {
    Q_OBJECT
    Q_INTERFACES(folvan::model::NativePDFViewInterface)
public:
    using DropHandler = std::function<void(const QUrl &file)>;
    using InternalLinkHandler = std::function<void(const engine::PdfDestination &destination)>;

    explicit DroppablePDFView(QWidget *parent = nullptr);
    ~DroppablePDFView() override;

    const DropHandler &onDropPDF() const { return m_onDropPDF; }
    void setOnDropPDF(DropHandler handler) { m_onDropPDF = std::move(handler); }
    const InternalLinkHandler &onInternalLink() const { return m_onInternalLink; }
    void setOnInternalLink(InternalLinkHandler handler) { m_onInternalLink = std::move(handler); }
    QUndoStack *readingUndoManager() const { return m_readingUndoManager; }
    void setReadingUndoManager(QUndoStack *stack) { m_readingUndoManager = stack; }

    // The preview of citation links; none until one is installed.
    ReferencePreview *referencePreview() const { return m_referencePreview.get(); }
    void setReferencePreview(std::unique_ptr<ReferencePreview> preview);

    // readingUndoManager when set, else the view's own.
    QUndoStack *undoManager() const override;

    // Stops following the pointer for the preview and closes the preview.
    void stopReferenceTracking();
    bool isTrackingReferences() const { return m_hoverMonitor; }

    // Dragging files onto the view: the operation offered when a drag
    // enters (copy when one of the files is a PDF), and the drop itself:
    // true when it holds a PDF file, whose first one is handed to onDropPDF
    // in a later main-thread turn.
    static Qt::DropAction dragOperation(const QMimeData *data);
    bool performDrop(const QMimeData *data);
    // The first file of the drag whose extension is "pdf" in any case.
    static std::optional<QUrl> firstPDFFile(const QMimeData *data);
    // Accepts drags of files from now on.
    void registerForDraggedFiles();

    // NativePDFViewInterface
    std::shared_ptr<engine::PdfDocument> shownDocument() const override { return document(); }
    std::optional<engine::PdfDestination> currentDestination() const override;
    std::optional<engine::PdfSelection> currentSelection() const override;
    int shownPageIndex() const override { return currentPageIndex(); }
    double shownScaleFactor() const override { return scaleFactor(); }
    void clearSelection() override { PdfView::clearSelection(); }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void movedToWindow();
    void trackHover(QObject *watched, QEvent *event);

    DropHandler m_onDropPDF;
    InternalLinkHandler m_onInternalLink;
    std::unique_ptr<ReferencePreview> m_referencePreview;
    QPointer<QUndoStack> m_readingUndoManager;
    bool m_hoverMonitor = false;
};

} // namespace folvan::pdfview
