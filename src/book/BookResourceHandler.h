#pragma once

// The handler of the book page's scheme, folvan-book://local/...: the
// page's own files from its folder of the application's resources, and one
// PNG raster per PDF page of the current document, drawn with the pane's
// highlights and underlines burned in:
//
//   folvan-book://local/page/TOKEN/N.png[?edge=E]   page N (from 0), longer side E pixels
//   folvan-book://local/wallpaper/R.png             the pane's wallpaper given as revision R
//   folvan-book://local/PATH                        the file PATH of the page's folder,
//                                                   when the page's file list names it
//
// One handler serves one web view. All document work and all rasters run
// one at a time on the handler's serial queue "Folvan.paperRaster"; the
// finished PNG bytes are cached by token, page and edge.

#include "engine/PageRaster.h"
#include "localweb/LocalSchemeHandler.h"

#include <QImage>
#include <QString>
#include <QUrl>

#include <map>
#include <memory>
#include <vector>

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::book {

class BookResourceHandler : public localweb::LocalSchemeHandler {
    Q_OBJECT
public:
    // Overlay rows of each page index.
    using OverlayRows = std::map<int, std::vector<engine::RasterOverlayRow>>;

    // Cache limits: PNG bytes and entries.
    static constexpr qint64 cacheCostLimit = 48 * 1024 * 1024;
    static constexpr int cacheCountLimit = 12;

    // `root` is the folder of the page's files (the page's resources by
    // default; a folder on disk in tests).
    explicit BookResourceHandler(QString root = QStringLiteral(":/book"), QObject *parent = nullptr);

    // Serves `document` under `token` from now on (in queue order), with
    // the overlay rows of each page; empties the cache.
    void setDocument(std::shared_ptr<engine::PdfDocument> document, QString token, OverlayRows overlays);

    // Serves `image` as the wallpaper of revision `revision` from now on
    // (none for a null image), scaled down to cover at most `most` pixels.
    void setWallpaper(const QImage &image, int revision, QSize most);

    // The longer side asked for by the first "edge" item of the query,
    // clamped to 600...4096; 2400 when it is missing or not an integer.
    static int edge(const QUrl &url);

    // For tests and the bench: rasters drawn (not taken from the cache).
    int rastersDrawn() const;

protected:
    QString failureDescription(const QUrl &url) const override;

private:
    class Routes;
    BookResourceHandler(std::shared_ptr<Routes> routes, QObject *parent);

    std::shared_ptr<Routes> m_routes;
};

} // namespace folvan::book
