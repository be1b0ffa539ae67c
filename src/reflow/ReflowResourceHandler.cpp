#include "reflow/ReflowResourceHandler.h"

#include "ReflowPageFiles.h"

#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPageGeometry.h"
#include "engine/PdfPng.h"
#include "reflow/ReflowWire.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QUrlQuery>

#include <nlohmann/json.hpp>

#include <cmath>

namespace folvan::reflow {

// Everything below is read and written on the queue only.
class ReflowResourceHandler::Routes : public localweb::LocalRoutes {
public:
    using LocalRoutes::LocalRoutes;

    std::optional<localweb::LocalResource> serve(const localweb::LocalRequest &request) override;

    QString path;
    QByteArray fallback;
    std::shared_ptr<engine::PdfDocument> pdf;

protected:
    void forgetDocument() override
    {
        pdf.reset();
        path.clear();
        fallback.clear();
    }

private:
    std::optional<QByteArray> documentBytes() const;
    std::optional<localweb::LocalResource> pageImage(const localweb::LocalRequest &request, int index);
};

namespace {

// The page index of a route's last part ("3.png" or "3"), when the
// document has that page.
std::optional<int> pageIndex(QString part, const QString &suffix, const std::shared_ptr<engine::PdfDocument> &pdf)
{
    part.remove(suffix);
    bool ok = false;
    const qlonglong index = part.toLongLong(&ok);
    if (!ok || index < 0 || !pdf || index >= pdf->pageCount())
        return std::nullopt;
    return int(index);
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

nlohmann::json fractionsJson(const QRectF &r) { return {r.x(), r.y(), r.width(), r.height()}; }

nlohmann::json geometryJson(const engine::PdfPageGeometry &geometry)
{
    nlohmann::json result = {{"graphics", nlohmann::json::array()}, {"rules", nlohmann::json::array()}};
    for (const QRectF &r : geometry.graphics)
        result["graphics"].push_back(fractionsJson(r));
    for (const QRectF &r : geometry.rules)
        result["rules"].push_back(fractionsJson(r));
    auto rectJson = [](const QRectF &r) {
        return nlohmann::json{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
    };
    if (geometry.links) {
        nlohmann::json links = nlohmann::json::array();
        for (const engine::PdfGeometryLink &link : *geometry.links)
            links.push_back({{"page", link.page}, {"x", link.x}, {"y", link.y},
                             {"label", link.label.toStdString()}, {"rect", rectJson(link.rect)}});
        result["links"] = std::move(links);
    }
    if (geometry.nativeLines) {
        nlohmann::json lines = nlohmann::json::array();
        for (const engine::PdfGeometryLine &line : *geometry.nativeLines) {
            nlohmann::json entry = rectJson(line.rect);
            entry["text"] = line.text.toStdString();
            lines.push_back(std::move(entry));
        }
        result["nativeLines"] = std::move(lines);
    }
    return result;
}

} // namespace

std::optional<QByteArray> ReflowResourceHandler::Routes::documentBytes() const
{
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (info.exists() && info.size() <= maxDocumentBytes)
            return readFile(path); // a failed read is not made up from the copy
    }
    if (!fallback.isEmpty() && fallback.size() <= maxDocumentBytes)
        return fallback;
    return std::nullopt;
}

std::optional<localweb::LocalResource>
ReflowResourceHandler::Routes::pageImage(const localweb::LocalRequest &request, int index)
{
    const QUrl &url = request.url();
    const QString key = url.toString(QUrl::FullyEncoded);
    if (std::optional<QByteArray> bytes = cache.find(key))
        return localweb::LocalResource{*bytes, "image/png"};
    const QUrlQuery query(url);
    std::vector<double> region;
    const QString r = query.queryItemValue(wire::regionItem, QUrl::FullyDecoded);
    for (const QString &piece : r.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const double value = piece.toDouble(&ok);
        if (ok)
            region.push_back(value);
    }
    bool detail = false;
    for (const auto &item : query.queryItems(QUrl::FullyDecoded))
        detail = detail || (item.first == wire::detailItem && item.second == wire::detailValue);
    std::optional<QByteArray> bytes = raster(pdf->page(index), region, detail);
    if (!bytes)
        return std::nullopt;
    if (!request.stopped())
        cache.insert(key, *bytes);
    return localweb::LocalResource{*bytes, "image/png"};
}

std::optional<localweb::LocalResource> ReflowResourceHandler::Routes::serve(const localweb::LocalRequest &request)
{
    const QStringList &parts = request.parts();
    if (parts.size() == 2 && parts[0] == wire::documentRoute && parts[1].endsWith(QLatin1String(".pdf"))
        && isCurrentToken(parts[1].chopped(4))) {
        std::optional<QByteArray> bytes = documentBytes();
        if (!bytes)
            return std::nullopt;
        return localweb::LocalResource{std::move(*bytes), "application/pdf"};
    }
    if (parts.size() == 3 && parts[0] == wire::pageRoute && isCurrentToken(parts[1])) {
        if (const std::optional<int> index = pageIndex(parts[2], QStringLiteral(".png"), pdf))
            return pageImage(request, *index);
    }
    if (parts.size() == 3 && parts[0] == wire::layoutRoute && isCurrentToken(parts[1])) {
        if (const std::optional<int> index = pageIndex(parts[2], QStringLiteral(".json"), pdf)) {
            const nlohmann::json body = geometryJson(engine::verifiedPageGeometry(pdf->page(*index)));
            try {
                return localweb::LocalResource{QByteArray::fromStdString(body.dump()), "application/json"};
            } catch (...) {
                return std::nullopt;
            }
        }
    }
    return file(parts);
}

ReflowResourceHandler::ReflowResourceHandler(QObject *parent, const QString &root)
    : ReflowResourceHandler(std::make_shared<Routes>(root, pageFiles, cacheCount, cacheBytes), parent)
{
}

ReflowResourceHandler::ReflowResourceHandler(std::shared_ptr<Routes> routes, QObject *parent)
    : LocalSchemeHandler(wire::scheme, QStringLiteral("Folvan.reflowSource"), QStringLiteral("Folvan.Reflow"), routes,
                         parent)
    , m_routes(std::move(routes))
{
}

void ReflowResourceHandler::setDocument(const QString &path, const QByteArray &data, const QString &token)
{
    onQueue([routes = m_routes, path, data, token] {
        routes->path = path;
        routes->fallback = data;
        routes->changeToken(token);
        if (!path.isEmpty())
            routes->pdf = engine::PdfDocument::open(path);
        else if (!data.isEmpty())
            routes->pdf = engine::PdfDocument::openData(data);
        else
            routes->pdf.reset();
    });
}

QString ReflowResourceHandler::failureDescription(const QUrl &) const
{
    return QStringLiteral("无法读取本机重排资源或 PDF。");
}

std::optional<QByteArray> ReflowResourceHandler::raster(const engine::PdfPage &page, const std::vector<double> &region,
                                                        bool detail)
{
    const bool usable = region.size() == 4
                        && std::all_of(region.begin(), region.end(), [](double v) { return std::isfinite(v); })
                        && region[2] > 0 && region[3] > 0;
    if (!usable) {
        const QByteArray png = engine::PageRaster::png(page, detail ? 4000 : 2000, {});
        return png.isEmpty() ? std::nullopt : std::optional<QByteArray>(png);
    }
    const QSizeF size = page.displaySize();
    const double W = size.width(), H = size.height();
    if (!(W > 0 && H > 0))
        return std::nullopt;
    // The region on the displayed page, y up, clipped to the page.
    const double x0 = std::max(region[0] * W, 0.0), x1 = std::min((region[0] + region[2]) * W, W);
    const double y0 = std::max((1 - region[1] - region[3]) * H, 0.0), y1 = std::min((1 - region[1]) * H, H);
    const double width = x1 - x0, height = y1 - y0;
    if (!(width > 0.5 && height > 0.5))
        return std::nullopt;
    const double scale = std::min((detail ? 4200.0 : 2200.0) / std::max(width, height), detail ? 6.0 : 3.0);
    const int pixelWidth = std::max(1, int(std::ceil(width * scale)));
    const int pixelHeight = std::max(1, int(std::ceil(height * scale)));
    // The bitmap's bottom edge lies on the region's bottom edge.
    const int left = int(std::lround(x0 * scale));
    const int top = int(std::lround((H - y0) * scale)) - pixelHeight;
    QImage image(pixelWidth, pixelHeight, QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::white);
    const auto list = page.displayList(false);
    if (!list)
        return std::nullopt;
    const QRect wanted(left, std::max(top, 0), pixelWidth, pixelHeight - std::max(-top, 0));
    const QImage part = list->render(scale, wanted);
    {
        QPainter painter(&image);
        painter.drawImage(QPoint(0, std::max(-top, 0)), part);
    }
    const QByteArray png = engine::encodePng(image, 1);
    return png.isEmpty() ? std::nullopt : std::optional<QByteArray>(png);
}

} // namespace folvan::reflow
