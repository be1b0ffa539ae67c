#pragma once

// Serves everything the reflow page loads over "folvan-reflow://local/": its
// own files, the paper's bytes, page images (whole pages or enlarged
// regions) and page geometry, the last three only under the current page
// token. One handler per reflow view; requests are worked on a serial queue
// of its own with a document of its own, and answered on the main thread
// only while the request is still live.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace folvan::platform {
class SerialQueue;
}
namespace folvan::engine {
class PdfPage;
}

namespace folvan::reflow {

class ReflowResourceHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // `root` holds the page's files: the built-in resource folder unless a
    // test gives another.
    explicit ReflowResourceHandler(QObject *parent = nullptr, const QString &root = QStringLiteral(":/reflow"));
    ~ReflowResourceHandler() override;

    // Hands over the document (by its file, or by its bytes when it has no
    // file) and the page token; applied on the queue after the requests
    // already started. With neither file nor bytes there is no document.
    void setDocument(const QString &path, const QByteArray &data, const QString &token);
    // Stops every live request and forgets the document.
    void dispose();

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // The answer to one request: the bytes and their content type, or
    // nothing for a request that fails.
    using Answer = std::function<void(const std::optional<QByteArray> &bytes, const QByteArray &contentType)>;
    // Starts a request; `answer` runs on the main thread, never for a
    // request stopped before. Returns the request's id for stop().
    quint64 start(const QUrl &url, Answer answer);
    void stop(quint64 id);
    // Blocks until the queue has run everything given to it so far.
    void waitForQueue();

    // Page images kept: at most this many, of at most this many bytes.
    static constexpr int cacheCount = 24;
    static constexpr qint64 cacheBytes = 24 * 1024 * 1024;
    static constexpr qint64 maxDocumentBytes = 256 * 1024 * 1024;

    // The PNG of a page: the whole page (longer side 2000 pixels, 4000 with
    // detail) unless `region` is four finite fractions of positive size of
    // the displayed page (origin top left), then that part, enlarged.
    static std::optional<QByteArray> raster(const engine::PdfPage &page, const std::vector<double> &region,
                                            bool detail);

private:
    struct Job;
    struct State;
    void finish(quint64 id, const std::optional<QByteArray> &bytes, const QByteArray &contentType);

    std::shared_ptr<State> m_state;
    std::unique_ptr<platform::SerialQueue> m_queue;
    std::map<quint64, std::shared_ptr<Job>> m_jobs;
    std::map<quint64, Answer> m_answers;
    quint64 m_nextID = 1;
};

} // namespace folvan::reflow
