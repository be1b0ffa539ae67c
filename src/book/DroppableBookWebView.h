#pragma once

// The web view that shows the book page. Beyond the view of a local page: a
// PDF file dropped on it opens in the pane, a pinch or Ctrl+wheel changes
// the pane's zoom instead of magnifying the page, and the citation preview
// the page opens over it closes at a click anywhere, a key, a scroll, or
// the pointer going out of the view (the page itself tells when the
// pointer leaves a link within it).

#include "localweb/LocalWebView.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace folvan::pdfview {
class ReferencePreview;
}


namespace folvan::book {

class DroppableBookWebView : public localweb::LocalWebView {
    Q_OBJECT
public:
    // `handler` serves the book page's scheme (LocalWebView).
    DroppableBookWebView(QWebEngineUrlSchemeHandler *handler, QWidget *parent = nullptr);
    ~DroppableBookWebView() override;

    std::function<void(const QUrl &)> onDropPDF;
    std::function<void(double zoom)> onZoom;
    // The pane's zoom as the view knows it.
    double bookZoom = 1.0;
    // The citation preview over this view, owned for its life.
    std::unique_ptr<pdfview::ReferencePreview> referencePreview;

    // The zoom after a pinch step m: (1 + m) × zoom in 0.5...4.0; the zoom
    // unchanged for a step that is not finite.
    static double pinchedZoom(double zoom, double m);
    // The first file URL, in the given order, whose extension is "pdf" in
    // any case; none when there is none.
    static std::optional<QUrl> droppedPDF(const QList<QUrl> &urls);

    // Applies one pinch step and reports the new zoom.
    void magnify(double m);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

} // namespace folvan::book
