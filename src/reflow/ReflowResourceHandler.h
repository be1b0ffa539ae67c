#pragma once

// Serves everything the reflow page loads over "folvan-reflow://local/": its
// own files, the paper's bytes, page images (whole pages or enlarged
// regions) and page geometry, the last three only under the current page
// token. One handler per reflow view; requests are worked on a serial queue
// of its own with a document of its own, and answered on the main thread
// only while the request is still live.

#include "localweb/LocalSchemeHandler.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace folvan::engine {
class PdfPage;
}

namespace folvan::reflow {

class ReflowResourceHandler : public localweb::LocalSchemeHandler {
    Q_OBJECT
public:
    // `root` holds the page's files: the built-in resource folder unless a
    // test gives another.
    explicit ReflowResourceHandler(QObject *parent = nullptr, const QString &root = QStringLiteral(":/reflow"));

    // Hands over the document (by its file, or by its bytes when it has no
    // file) and the page token; applied on the queue after the requests
    // already started. With neither file nor bytes there is no document.
    void setDocument(const QString &path, const QByteArray &data, const QString &token);

    // Page images kept: at most this many, of at most this many bytes.
    static constexpr int cacheCount = 24;
    static constexpr qint64 cacheBytes = 24 * 1024 * 1024;
    static constexpr qint64 maxDocumentBytes = 256 * 1024 * 1024;

    // The PNG of a page: the whole page (longer side 2000 pixels, 4000 with
    // detail) unless `region` is four finite fractions of positive size of
    // the displayed page (origin top left), then that part, enlarged.
    static std::optional<QByteArray> raster(const engine::PdfPage &page, const std::vector<double> &region,
                                            bool detail);

protected:
    QString failureDescription(const QUrl &url) const override;

private:
    class Routes;
    ReflowResourceHandler(std::shared_ptr<Routes> routes, QObject *parent);

    std::shared_ptr<Routes> m_routes;
};

} // namespace folvan::reflow
