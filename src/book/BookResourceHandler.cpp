#include "book/BookResourceHandler.h"

#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "platform/Queues.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>

#include <atomic>
#include <list>

namespace folvan::book {

struct BookResourceHandler::Job {
    std::atomic<bool> stopped{false};
    Answer answer;
};

// The document state, touched only on the queue.
struct BookResourceHandler::State {
    std::shared_ptr<engine::PdfDocument> document;
    QString token;
    OverlayRows overlays;
    // Least recently used first.
    std::list<std::pair<QString, QByteArray>> cache;
    qint64 cacheCost = 0;
    std::atomic<int> rastersDrawn{0};

    const QByteArray *cached(const QString &key)
    {
        for (auto it = cache.begin(); it != cache.end(); ++it)
            if (it->first == key) {
                cache.splice(cache.end(), cache, it);
                return &cache.back().second;
            }
        return nullptr;
    }
    void store(const QString &key, const QByteArray &bytes)
    {
        cache.emplace_back(key, bytes);
        cacheCost += bytes.size();
        while (!cache.empty() && (int(cache.size()) > cacheCountLimit || cacheCost > cacheCostLimit)) {
            cacheCost -= cache.front().second.size();
            cache.pop_front();
        }
    }
    void clearCache()
    {
        cache.clear();
        cacheCost = 0;
    }
};

namespace {

// The folder with symbolic links resolved; resource folders as they are.
QString resolvedRoot(const QString &root)
{
    if (root.startsWith(QLatin1Char(':')))
        return QDir::cleanPath(root);
    const QString canonical = QFileInfo(root).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(root) : canonical;
}

} // namespace

BookResourceHandler::BookResourceHandler(QString root, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , m_root(resolvedRoot(root))
    , m_queue(std::make_unique<platform::SerialQueue>(QStringLiteral("Folvan.paperRaster")))
    , m_state(std::make_shared<State>())
{
}

BookResourceHandler::~BookResourceHandler()
{
    for (auto &[id, job] : m_jobs)
        job->stopped = true;
    m_jobs.clear();
    m_queue.reset(); // waits for the work under way
}

void BookResourceHandler::setDocument(std::shared_ptr<engine::PdfDocument> document, QString token,
                                      OverlayRows overlays)
{
    m_queue->async([state = m_state, document = std::move(document), token = std::move(token),
                    overlays = std::move(overlays)]() mutable {
        state->token = std::move(token);
        state->overlays = std::move(overlays);
        state->clearCache();
        state->document = std::move(document);
    });
}

void BookResourceHandler::dispose()
{
    for (auto &[id, job] : m_jobs)
        job->stopped = true;
    m_jobs.clear();
    m_queue->async([state = m_state] {
        state->document.reset();
        state->token.clear();
        state->overlays.clear();
        state->clearCache();
    });
}

int BookResourceHandler::edge(const QUrl &url)
{
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name != QLatin1String("edge"))
            continue;
        bool ok = false;
        const int parsed = value.toInt(&ok, 10);
        return ok ? engine::PageRaster::clampEdge(parsed) : engine::PageRaster::defaultEdge;
    }
    return engine::PageRaster::defaultEdge;
}

QByteArray BookResourceHandler::mimeType(const QString &fileName)
{
    const QString extension = fileName.section(QLatin1Char('.'), -1);
    if (!fileName.contains(QLatin1Char('.')))
        return "application/octet-stream";
    if (extension == QLatin1String("html"))
        return "text/html";
    if (extension == QLatin1String("js"))
        return "text/javascript";
    if (extension == QLatin1String("webp"))
        return "image/webp";
    if (extension == QLatin1String("css"))
        return "text/css";
    return "application/octet-stream";
}

quint64 BookResourceHandler::start(const QUrl &url, Answer answer)
{
    const quint64 id = m_nextId++;
    auto job = std::make_shared<Job>();
    job->answer = std::move(answer);
    m_jobs.emplace(id, job);
    if (url.host() != QLatin1String("local")) {
        finish(id, std::nullopt);
        return id;
    }
    const QStringList parts = url.path(QUrl::FullyDecoded).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const int rasterEdge = edge(url);
    m_queue->async([this, job, parts, rasterEdge, id] { work(job, parts, rasterEdge, id); });
    return id;
}

void BookResourceHandler::stop(quint64 id)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    it->second->stopped = true;
    m_jobs.erase(it);
}

// On the queue.
void BookResourceHandler::work(const std::shared_ptr<Job> &job, const QStringList &parts, int edge, quint64 id)
{
    if (job->stopped)
        return;
    std::optional<BookResource> result = serve(*job, parts, edge);
    if (job->stopped)
        return;
    QPointer<BookResourceHandler> self(this);
    platform::runOnMain(this, [self, id, result = std::move(result)]() mutable {
        if (self)
            self->finish(id, std::move(result));
    });
}

// On the queue.
std::optional<BookResource> BookResourceHandler::serve(const Job &job, const QStringList &parts, int edge)
{
    State &state = *m_state;
    if (parts.isEmpty())
        return std::nullopt;
    if (parts.first() != QLatin1String("page"))
        return serveFile(parts);
    if (parts.size() != 3 || parts[1] != state.token || !state.document)
        return std::nullopt;
    bool ok = false;
    const int page = QString(parts[2]).remove(QStringLiteral(".png")).toInt(&ok, 10);
    if (!ok || page < 0 || page >= state.document->pageCount())
        return std::nullopt;
    const QString key = state.token + QLatin1Char(':') + QString::number(page) + QLatin1Char(':') + QString::number(edge);
    if (const QByteArray *bytes = state.cached(key))
        return BookResource{*bytes, "image/png"};
    const auto rows = state.overlays.find(page);
    const QByteArray png = engine::PageRaster::png(state.document->page(page), edge,
                                                   rows == state.overlays.end() ? std::vector<engine::RasterOverlayRow>{}
                                                                                : rows->second);
    ++state.rastersDrawn;
    if (png.isEmpty())
        return std::nullopt;
    if (!job.stopped)
        state.store(key, png);
    return BookResource{png, "image/png"};
}

std::optional<BookResource> BookResourceHandler::serveFile(const QStringList &parts) const
{
    if (parts.contains(QStringLiteral("..")))
        return std::nullopt;
    const QString joined = m_root + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    const QString path = m_root.startsWith(QLatin1Char(':')) ? QDir::cleanPath(joined)
                                                             : QFileInfo(joined).canonicalFilePath();
    if (path.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')))
        return std::nullopt;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return BookResource{file.readAll(), mimeType(path.section(QLatin1Char('/'), -1))};
}

void BookResourceHandler::finish(quint64 id, std::optional<BookResource> result)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    const std::shared_ptr<Job> job = it->second;
    m_jobs.erase(it);
    if (job->answer)
        job->answer(std::move(result));
}

void BookResourceHandler::requestStarted(QWebEngineUrlRequestJob *request)
{
    QPointer<QWebEngineUrlRequestJob> weak(request);
    const quint64 id = start(request->requestUrl(), [weak](std::optional<BookResource> result) {
        if (!weak)
            return;
        if (!result) {
            weak->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(weak);
        buffer->setData(result->data);
        buffer->open(QIODevice::ReadOnly);
        weak->reply(result->mimeType, buffer);
    });
    // A request the engine gives up is destroyed: it is stopped.
    connect(request, &QObject::destroyed, this, [this, id] { stop(id); });
}

int BookResourceHandler::rastersDrawn() const { return m_state->rastersDrawn; }

void BookResourceHandler::waitForQueue() { m_queue->waitForDone(); }

} // namespace folvan::book
