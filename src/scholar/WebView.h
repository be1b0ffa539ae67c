#pragma once

// The Scholar panel's browser: a web view on the panel's own lasting
// profile, whose coordinator prints the load events, keeps the address of
// the last finished page, opens new-window links in place and receives the
// bytes the fetch script posts. With those bytes it saves a PDF where the
// user chooses or, once confirmed, writes them over the pane's open paper.
//
// The fetch script and the port it posts to live in a script world of their
// own: a page's scripts can neither see the port nor post to it. A fetch
// ends with its bytes or its failure, or is stopped after the load timeout
// without progress; until it has ended and the dialogs of its bytes have
// closed, no other fetch starts.

#include "scholar/DownloadPrompts.h"
#include "scholar/ScholarRules.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::platform {
class MainWorkItem;
}

namespace folvan::scholar {

// What the browser adds to the engine's own user agent.
inline const QString kUserAgentApplicationName = QStringLiteral(
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/140.0.0.0 Safari/537.36");

// The profile of every Scholar browser of the process: stored on disk under
// its own name, so that sign-ins and cookies last from one run to the next.
// Its folder lies in the data folder, so a reader that holds no writes there
// (another reader has the folder) browses with a profile kept in memory.
QWebEngineProfile *scholarProfile();

class WebView : public QWebEngineView {
    Q_OBJECT
public:
    // The world of the fetch script and of the port it posts to.
    static constexpr quint32 kFetchWorld = QWebEngineScript::ApplicationWorld;

    // The browser's side of the fetched bytes, after the checks of a script
    // message.
    class Coordinator {
    public:
        Coordinator(QWidget *dialogParent, model::SharedPDFViewModel *viewModel);

        // The address of the page on display: the last load that ended,
        // whether it finished or failed (a failed one shows its error page).
        const std::optional<QUrl> &currentURL() const { return m_currentURL; }
        // Why the page on display failed to load; none when it loaded.
        const std::optional<QString> &currentFailure() const { return m_currentFailure; }
        void setPrompts(std::shared_ptr<DownloadPrompts> prompts) { m_prompts = std::move(prompts); }
        // Where the browser's lines go; standard output unless set.
        void setOutput(std::function<void(const QString &)> output) { m_output = std::move(output); }
        void print(const QString &line) const;

        // Load events of the web view.
        void didFinish(const QUrl &address);
        void didFail(const QUrl &address, const QString &description);
        // A load that ended without finishing: `shown` is the address of
        // the page on display now. When that is the stopped load's own
        // (`stopped`), its page began to show and did not finish.
        void didStop(const QUrl &shown, const QUrl &stopped, const QString &description);
        // Save or replace asked for while the page on display failed to
        // load, or while a load is under way: the reader is told that there
        // is nothing to fetch.
        void refuseFetchOfFailedPage(const QString &action);
        void refuseFetchWhileLoading(const QString &action);
        void refuseFetchWhileDownloading(const QString &action);
        // A message to the handler `name`: "download" saves the bytes (once
        // a page has finished loading), "replace" writes them over the open
        // paper; an ill-formed message is dropped without a word.
        void userContentController(const QString &name, const QJsonValue &body);
        void savePDF(const QString &base64String, const QUrl &url);
        void saveBytes(const QByteArray &bytes, const QString &suggestedName);
        // `source`, when known, is the address the bytes came from.
        void replaceCurrentPDF(const QString &base64String, const QUrl &source = QUrl());
        void replaceWithBytes(const QByteArray &bytes, const QUrl &source);

    private:
        void showAlert(const QString &title, const QString &message);
        void refuseFetch(const QString &action, const QString &situation);

        QPointer<QWidget> m_dialogParent;
        QPointer<model::SharedPDFViewModel> m_viewModel;
        std::optional<QUrl> m_currentURL;
        std::optional<QString> m_currentFailure;
        std::shared_ptr<DownloadPrompts> m_prompts;
        std::function<void(const QString &)> m_output;
    };

    // A browser on the Scholar profile that loads `url` at once.
    WebView(const QUrl &url, model::SharedPDFViewModel *viewModel, QWidget *parent = nullptr);
    ~WebView() override;

    Coordinator &coordinator() { return m_coordinator; }
    // Loads `url` when it is not the address last given, so that the
    // reader's own browsing survives every other update.
    void setURL(const QUrl &url);
    QUrl searchURL() const { return m_url; }
    // Loads an address (the search address, a typed one, a new-window link).
    void loadAddress(const QUrl &url);

    // A load or a fetch that goes this long without progress is stopped
    // (60 seconds).
    int loadTimeout() const { return m_loadTimeout; }
    bool isLoading() const { return m_loading; }

    // Fetches `url` through the page on display, with its cookies, for
    // `action` ("download" or "replace"); its bytes go to the coordinator.
    // False, and nothing done, while another fetch or the dialogs of its
    // bytes are under way.
    bool fetch(const QUrl &url, const QString &action);
    bool isFetching() const { return m_fetch.has_value(); }
    // The action of the fetch under way; empty when there is none.
    QString fetchAction() const { return m_fetch ? m_fetch->action : QString(); }
    // The most bytes a fetch takes.
    void setFetchLimit(qint64 bytes) { m_fetchLimit = bytes; }

    // A link or an address that the site serves as a download (an
    // attachment) is downloaded here, into memory, as a fetch is, up to
    // the fetch limit and the load timeout without progress. Its PDF is
    // then held: save and replace act on it until another page loads.
    bool isDownloading() const { return m_download != nullptr; }
    struct HeldPDF {
        QByteArray bytes;
        QUrl address;
        // The file name the site gave.
        QString name;
    };
    const std::optional<HeldPDF> &heldPDF() const { return m_held; }
    // Saves the held PDF or writes it over the open paper, for `action`;
    // false, and nothing done, without one or while a fetch is under way.
    bool useHeldPDF(const QString &action);

signals:
    // A load ended and its page is on display, loaded or failed; the
    // coordinator's currentURL is its address.
    void currentURLChanged();
    // A load began or ended; `progress` is 0...100 while it runs.
    void loadingStateChanged(bool loading);
    void loadProgressChanged(int progress);
    // A load went the whole timeout without progress and was stopped.
    void loadTimedOut(const QUrl &address);
    // A fetch began, or it ended and the dialogs of its bytes closed.
    void fetchingChanged(bool fetching);
    // The share of the fetch's bytes that arrived, 0...100; -1 while the
    // size is not known.
    void fetchProgressChanged(int percent);
    // A fetch went the whole timeout without progress and was stopped.
    void fetchTimedOut(const QUrl &address);
    // A download began or ended, and the share of it that arrived (-1
    // while the size is not known).
    void downloadingChanged(bool downloading);
    void downloadProgressChanged(int percent);
    // A download ended: what the reader is told of it, and whether it
    // failed (else its PDF is held).
    void downloadEnded(const QString &message, const QUrl &address, bool failed);

private:
    struct Fetch {
        QString id;
        QString action;
        QUrl address;
    };

    void loadingChanged(int status, const QUrl &address, const QString &error, int errorDomain, int errorCode);
    void setLoading(bool loading);
    void timeOut();
    // A message on the fetch's port, as JSON text.
    void portMessage(const QString &text);
    // The fetch `id` failed in the page with `error`.
    void fetchFailed(const QString &id, const QString &error);
    // Hands a fetch's last message to the coordinator, then ends it.
    void finishFetch(const QJsonValue &body);
    void fetchTimeOut();
    void endFetch();
    void downloadRequested(QWebEngineDownloadRequest *request);
    void awaitDownloadProgress();
    void downloadProgressed();
    void downloadFinished();
    // Stops the download under way, if any, and tells why.
    void stopDownload(const QString &message, bool failed);

    QUrl m_url;
    Coordinator m_coordinator;
    platform::MainWorkItem *m_loadTimer;
    int m_loadTimeout = 60000;
    bool m_loading = false;
    QUrl m_loadingAddress;
    // The load the timeout stopped, until the engine reports its end.
    QUrl m_timedOut;
    std::optional<Fetch> m_fetch;
    platform::MainWorkItem *m_fetchTimer;
    qint64 m_fetchLimit = kMaxFetchBytes;
    struct Download;
    std::unique_ptr<Download> m_download;
    std::optional<HeldPDF> m_held;
    platform::MainWorkItem *m_downloadTimer;
};

} // namespace folvan::scholar
