#pragma once

// What the handlers of the reader's local page schemes share: requests are
// taken only for the scheme's own "local" host, worked one at a time on the
// handler's serial queue, and answered on the main thread, each exactly
// once unless it was stopped or the handler disposed first; those get no
// answer at all. A failure is always "not found" (404) in the handler's own
// error domain. Of the page's folder, only the files the build lists for
// the page are served (and only from inside the folder), besides the web
// channel's script; document routes hold only for the current page token.
// Each handler adds its own routes (`LocalRoutes`).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace folvan::platform {
class SerialQueue;
}

namespace folvan::localweb {

// The web channel's client script (served to a local page as
// wire::channelScript), as Qt WebEngine carries it; empty when
// it cannot be read.
QByteArray channelScript();

struct LocalResource {
    QByteArray data;
    QByteArray mimeType;
};

// Why a request failed.
struct LocalFailure {
    QString domain;
    int code = 0;
    QString description;
};

// The answer to one request: the resource, or the failure.
struct LocalReply {
    std::optional<LocalResource> resource;
    // Set when there is no resource.
    LocalFailure failure;

    explicit operator bool() const { return resource.has_value(); }
    const LocalResource *operator->() const { return &*resource; }
};

// Encoded page images by key within a count and a byte limit; the least
// recently used go first. An image larger than the byte limit is not kept.
class PageImageCache {
public:
    PageImageCache(int countLimit, qint64 costLimit) : m_countLimit(countLimit), m_costLimit(costLimit) {}

    // The bytes under `key`, now the most recently used.
    std::optional<QByteArray> find(const QString &key);
    void insert(const QString &key, const QByteArray &bytes);
    void clear();

    int count() const { return int(m_entries.size()); }
    qint64 cost() const { return m_cost; }

private:
    int m_countLimit;
    qint64 m_costLimit;
    // Most recently used first.
    std::list<std::pair<QString, QByteArray>> m_entries;
    qint64 m_cost = 0;
};

// One request as its route sees it on the queue.
class LocalRequest {
public:
    LocalRequest(QUrl url, std::shared_ptr<const std::atomic<bool>> stopped);

    const QUrl &url() const { return m_url; }
    // The path's parts, decoded, without empty ones.
    const QStringList &parts() const { return m_parts; }
    // Whether the request was stopped (or its handler disposed) since.
    bool stopped() const { return *m_stopped; }

private:
    QUrl m_url;
    QStringList m_parts;
    std::shared_ptr<const std::atomic<bool>> m_stopped;
};

// What one scheme serves. Lives on its handler's queue: every member is
// read and written there only.
class LocalRoutes {
public:
    // `root` is the folder of the page's files and `files` the names served
    // from it (the page's list made by the build); `cache*` bound the page
    // images kept.
    LocalRoutes(const QString &root, QStringList files, int cacheCount, qint64 cacheCost);
    virtual ~LocalRoutes() = default;

    // The answer to an accepted request; none for a failure.
    virtual std::optional<LocalResource> serve(const LocalRequest &request) = 0;

    // Starts serving a new document under `token`: no image of the former
    // one is served again.
    void changeToken(const QString &token);
    // Forgets the document, its token and its images.
    void forget();

protected:
    // Forgets what the routes hold of the document.
    virtual void forgetDocument() {}

    // Whether `part` of a URL is the current token (never so without one).
    bool isCurrentToken(const QString &part) const { return !m_token.isEmpty() && part == m_token; }
    const QString &token() const { return m_token; }

    // The file at `parts` of the page's folder, typed by its extension, or
    // the web channel's script by its name; none for a name not in the
    // page's list, a path with "..", one that leads out of the folder (also
    // through a link), or a file that cannot be read.
    std::optional<LocalResource> file(const QStringList &parts) const;

    PageImageCache cache;

private:
    QString m_root;
    QStringList m_files;
    QString m_token;
};

class LocalSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // The failure code of every request that is not answered with data.
    static constexpr int notFound = 404;

    ~LocalSchemeHandler() override;

    // Answers a request on the main thread.
    using Answer = std::function<void(const LocalReply &reply)>;
    // Starts a request and returns its id for stop(). A URL of another
    // scheme or host is failed at once (its id is 0).
    quint64 start(const QUrl &url, Answer answer);
    // The request gets no answer from now on.
    void stop(quint64 id);
    // Abandons every pending request and forgets the document.
    void dispose();
    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // Blocks until the queue has run everything given to it so far.
    void waitForQueue();

    // The content type of a file by its extension, as written (an
    // extension in other letter case is not the type's).
    static QByteArray contentType(const QString &fileName);

protected:
    // Serves `scheme`://local/ through `routes` on the serial queue
    // `queueLabel`; failures are in `errorDomain`.
    LocalSchemeHandler(QString scheme, QString queueLabel, QString errorDomain, std::shared_ptr<LocalRoutes> routes,
                       QObject *parent);

    // Runs `work` on the queue, after every request started before.
    void onQueue(std::function<void()> work);
    // The text of a failure of `url`.
    virtual QString failureDescription(const QUrl &url) const = 0;

private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);
        Answer answer;
    };
    void finish(quint64 id, std::optional<LocalResource> resource);
    LocalReply failed(const QUrl &url) const;

    QString m_scheme;
    QString m_errorDomain;
    std::shared_ptr<LocalRoutes> m_routes;
    std::unique_ptr<platform::SerialQueue> m_queue;
    // Main thread only: the requests neither answered nor stopped.
    std::map<quint64, std::pair<QUrl, Job>> m_jobs;
    quint64 m_nextId = 1;
};

} // namespace folvan::localweb
