#include "book/DroppableBookWebView.h"

#include "book/BookWire.h"
#include "pdfview/DroppablePDFView.h"
#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include <algorithm>
#include <cmath>

namespace folvan::book {

DroppableBookWebView::DroppableBookWebView(QWebEngineUrlSchemeHandler *handler, QWidget *parent)
    : LocalWebView({.scheme = wire::scheme,
                    .host = wire::host,
                    .entryURL = wire::entryURL,
                    .channelObject = wire::channelObject,
                    .pageObject = wire::pageObject},
                   handler, parent)
{
    setAcceptDrops(true);
    setZoom([this](double m, QPointF) { magnify(m); });
    qApp->installEventFilter(this);
}

DroppableBookWebView::~DroppableBookWebView()
{
    qApp->removeEventFilter(this);
    if (referencePreview)
        referencePreview->dismiss();
}

// Every event of the application passes here on its way, and goes on.
bool DroppableBookWebView::eventFilter(QObject *watched, QEvent *event)
{
    if (referencePreview && pdfview::previewEffect(this, watched, event) == pdfview::PreviewEffect::close)
        referencePreview->dismiss();
    return LocalWebView::eventFilter(watched, event);
}

double DroppableBookWebView::pinchedZoom(double zoom, double m)
{
    if (!std::isfinite(m))
        return zoom;
    return std::clamp((m + 1) * zoom, platform::kMinZoom, platform::kMaxZoom);
}

std::optional<QUrl> DroppableBookWebView::droppedPDF(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls)
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).suffix().toLower() == QLatin1String("pdf"))
            return url;
    return std::nullopt;
}

void DroppableBookWebView::magnify(double m)
{
    // Nothing to zoom without a pane that follows.
    if (!onZoom)
        return;
    bookZoom = pinchedZoom(bookZoom, m);
    onZoom(bookZoom);
}

// Only PDF files are taken; the page never sees a drag.
void DroppableBookWebView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && droppedPDF(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DroppableBookWebView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls() && droppedPDF(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DroppableBookWebView::dropEvent(QDropEvent *event)
{
    const std::optional<QUrl> pdf = event->mimeData()->hasUrls() ? droppedPDF(event->mimeData()->urls()) : std::nullopt;
    if (!pdf) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (onDropPDF)
        onDropPDF(*pdf);
}

} // namespace folvan::book
