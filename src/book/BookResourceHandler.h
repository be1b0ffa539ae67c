#pragma once

// The handler of the book page's scheme, folvan-book://local/...: the
// page's own files from its folder of the application's resources, and one
// PNG raster per PDF page of the current document, drawn with the pane's
// highlights and underlines burned in:
//
//   folvan-book://local/page/TOKEN/N.png[?edge=E]   page N (from 0), longer side E pixels
//   folvan-book://local/PATH                        the file PATH of the page's folder
//
// One handler serves one web view. All document work and all rasters run
// one at a time on the handler's serial queue "Folvan.paperRaster"; the
// finished PNG bytes are cached by token, page and edge. A request that was
// stopped, or that was pending when the handler was disposed, gets no
// answer at all; every other request gets exactly one.

#include "engine/PageRaster.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::platform {
class SerialQueue;
}

namespace folvan::book {

struct BookResource {
    QByteArray data;
    QByteArray mimeType;
};

class BookResourceHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // Overlay rows of each page index.
    using OverlayRows = std::map<int, std::vector<engine::RasterOverlayRow>>;
    // Answers a request on the main thread: the resource, or none for a
    // failure.
    using Answer = std::function<void(std::optional<BookResource>)>;

    // Cache limits: PNG bytes and entries.
    static constexpr qint64 cacheCostLimit = 48 * 1024 * 1024;
    static constexpr int cacheCountLimit = 12;

    // `root` is the folder of the page's files (the page's resources by
    // default; a folder on disk in tests).
    explicit BookResourceHandler(QString root = QStringLiteral(":/book"), QObject *parent = nullptr);
    ~BookResourceHandler() override;

    // Serves `document` under `token` from now on (in queue order), with
    // the overlay rows of each page; empties the cache.
    void setDocument(std::shared_ptr<engine::PdfDocument> document, QString token, OverlayRows overlays);
    // Abandons every pending request and forgets the document.
    void dispose();

    // Starts one request; returns its id for stop().
    quint64 start(const QUrl &url, Answer answer);
    void stop(quint64 id);
    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // The longer side asked for by the first "edge" item of the query,
    // clamped to 600...4096; 2400 when it is missing or not an integer.
    static int edge(const QUrl &url);
    // The content type of a file by its extension, case-sensitive.
    static QByteArray mimeType(const QString &fileName);

    // For tests and the bench: rasters drawn (not taken from the cache),
    // and a wait until the queue has run everything queued so far.
    int rastersDrawn() const;
    void waitForQueue();

private:
    struct Job;
    struct State;

    void work(const std::shared_ptr<Job> &job, const QStringList &parts, int edge, quint64 id);
    void finish(quint64 id, std::optional<BookResource> result);
    std::optional<BookResource> serve(const Job &job, const QStringList &parts, int edge);
    std::optional<BookResource> serveFile(const QStringList &parts) const;

    QString m_root;
    std::unique_ptr<platform::SerialQueue> m_queue;
    // Queue only.
    std::shared_ptr<State> m_state;
    // Main thread only.
    std::map<quint64, std::shared_ptr<Job>> m_jobs;
    quint64 m_nextId = 1;
};

} // namespace folvan::book
