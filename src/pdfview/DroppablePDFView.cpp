#include "pdfview/DroppablePDFView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUndoStack>

#include "engine/PdfDocument.h"
#include "pdfview/WatchedWidget.h"
#include "platform/Queues.h"

namespace folvan::pdfview {

namespace {

// The file URLs of a drag; none when it carries no URL at all.
std::optional<QList<QUrl>> draggedFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    QList<QUrl> files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

bool isPDFFile(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).suffix().toLower() == u"pdf";
}

} // namespace

DroppablePDFView::DroppablePDFView(QWidget *parent)
    : PdfView(parent)
{
}

DroppablePDFView::~DroppablePDFView()
{
    stopReferenceTracking();
}

void DroppablePDFView::setReferencePreview(std::unique_ptr<ReferencePreview> preview)
{
    if (m_referencePreview)
        m_referencePreview->dismiss();
    m_referencePreview = std::move(preview);
}

QUndoStack *DroppablePDFView::undoManager() const
{
    if (m_readingUndoManager)
        return m_readingUndoManager;
    return PdfView::undoManager();
}

std::optional<engine::PdfDestination> DroppablePDFView::currentDestination() const
{
    return PdfView::currentDestination();
}

std::optional<engine::PdfSelection> DroppablePDFView::currentSelection() const
{
    return PdfView::currentSelection();
}

// ---------------------------------------------------------------- hover

bool DroppablePDFView::event(QEvent *event)
{
    const bool handled = PdfView::event(event);
    // Taken into a window (or shown as one): follow the pointer there.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        movedToWindow();
    return handled;
}

void DroppablePDFView::movedToWindow()
{
    stopReferenceTracking();
    const bool inWindow = parentWidget() != nullptr || isVisible();
    if (!inWindow)
        return;
    viewport()->setMouseTracking(true);
    qApp->installEventFilter(this);
    m_hoverMonitor = true;
}

void DroppablePDFView::stopReferenceTracking()
{
    if (m_hoverMonitor)
        qApp->removeEventFilter(this);
    m_hoverMonitor = false;
    if (m_referencePreview)
        m_referencePreview->dismiss();
}

bool DroppablePDFView::eventFilter(QObject *watched, QEvent *event)
{
    trackHover(watched, event);
    // The event always goes on to its target.
    return false;
}

PreviewEffect previewEffect(const QWidget *view, QObject *watched, const QEvent *event)
{
    // Every event of the application comes here, some for objects still
    // being made or taken apart (a focus change inside the web engine's
    // scene): the event's type is read first, and the object is asked
    // about itself only where its kind matters.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto button = static_cast<const QMouseEvent *>(event)->button();
        return button == Qt::LeftButton || button == Qt::RightButton ? PreviewEffect::close : PreviewEffect::none;
    }
    // A key that is a shortcut of the window reaches no widget as a key
    // press: its override question does.
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::NativeGesture:
        return PreviewEffect::close;
    // Out of the view, also where no widget of the window takes the move.
    case QEvent::Leave:
        return watched == view ? PreviewEffect::close : PreviewEffect::none;
    case QEvent::MouseMove: {
        const QWidget *widget = watchedWidget(watched);
        if (!widget)
            return PreviewEffect::none;
        if (widget->window() != view->window() || !view->isVisible())
            return PreviewEffect::close;
        const QPoint global = static_cast<const QMouseEvent *>(event)->globalPosition().toPoint();
        return view->rect().contains(view->mapFromGlobal(global)) ? PreviewEffect::within : PreviewEffect::close;
    }
    default:
        return PreviewEffect::none;
    }
}

void DroppablePDFView::trackHover(QObject *watched, QEvent *event)
{
    if (!m_referencePreview)
        return;
    const auto dismiss = [this] { m_referencePreview->dismiss(); };
    switch (previewEffect(this, watched, event)) {
    case PreviewEffect::none:
        return;
    case PreviewEffect::close:
        return dismiss();
    case PreviewEffect::within:
        break;
    }
    const QPoint global = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
    const QPointF point = viewPointFromWidget(viewport()->mapFromGlobal(global));
    const int pageIndex = pageForPoint(point, false);
    if (pageIndex < 0)
        return dismiss();
    const auto link = linkAt(point);
    const QRectF anchor = link ? viewTransform().mapRect(convertRectFromPage(link->annotation.bounds, pageIndex))
                               : QRectF();
    m_referencePreview->hover(link ? std::optional(link->annotation) : std::nullopt, document(), anchor, this);
}

// ---------------------------------------------------------------- clicks

void DroppablePDFView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const QPointF point = viewPointFromWidget(event->position());
        if (pageForPoint(point, false) >= 0) {
            if (const auto link = linkAt(point, true); link && link->destination) {
                // A link within the paper goes through the pane's navigation,
                // never through the view's own link handling.
                if (m_onInternalLink)
                    m_onInternalLink(*link->destination);
                event->accept();
                return;
            }
        }
    }
    PdfView::mousePressEvent(event);
}

// ---------------------------------------------------------------- drops

void DroppablePDFView::registerForDraggedFiles()
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

std::optional<QUrl> DroppablePDFView::firstPDFFile(const QMimeData *data)
{
    const auto files = draggedFiles(data);
    if (!files)
        return std::nullopt;
    for (const QUrl &url : *files) {
        if (isPDFFile(url))
            return url;
    }
    return std::nullopt;
}

Qt::DropAction DroppablePDFView::dragOperation(const QMimeData *data)
{
    return firstPDFFile(data) ? Qt::CopyAction : Qt::IgnoreAction;
}

bool DroppablePDFView::performDrop(const QMimeData *data)
{
    const auto file = firstPDFFile(data);
    if (!file)
        return false;
    // After the drag has finished, not inside it.
    QPointer<DroppablePDFView> self(this);
    platform::runOnMain(this, [self, url = *file] {
        if (self && self->m_onDropPDF)
            self->m_onDropPDF(url);
    });
    return true;
}

void DroppablePDFView::dragEnterEvent(QDragEnterEvent *event)
{
    // Accepted either way so that the moves of the drag arrive; the offered
    // operation says whether the drop would be taken.
    event->setDropAction(dragOperation(event->mimeData()));
    event->accept();
}

void DroppablePDFView::dragMoveEvent(QDragMoveEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DroppablePDFView::dropEvent(QDropEvent *event)
{
    if (performDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace folvan::pdfview
