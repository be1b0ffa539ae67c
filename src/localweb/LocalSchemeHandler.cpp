#include "localweb/LocalSchemeHandler.h"

#include "localweb/LocalWebWireNames.h"
#include "platform/Queues.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QWebEngineUrlRequestJob>

namespace folvan::localweb {

namespace {

const QString localHost = QStringLiteral("local");

// The folder with symbolic links resolved; resource folders as they are.
QString resolvedRoot(const QString &root)
{
    if (root.startsWith(QLatin1Char(':')))
        return QDir::cleanPath(root);
    const QString canonical = QFileInfo(root).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(root) : canonical;
}

} // namespace

std::optional<QByteArray> PageImageCache::find(const QString &key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->first == key) {
            m_entries.splice(m_entries.begin(), m_entries, it);
            return m_entries.front().second;
        }
    return std::nullopt;
}

void PageImageCache::insert(const QString &key, const QByteArray &bytes)
{
    if (bytes.size() > m_costLimit)
        return;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->first == key) {
            m_cost -= it->second.size();
            m_entries.erase(it);
            break;
        }
    m_entries.emplace_front(key, bytes);
    m_cost += bytes.size();
    while (int(m_entries.size()) > m_countLimit || m_cost > m_costLimit) {
        m_cost -= m_entries.back().second.size();
        m_entries.pop_back();
    }
}

void PageImageCache::clear()
{
    m_entries.clear();
    m_cost = 0;
}

LocalRequest::LocalRequest(QUrl url, std::shared_ptr<const std::atomic<bool>> stopped)
    : m_url(std::move(url))
    , m_parts(m_url.path(QUrl::FullyDecoded).split(QLatin1Char('/'), Qt::SkipEmptyParts))
    , m_stopped(std::move(stopped))
{
}

QByteArray channelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LocalRoutes::LocalRoutes(const QString &root, QStringList files, int cacheCount, qint64 cacheCost)
    : cache(cacheCount, cacheCost), m_root(resolvedRoot(root)), m_files(std::move(files))
{
}

void LocalRoutes::changeToken(const QString &token)
{
    m_token = token;
    cache.clear();
}

void LocalRoutes::forget()
{
    forgetDocument();
    m_token.clear();
    cache.clear();
}

std::optional<LocalResource> LocalRoutes::file(const QStringList &parts) const
{
    const QString name = parts.join(QLatin1Char('/'));
    if (name == QLatin1String(wire::channelScript)) {
        QByteArray script = channelScript();
        if (script.isEmpty())
            return std::nullopt;
        return LocalResource{std::move(script), "text/javascript"};
    }
    if (!m_files.contains(name) || parts.contains(QStringLiteral("..")))
        return std::nullopt;
    const QString joined = m_root + QLatin1Char('/') + name;
    const QString path = m_root.startsWith(QLatin1Char(':')) ? QDir::cleanPath(joined)
                                                             : QFileInfo(joined).canonicalFilePath();
    if (path.isEmpty() || !path.startsWith(m_root + QLatin1Char('/')) || !QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return LocalResource{file.readAll(), LocalSchemeHandler::contentType(path)};
}

LocalSchemeHandler::LocalSchemeHandler(QString scheme, QString queueLabel, QString errorDomain,
                                       std::shared_ptr<LocalRoutes> routes, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
    , m_scheme(std::move(scheme))
    , m_errorDomain(std::move(errorDomain))
    , m_routes(std::move(routes))
    , m_queue(std::make_unique<platform::SerialQueue>(queueLabel))
{
}

LocalSchemeHandler::~LocalSchemeHandler()
{
    for (auto &[id, job] : m_jobs)
        *job.second.stopped = true;
    m_jobs.clear();
    m_queue.reset(); // waits for the work under way
}

QByteArray LocalSchemeHandler::contentType(const QString &fileName)
{
    const QString name = fileName.section(QLatin1Char('/'), -1);
    if (!name.contains(QLatin1Char('.')))
        return "application/octet-stream";
    const QString extension = name.section(QLatin1Char('.'), -1);
    static const QMimeDatabase database;
    for (const QMimeType &type : database.mimeTypesForFileName(name)) {
        if (!type.suffixes().contains(extension, Qt::CaseSensitive))
            continue;
        // Scripts under the name the web prefers, whichever the database
        // gives first.
        const QString javaScript = QStringLiteral("text/javascript");
        if (type.name() == javaScript || type.aliases().contains(javaScript))
            return javaScript.toLatin1();
        return type.name().toLatin1();
    }
    // Not yet in every system's database.
    if (extension == QLatin1String("wasm"))
        return "application/wasm";
    return "application/octet-stream";
}

void LocalSchemeHandler::onQueue(std::function<void()> work) { m_queue->async(std::move(work)); }

void LocalSchemeHandler::waitForQueue() { m_queue->waitForDone(); }

LocalReply LocalSchemeHandler::failed(const QUrl &url) const
{
    return LocalReply{std::nullopt, LocalFailure{m_errorDomain, notFound, failureDescription(url)}};
}

quint64 LocalSchemeHandler::start(const QUrl &url, Answer answer)
{
    if (!url.isValid() || url.scheme() != m_scheme || url.host() != localHost) {
        if (answer)
            answer(failed(url));
        return 0;
    }
    const quint64 id = m_nextId++;
    Job job;
    job.answer = std::move(answer);
    auto stopped = job.stopped;
    m_jobs.emplace(id, std::make_pair(url, std::move(job)));
    QPointer<LocalSchemeHandler> self(this);
    m_queue->async([self, routes = m_routes, request = LocalRequest(url, stopped), id] {
        if (request.stopped())
            return;
        std::optional<LocalResource> resource = routes->serve(request);
        if (request.stopped())
            return;
        platform::runOnMain([self, id, resource = std::move(resource)]() mutable {
            if (self)
                self->finish(id, std::move(resource));
        });
    });
    return id;
}

void LocalSchemeHandler::stop(quint64 id)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    *it->second.second.stopped = true;
    m_jobs.erase(it);
}

void LocalSchemeHandler::dispose()
{
    for (auto &[id, job] : m_jobs)
        *job.second.stopped = true;
    m_jobs.clear();
    m_queue->async([routes = m_routes] { routes->forget(); });
}

void LocalSchemeHandler::finish(quint64 id, std::optional<LocalResource> resource)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    const QUrl url = it->second.first;
    const Answer answer = std::move(it->second.second.answer);
    m_jobs.erase(it);
    if (!answer)
        return;
    answer(resource ? LocalReply{std::move(resource), {}} : failed(url));
}

void LocalSchemeHandler::requestStarted(QWebEngineUrlRequestJob *request)
{
    QPointer<QWebEngineUrlRequestJob> weak(request);
    const quint64 id = start(request->requestUrl(), [weak](const LocalReply &reply) {
        if (!weak)
            return;
        if (!reply) {
            // The engine knows no other domain: the page sees a missing file.
            weak->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(weak);
        buffer->setData(reply->data);
        buffer->open(QIODevice::ReadOnly);
        weak->reply(reply->mimeType, buffer);
    });
    // A request the engine gives up is destroyed: it is stopped.
    if (id)
        connect(request, &QObject::destroyed, this, [this, id] { stop(id); });
}

} // namespace folvan::localweb
