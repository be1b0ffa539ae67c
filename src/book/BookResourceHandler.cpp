#include "book/BookResourceHandler.h"

#include "BookPageFiles.h"

#include "book/BookWire.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"

#include <QBuffer>
#include <QUrlQuery>

#include <atomic>

namespace folvan::book {

// The document state, touched only on the queue.
class BookResourceHandler::Routes : public localweb::LocalRoutes {
public:
    using LocalRoutes::LocalRoutes;

    std::optional<localweb::LocalResource> serve(const localweb::LocalRequest &request) override;

    std::optional<localweb::LocalResource> wallpaperImage(const QStringList &parts);

    std::shared_ptr<engine::PdfDocument> document;
    OverlayRows overlays;
    std::atomic<int> rastersDrawn{0};
    // The wallpaper as given, and as served once asked for.
    QImage wallpaper;
    int wallpaperRevision = 0;
    QSize wallpaperMost;
    QByteArray wallpaperPng;

protected:
    void forgetDocument() override
    {
        document.reset();
        overlays.clear();
    }
};

std::optional<localweb::LocalResource> BookResourceHandler::Routes::serve(const localweb::LocalRequest &request)
{
    const QStringList &parts = request.parts();
    if (parts.isEmpty())
        return std::nullopt;
    if (parts.first() == QLatin1String(wire::wallpaperRoute))
        return wallpaperImage(parts);
    if (parts.first() != QLatin1String(wire::pageRoute))
        return file(parts);
    if (parts.size() != 3 || !isCurrentToken(parts[1]) || !document)
        return std::nullopt;
    bool ok = false;
    const int page = QString(parts[2]).remove(QStringLiteral(".png")).toInt(&ok, 10);
    if (!ok || page < 0 || page >= document->pageCount())
        return std::nullopt;
    const int rasterEdge = edge(request.url());
    const QString key =
        token() + QLatin1Char(':') + QString::number(page) + QLatin1Char(':') + QString::number(rasterEdge);
    if (std::optional<QByteArray> bytes = cache.find(key))
        return localweb::LocalResource{*bytes, "image/png"};
    const auto rows = overlays.find(page);
    // The paper's own marks as the page view shows them; the highlights and
    // underlines, the reader's too, come as the overlay rows.
    const QByteArray png = engine::PageRaster::png(
        document->page(page), rasterEdge,
        rows == overlays.end() ? std::vector<engine::RasterOverlayRow>{} : rows->second, true);
    ++rastersDrawn;
    if (png.isEmpty())
        return std::nullopt;
    if (!request.stopped())
        cache.insert(key, png);
    return localweb::LocalResource{png, "image/png"};
}

// Encoded when first asked for, on the queue: a photograph larger than the
// screen is scaled down first, and with the page rasters' fast compression.
std::optional<localweb::LocalResource> BookResourceHandler::Routes::wallpaperImage(const QStringList &parts)
{
    if (parts.size() != 2 || wallpaper.isNull() || parts[1] != QString::number(wallpaperRevision) + QLatin1String(".png"))
        return std::nullopt;
    if (wallpaperPng.isEmpty()) {
        QImage served = wallpaper;
        const QSize covering = wallpaper.size().scaled(wallpaperMost, Qt::KeepAspectRatioByExpanding);
        if (!wallpaperMost.isEmpty() && covering.width() < wallpaper.width())
            served = wallpaper.scaled(covering, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QBuffer buffer(&wallpaperPng);
        buffer.open(QIODevice::WriteOnly);
        // Quality 80 is zlib level 1.
        if (!served.save(&buffer, "PNG", 80))
            wallpaperPng.clear();
    }
    if (wallpaperPng.isEmpty())
        return std::nullopt;
    return localweb::LocalResource{wallpaperPng, "image/png"};
}

BookResourceHandler::BookResourceHandler(QString root, QObject *parent)
    : BookResourceHandler(std::make_shared<Routes>(root, pageFiles, cacheCountLimit, cacheCostLimit), parent)
{
}

BookResourceHandler::BookResourceHandler(std::shared_ptr<Routes> routes, QObject *parent)
    : LocalSchemeHandler(QString::fromLatin1(wire::scheme), QStringLiteral("Folvan.paperRaster"),
                         QStringLiteral("Folvan.Book"), routes, parent)
    , m_routes(std::move(routes))
{
}

void BookResourceHandler::setDocument(std::shared_ptr<engine::PdfDocument> document, QString token,
                                      OverlayRows overlays)
{
    onQueue([routes = m_routes, document = std::move(document), token = std::move(token),
             overlays = std::move(overlays)]() mutable {
        routes->changeToken(token);
        routes->overlays = std::move(overlays);
        routes->document = std::move(document);
    });
}

void BookResourceHandler::setWallpaper(const QImage &image, int revision, QSize most)
{
    onQueue([routes = m_routes, image, revision, most] {
        routes->wallpaper = image;
        routes->wallpaperRevision = revision;
        routes->wallpaperMost = most;
        routes->wallpaperPng.clear();
    });
}

int BookResourceHandler::edge(const QUrl &url)
{
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name != QLatin1String(wire::edgeItem))
            continue;
        bool ok = false;
        const int parsed = value.toInt(&ok, 10);
        return ok ? engine::PageRaster::clampEdge(parsed) : engine::PageRaster::defaultEdge;
    }
    return engine::PageRaster::defaultEdge;
}

QString BookResourceHandler::failureDescription(const QUrl &url) const
{
    return QStringLiteral("无法读取本地资源： ") + url.path(QUrl::FullyDecoded).section(QLatin1Char('/'), -1);
}

int BookResourceHandler::rastersDrawn() const { return m_routes->rastersDrawn; }

} // namespace folvan::book
