#include "reflow/ReflowResourceHandler.h"

#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPageGeometry.h"
#include "engine/PdfPng.h"
#include "platform/Queues.h"
#include "reflow/ReflowWire.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>

#include <nlohmann/json.hpp>

#include <cmath>
#include <list>
#include <mutex>

namespace folvan::reflow {

struct ReflowResourceHandler::Job {
    std::mutex lock;
    bool stopped = false;

    bool isStopped()
    {
        std::lock_guard<std::mutex> guard(lock);
        return stopped;
    }
    void stop()
    {
        std::lock_guard<std::mutex> guard(lock);
        stopped = true;
    }
};

// Everything below is read and written on the queue only.
struct ReflowResourceHandler::State {
    QString root;
    QString token;
    QString path;
    QByteArray fallback;
    std::shared_ptr<engine::PdfDocument> pdf;
    // Encoded page images, most recently used first.
    std::list<std::pair<QString, QByteArray>> cache;
    qint64 cached = 0;

    std::optional<QByteArray> fromCache(const QString &key)
    {
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (it->first == key) {
                cache.splice(cache.begin(), cache, it);
                return cache.front().second;
            }
        }
        return std::nullopt;
    }
    void store(const QString &key, const QByteArray &bytes)
    {
        if (bytes.size() > cacheBytes)
            return;
        cache.emplace_front(key, bytes);
        cached += bytes.size();
        while (cache.size() > size_t(cacheCount) || cached > cacheBytes) {
            cached -= cache.back().second.size();
            cache.pop_back();
        }
    }
    void clearCache()
    {
        cache.clear();
        cached = 0;
    }

    std::optional<QByteArray> answer(const QUrl &url, const std::shared_ptr<Job> &job, QByteArray *contentType);
    std::optional<QByteArray> documentBytes() const;
    std::optional<QByteArray> fileBytes(const QString &name, QByteArray *contentType) const;
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

QByteArray contentTypeOf(const QString &name)
{
    const QString extension = name.section(u'.', -1);
    if (!name.contains(u'.'))
        return "application/octet-stream";
    if (extension == QLatin1String("html"))
        return "text/html";
    if (extension == QLatin1String("js"))
        return "text/javascript";
    if (extension == QLatin1String("css"))
        return "text/css";
    if (extension == QLatin1String("wasm"))
        return "application/wasm";
    return "application/octet-stream";
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

std::optional<QByteArray> ReflowResourceHandler::State::documentBytes() const
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

std::optional<QByteArray> ReflowResourceHandler::State::fileBytes(const QString &name, QByteArray *contentType) const
{
    if (name == wire::channelScript) {
        *contentType = "text/javascript";
        return readFile(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    }
    if (!wire::pageFiles.contains(name))
        return std::nullopt;
    // The file as it really is, links resolved, must still lie in the folder.
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    const QString file = QFileInfo(root + u'/' + name).canonicalFilePath();
    if (canonicalRoot.isEmpty() || !file.startsWith(canonicalRoot + u'/'))
        return std::nullopt;
    *contentType = contentTypeOf(name);
    return readFile(file);
}

std::optional<QByteArray> ReflowResourceHandler::State::answer(const QUrl &url, const std::shared_ptr<Job> &job,
                                                               QByteArray *contentType)
{
    *contentType = "application/octet-stream";
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    const bool current = parts.size() >= 2 && !token.isEmpty();

    if (current && parts.size() == 2 && parts[0] == wire::documentRoute && parts[1] == token + QStringLiteral(".pdf")) {
        *contentType = "application/pdf";
        return documentBytes();
    }
    if (current && parts.size() == 3 && parts[0] == wire::pageRoute && parts[1] == token) {
        if (const std::optional<int> index = pageIndex(parts[2], QStringLiteral(".png"), pdf)) {
            *contentType = "image/png";
            const QString key = url.toString(QUrl::FullyEncoded);
            if (std::optional<QByteArray> bytes = fromCache(key))
                return bytes;
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
            std::optional<QByteArray> bytes = raster(pdf->page(*index), region, detail);
            if (bytes && !job->isStopped())
                store(key, *bytes);
            return bytes;
        }
    }
    if (current && parts.size() == 3 && parts[0] == wire::layoutRoute && parts[1] == token) {
        if (const std::optional<int> index = pageIndex(parts[2], QStringLiteral(".json"), pdf)) {
            *contentType = "application/json";
            const nlohmann::json body = geometryJson(engine::verifiedPageGeometry(pdf->page(*index)));
            try {
                return QByteArray::fromStdString(body.dump());
            } catch (...) {
                return std::nullopt;
            }
        }
    }
    return fileBytes(parts.join(u'/'), contentType);
}

ReflowResourceHandler::ReflowResourceHandler(QObject *parent, const QString &root)
    : QWebEngineUrlSchemeHandler(parent)
    , m_state(std::make_shared<State>())
    , m_queue(std::make_unique<platform::SerialQueue>(QStringLiteral("Folvan.reflowSource")))
{
    m_state->root = root;
}

ReflowResourceHandler::~ReflowResourceHandler()
{
    for (auto &[id, job] : m_jobs)
        job->stop();
    m_queue.reset(); // waits for the work under way
}

void ReflowResourceHandler::setDocument(const QString &path, const QByteArray &data, const QString &token)
{
    m_queue->async([state = m_state, path, data, token] {
        state->path = path;
        state->fallback = data;
        state->token = token;
        state->clearCache();
        if (!path.isEmpty())
            state->pdf = engine::PdfDocument::open(path);
        else if (!data.isEmpty())
            state->pdf = engine::PdfDocument::openData(data);
        else
            state->pdf.reset();
    });
}

void ReflowResourceHandler::dispose()
{
    for (auto &[id, job] : m_jobs)
        job->stop();
    m_jobs.clear();
    m_answers.clear();
    m_queue->async([state = m_state] {
        state->pdf.reset();
        state->path.clear();
        state->fallback.clear();
        state->token.clear();
        state->clearCache();
    });
}

quint64 ReflowResourceHandler::start(const QUrl &url, Answer answer)
{
    if (!url.isValid() || url.scheme() != wire::scheme || url.host() != wire::host) {
        answer(std::nullopt, QByteArray());
        return 0;
    }
    const quint64 id = m_nextID++;
    auto job = std::make_shared<Job>();
    m_jobs[id] = job;
    m_answers[id] = std::move(answer);
    QPointer<ReflowResourceHandler> self(this);
    m_queue->async([self, state = m_state, job, url, id] {
        if (job->isStopped())
            return;
        QByteArray contentType;
        std::optional<QByteArray> bytes = state->answer(url, job, &contentType);
        if (job->isStopped())
            return;
        platform::runOnMain([self, id, bytes = std::move(bytes), contentType] {
            if (self)
                self->finish(id, bytes, contentType);
        });
    });
    return id;
}

void ReflowResourceHandler::stop(quint64 id)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    it->second->stop();
    m_jobs.erase(it);
    m_answers.erase(id);
}

void ReflowResourceHandler::finish(quint64 id, const std::optional<QByteArray> &bytes, const QByteArray &contentType)
{
    if (!m_jobs.erase(id))
        return;
    Answer answer = std::move(m_answers[id]);
    m_answers.erase(id);
    if (answer)
        answer(bytes, contentType);
}

void ReflowResourceHandler::waitForQueue() { m_queue->waitForDone(); }

void ReflowResourceHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    QPointer<QWebEngineUrlRequestJob> request(job);
    const quint64 id = start(job->requestUrl(), [request](const std::optional<QByteArray> &bytes,
                                                          const QByteArray &contentType) {
        if (!request)
            return;
        if (!bytes) {
            request->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(request);
        buffer->setData(*bytes);
        buffer->open(QIODevice::ReadOnly);
        request->reply(contentType, buffer);
    });
    // The engine deletes a request it no longer wants: it gets no answer.
    if (id)
        connect(job, &QObject::destroyed, this, [this, id] { stop(id); });
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
