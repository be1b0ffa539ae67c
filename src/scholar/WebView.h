#pragma once

// The Scholar panel's browser: a web view on the panel's own lasting
// profile, whose coordinator prints the load events, keeps the address of
// the last finished page, opens new-window links in place and receives the
// bytes the fetch script posts. With those bytes it saves a PDF where the
// user chooses or, once confirmed, writes them over the pane's open paper.
//
// The fetch script and the handler it posts to live in a script world of
// their own: a page's scripts can neither see the handler nor post to it.

#include "scholar/DownloadPrompts.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;

namespace folvan {
class SharedPDFViewModel;
}

namespace folvan::scholar {

// The object the fetch script posts to; its messages go to `receive`.
class ScriptMessageBridge : public QObject {
    Q_OBJECT
public:
    explicit ScriptMessageBridge(std::function<void(const QJsonValue &)> receive, QObject *parent = nullptr)
        : QObject(parent), m_receive(std::move(receive))
    {
    }
    Q_INVOKABLE void postMessage(const QJsonValue &body)
    {
        if (m_receive)
            m_receive(body);
    }

private:
    std::function<void(const QJsonValue &)> m_receive;
};

// What the browser adds to the engine's own user agent.
inline const QString kUserAgentApplicationName = QStringLiteral(
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/140.0.0.0 Safari/537.36");

// The profile of every Scholar browser of the process: stored on disk under
// its own name, so that sign-ins and cookies last from one run to the next.
QWebEngineProfile *scholarProfile();

class WebView : public QWebEngineView {
    Q_OBJECT
public:
    // The world of the fetch script and of the handler it posts to.
    static constexpr quint32 kFetchWorld = QWebEngineScript::ApplicationWorld;

    // The browser's side of the fetched bytes, after the checks of a script
    // message.
    class Coordinator {
    public:
        Coordinator(QWidget *dialogParent, SharedPDFViewModel *viewModel);

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
        // A load that stopped before its page replaced the one on display.
        void didStopWithoutPage(const QString &description);
        // Save or replace asked for while the page on display failed to
        // load: the reader is told that there is nothing to fetch.
        void refuseFetchOfFailedPage(const QString &action);
        // A message to the handler `name`: "download" saves the bytes (once
        // a page has finished loading), "replace" writes them over the open
        // paper; an ill-formed message is dropped without a word.
        void userContentController(const QString &name, const QJsonValue &body);
        void savePDF(const QString &base64String, const QUrl &url);
        // `source`, when known, is the address the bytes came from.
        void replaceCurrentPDF(const QString &base64String, const QUrl &source = QUrl());

    private:
        void showAlert(const QString &title, const QString &message);

        QPointer<QWidget> m_dialogParent;
        QPointer<SharedPDFViewModel> m_viewModel;
        std::optional<QUrl> m_currentURL;
        std::optional<QString> m_currentFailure;
        std::shared_ptr<DownloadPrompts> m_prompts;
        std::function<void(const QString &)> m_output;
    };

    // A browser on the Scholar profile that loads `url` at once.
    WebView(const QUrl &url, SharedPDFViewModel *viewModel, QWidget *parent = nullptr);

    Coordinator &coordinator() { return m_coordinator; }
    // Loads `url` when it is not the address last given, so that the
    // reader's own browsing survives every other update.
    void setURL(const QUrl &url);
    QUrl searchURL() const { return m_url; }
    // Loads an address (the search address, a typed one, a new-window link).
    void loadAddress(const QUrl &url);

    // A load that goes this long without progress is stopped
    // (60 seconds unless set).
    void setLoadTimeout(int milliseconds) { m_loadTimeout = milliseconds; }
    int loadTimeout() const { return m_loadTimeout; }
    bool isLoading() const { return m_loading; }

signals:
    // A load ended and its page is on display, loaded or failed; the
    // coordinator's currentURL is its address.
    void currentURLChanged();
    // A load began or ended; `progress` is 0...100 while it runs.
    void loadingStateChanged(bool loading);
    void loadProgressChanged(int progress);
    // A load went the whole timeout without progress and was stopped.
    void loadTimedOut(const QUrl &address);

private:
    void loadingChanged(int status, const QUrl &address, const QString &error, int errorDomain, int errorCode);
    void setLoading(bool loading);
    void timeOut();

    QUrl m_url;
    Coordinator m_coordinator;
    QTimer *m_loadTimer;
    int m_loadTimeout = 60000;
    bool m_loading = false;
    QUrl m_loadingAddress;
};

} // namespace folvan::scholar
