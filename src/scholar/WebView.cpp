#include "scholar/WebView.h"

#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "platform/DataFolderAccess.h"
#include "model/SharedPDFViewModel.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "platform/WebEngineStart.h"
#include "scholar/PaperReplacement.h"
#include "scholar/ScholarRules.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QUuid>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <algorithm>

namespace folvan::scholar {

namespace {

// The engine's code for a load that was stopped before it ended.
constexpr int kAbortedError = -3;

// The status a load is given when it did not finish.
const QString kStoppedLoad = QStringLiteral("加载没有完成，已停止");

// How the name of a download's own folder in the temporary folder starts.
const QString kDownloadFolders = QStringLiteral("folvan-download-");

// Takes away the folders of downloads left empty a minute ago or more: the
// engine may make a stopped download's folder again after it was removed.
// A folder with a file in it stays (another reader's download goes on).
void removeEmptyDownloadFolders()
{
    const QDir temp(QDir::tempPath());
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QFileInfo &folder : temp.entryInfoList({kDownloadFolders + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (folder.lastModified().toUTC() < before)
            temp.rmdir(folder.fileName());
    }
}

} // namespace

QWebEngineProfile *scholarProfile()
{
    if (platform::DataFolderAccess::shared().readOnly()) {
        static QPointer<QWebEngineProfile> inMemory;
        if (!inMemory) {
            inMemory = new QWebEngineProfile(qApp);
            inMemory->setHttpUserAgent(inMemory->httpUserAgent() + QLatin1Char(' ') + kUserAgentApplicationName);
        }
        return inMemory;
    }
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        profile = new QWebEngineProfile(QStringLiteral("scholar"), qApp);
        // Its folders are fixed when it is made, not when first used.
        profile->setPersistentStoragePath(profile->persistentStoragePath());
        profile->setCachePath(profile->cachePath());
        profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        profile->setHttpUserAgent(profile->httpUserAgent() + QLatin1Char(' ') + kUserAgentApplicationName);
    }
    return profile;
}

// ---- Coordinator -------------------------------------------------------------

WebView::Coordinator::Coordinator(QWidget *dialogParent, model::SharedPDFViewModel *viewModel)
    : m_dialogParent(dialogParent), m_viewModel(viewModel), m_prompts(makeDefaultDownloadPrompts())
{
}

void WebView::Coordinator::print(const QString &line) const
{
    if (m_output)
        m_output(line);
    else
        printLine(line);
}

void WebView::Coordinator::didFinish(const QUrl &address)
{
    m_currentURL = address.isEmpty() ? std::nullopt : std::optional<QUrl>(address);
    m_currentFailure.reset();
    print(QStringLiteral("Finished loading content for ") + address.toString(QUrl::FullyEncoded));
}

void WebView::Coordinator::didFail(const QUrl &address, const QString &description)
{
    // The error page now stands in the place of the page before: save and
    // replace must not act on that one.
    if (!address.isEmpty()) {
        m_currentURL = address;
        m_currentFailure = description;
    }
    print(QStringLiteral("Failed to load content: ") + description);
}

void WebView::Coordinator::didStop(const QUrl &shown, const QUrl &stopped, const QString &description)
{
    print(QStringLiteral("Failed to load content: ") + description);
    // The page that began to show stays on display as it is: the buttons
    // act on it, and refuse it as they refuse an error page.
    if (!shown.isEmpty() && shown == stopped) {
        m_currentURL = shown;
        m_currentFailure = kStoppedLoad;
    }
}

void WebView::Coordinator::refuseFetchOfFailedPage(const QString &action)
{
    refuseFetch(action, QStringLiteral("当前网页没有加载成功（") + m_currentFailure.value_or(QString()) + QStringLiteral("）"));
}

void WebView::Coordinator::refuseFetchWhileLoading(const QString &action)
{
    refuseFetch(action, QStringLiteral("当前网页还没有加载完"));
}

void WebView::Coordinator::refuseFetchWhileDownloading(const QString &action)
{
    refuseFetch(action, QStringLiteral("网站给出的文件还在下载"));
}

void WebView::Coordinator::refuseFetch(const QString &action, const QString &situation)
{
    const QString what = action == kReplaceAction ? QStringLiteral("替换") : QStringLiteral("保存");
    showAlert(QStringLiteral("无法获取 PDF"), situation + QStringLiteral("，没有可") + what + QStringLiteral("的 PDF。"));
}

void WebView::Coordinator::userContentController(const QString &name, const QJsonValue &body)
{
    if (name != kMessageHandler)
        return;
    const std::optional<ScriptMessage> message = scriptMessage(body);
    if (!message)
        return;
    // The address the bytes came from, as the script names it; a saved
    // download is named after the page on display.
    const QUrl source(message->url);
    const bool known = message->action == kDownloadAction || message->action == kReplaceAction;
    if (known && !message->error.isEmpty()) {
        QString text = fetchFailureText(message->error);
        if (message->action == kReplaceAction) {
            // Without a paper there is nothing to replace, whatever came.
            if (!m_viewModel || m_viewModel->pdfDocumentURL().isEmpty())
                return replaceCurrentPDF(QString());
            text += QStringLiteral("当前 PDF 没有改动。");
        }
        return showAlert(QStringLiteral("下载失败"), text);
    }
    if (message->action == kDownloadAction) {
        if (m_currentURL)
            savePDF(message->base64, *m_currentURL);
    } else if (message->action == kReplaceAction) {
        replaceCurrentPDF(message->base64, source);
    } else {
        print(QStringLiteral("Unknown action: ") + message->action);
    }
}

void WebView::Coordinator::savePDF(const QString &base64String, const QUrl &url)
{
    const std::optional<QByteArray> bytes = decodeStrictBase64(base64String);
    if (!bytes)
        return showAlert(QStringLiteral("下载失败"), QStringLiteral("无法解析下载的数据。"));
    saveBytes(*bytes, suggestedPDFName(url));
}

void WebView::Coordinator::saveBytes(const QByteArray &bytes, const QString &suggestedName)
{
    const std::shared_ptr<engine::PdfDocument> document = downloadedPDF(bytes);
    if (!document)
        return showAlert(QStringLiteral("无效 PDF"), QStringLiteral("下载的文件不是有效的 PDF，未保存。"));
    // A download cut off part-way opens only repaired: saved only when the
    // reader still wants it.
    if (!document->isIntact()
        && !m_prompts->confirmIncompleteSave(m_dialogParent, QStringLiteral("PDF 不完整"),
                                             incompletePDFText(bytes.size())
                                                 + QStringLiteral("只能修复后打开，部分页面可能是空白的。仍要保存吗？")))
        return;

    platform::Preferences &defaults = platform::Preferences::shared();
    const QString key = platform::prefkey::lastSavePanelURL;
    const std::optional<QString> chosen =
        m_prompts->chooseSavePath(m_dialogParent, suggestedName, defaults.urlValue(key));
    if (!chosen || chosen->isEmpty())
        return;
    // The folder is kept even when the write then fails.
    defaults.setValue(key, QUrl::fromLocalFile(QFileInfo(*chosen).absolutePath()));
    QString error;
    if (!platform::writeFileAtomically(*chosen, bytes, &error))
        return showAlert(QStringLiteral("保存失败"), error);
    print(QStringLiteral("PDF saved to: ") + *chosen);
}

void WebView::Coordinator::replaceCurrentPDF(const QString &base64String, const QUrl &source)
{
    // Text that is no Base64 is refused as bytes that are no PDF.
    replaceWithBytes(decodeStrictBase64(base64String).value_or(QByteArray()), source);
}

void WebView::Coordinator::replaceWithBytes(const QByteArray &bytes, const QUrl &source)
{
    const QUrl target = m_viewModel ? m_viewModel->pdfDocumentURL() : QUrl();
    if (target.isEmpty())
        return showAlert(QStringLiteral("尚未打开 PDF"), QStringLiteral("先打开 PDF，再使用替换功能。"));
    QString reason;
    std::shared_ptr<engine::PdfDocument> document = replacementPDF(bytes, target.toLocalFile(), &reason);
    if (!document)
        return showAlert(QStringLiteral("无效 PDF"), reason);

    // A link is followed: the paper it names is written, the link stays.
    const QFileInfo file(target.toLocalFile());
    const QString path = file.isSymLink() && file.exists() ? file.canonicalFilePath() : file.absoluteFilePath();
    const QString name = target.fileName();
    const QString from = source.isEmpty()
        ? QStringLiteral("浏览器中")
        : QStringLiteral("“") + elidedAddress(source.toDisplayString()) + QStringLiteral("”");
    if (!m_prompts->confirmReplace(m_dialogParent, QStringLiteral("替换当前 PDF？"),
                                   QStringLiteral("将用") + from + QStringLiteral("的 PDF（")
                                       + QLocale::c().formattedDataSize(bytes.size(), 1, QLocale::DataSizeTraditionalFormat) + QStringLiteral("）覆盖“")
                                       + name + QStringLiteral("”：\n") + path
                                       + QStringLiteral("\n原文件会先移到废纸篓。")))
        return;
    // While the question was open the pane may have closed its paper or
    // opened another one: only the paper that was asked about is written.
    if (!m_viewModel || m_viewModel->pdfDocumentURL() != target)
        return showAlert(QStringLiteral("替换失败"), QStringLiteral("确认期间打开的 PDF 已改变，没有替换。"));

    QString error;
    if (!replaceFileKeepingOldInTrash(path, bytes, &error))
        return showAlert(QStringLiteral("替换失败"), error);
    m_viewModel->documentFileReplaced(std::move(document));
    // The paper's markups stay with it: they are read for the new pages.
    if (annotations::PaneAnnotations *annotations = annotations::PaneAnnotations::of(*m_viewModel))
        annotations->documentFileReplaced();
    m_prompts->inform(m_dialogParent, QStringLiteral("PDF 已替换"),
                      QStringLiteral("“") + name + QStringLiteral("”已更新，原文件在废纸篓中。"));
}

void WebView::Coordinator::showAlert(const QString &title, const QString &message)
{
    m_prompts->alert(m_dialogParent, title, message);
}

// ---- WebView -----------------------------------------------------------------

// A download of the page: the engine writes it into a folder of its own,
// read once it is whole.
struct WebView::Download {
    QPointer<QWebEngineDownloadRequest> request;
    QUrl address;
    QString name;
    QTemporaryDir folder{QDir::tempPath() + u'/' + kDownloadFolders + QStringLiteral("XXXXXX")};
};

WebView::WebView(const QUrl &url, model::SharedPDFViewModel *viewModel, QWidget *parent)
    : QWebEngineView(parent)
    , m_coordinator(this, viewModel)
    , m_loadTimer(new platform::MainWorkItem(this))
    , m_fetchTimer(new platform::MainWorkItem(this))
    , m_downloadTimer(new platform::MainWorkItem(this))
{
    auto *page = new QWebEnginePage(scholarProfile(), this);
    // A PDF on display is shown by the engine's own viewer, not downloaded,
    // so that its address is the page's and can be fetched.
    page->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    page->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);

    // Messages are handled once the channel's own call has returned, so that
    // a dialog they open does not run inside it.
    localweb::MessagePort *port = localweb::publishMessagePort(page, kMessageHandler, kFetchWorld);
    connect(port, &localweb::MessagePort::received, this,
            [this](const QString &text) { platform::runOnMain(this, [this, text] { portMessage(text); }); });

    // A render process that never ran keeps later web views from starting.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [](const QWebEnginePage::RenderProcessTerminationStatus &status) {
                if (platform::renderProcessNeverStarted(platform::terminationStatusValue(status)))
                    platform::noteRenderProcessNeverStarted();
            });
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        loadingChanged(int(info.status()), info.url(), info.errorString(), int(info.errorDomain()), info.errorCode());
    });
    // Each step of a load gives it the whole timeout again.
    connect(page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        if (!m_loading)
            return;
        m_loadTimer->schedule(m_loadTimeout / 1000.0, [this] { timeOut(); });
        emit loadProgressChanged(progress);
    });
    // The profile tells every browser of each download; each takes those of
    // its own page.
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this, &WebView::downloadRequested);
    // A link or script that asks for a new window opens in this one.
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) { loadAddress(request.requestedUrl()); });
    setPage(page);
    setURL(url);
}

WebView::~WebView()
{
    // The engine stops writing before the folder goes.
    if (m_download && m_download->request && !m_download->request->isFinished()) {
        m_download->request->disconnect(this);
        m_download->request->cancel();
    }
}

void WebView::setURL(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    loadAddress(url);
}

void WebView::loadAddress(const QUrl &url)
{
    load(url);
}

void WebView::loadingChanged(int status, const QUrl &address, const QString &error, int errorDomain, int errorCode)
{
    switch (status) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        // A page to come takes the place of a download's PDF.
        m_held.reset();
        m_loadingAddress = address;
        setLoading(true);
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus: {
        // A load stopped (by the timeout, or by another load) leaves on
        // display the page before it, or as much of its own page as came.
        const bool stopped = status == QWebEngineLoadingInfo::LoadStoppedStatus
            || (errorDomain != QWebEngineLoadingInfo::HttpStatusCodeDomain && errorCode == kAbortedError);
        if (stopped && !m_timedOut.isEmpty() && address == m_timedOut) {
            // The timeout has told of it already.
            m_timedOut.clear();
            return;
        }
        setLoading(false);
        if (stopped) {
            m_coordinator.didStop(page()->url(), address, error.isEmpty() ? QStringLiteral("stopped") : error.simplified());
            emit currentURLChanged();
            return;
        }
        // The body of an HTTP error page is the site's own HTML: the line
        // names the status alone.
        const QString description = errorDomain == QWebEngineLoadingInfo::HttpStatusCodeDomain
            ? QStringLiteral("HTTP %1").arg(errorCode)
            : error.simplified();
        m_coordinator.didFail(address.isEmpty() ? page()->url() : address, description);
        emit currentURLChanged();
        return;
    }
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        setLoading(false);
        m_coordinator.didFinish(page()->url().isEmpty() ? address : page()->url());
        emit currentURLChanged();
        return;
    }
}

void WebView::setLoading(bool loading)
{
    if (loading)
        m_loadTimer->schedule(m_loadTimeout / 1000.0, [this] { timeOut(); });
    else
        m_loadTimer->cancel();
    if (loading == m_loading)
        return;
    m_loading = loading;
    emit loadingStateChanged(loading);
}

void WebView::timeOut()
{
    if (!m_loading)
        return;
    const QUrl address = m_loadingAddress;
    setLoading(false);
    m_timedOut = address;
    stop();
    m_coordinator.didStop(page()->url(), address,
                          QStringLiteral("timed out after %1 s without an answer: ").arg(m_loadTimeout / 1000.0)
                              + address.toString(QUrl::FullyEncoded));
    emit currentURLChanged();
    emit loadTimedOut(address);
}

// ---- Fetches -------------------------------------------------------------------

bool WebView::fetch(const QUrl &url, const QString &action)
{
    if (m_fetch)
        return false;
    m_fetch = Fetch{QUuid::createUuid().toString(QUuid::WithoutBraces), action, url};
    const QString id = m_fetch->id;
    m_fetchTimer->schedule(m_loadTimeout / 1000.0, [this] { fetchTimeOut(); });
    emit fetchingChanged(true);
    emit fetchProgressChanged(-1);
    QPointer<WebView> view(this);
    page()->runJavaScript(fetchScript(url, action, id, m_fetchLimit), kFetchWorld, [view, id](const QVariant &result) {
        if (!view || result.typeId() != QMetaType::QString)
            return;
        view->m_coordinator.print(QStringLiteral("Error during JavaScript execution: ") + result.toString());
        view->fetchFailed(id, result.toString());
    });
    return true;
}

void WebView::portMessage(const QString &text)
{
    const QJsonDocument json = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject body = json.object();
    // Only the fetch under way is heard: a stopped one's late word is not.
    if (!m_fetch || body.value(QLatin1String("id")).toString() != m_fetch->id)
        return;
    if (body.contains(QLatin1String("loaded"))) {
        m_fetchTimer->schedule(m_loadTimeout / 1000.0, [this] { fetchTimeOut(); });
        const double loaded = body.value(QLatin1String("loaded")).toString().toDouble();
        const double total = body.value(QLatin1String("total")).toString().toDouble();
        emit fetchProgressChanged(total > 0 ? int(std::clamp(loaded / total, 0.0, 1.0) * 100) : -1);
        return;
    }
    finishFetch(body);
}

void WebView::fetchFailed(const QString &id, const QString &error)
{
    if (!m_fetch || m_fetch->id != id)
        return;
    finishFetch(QJsonObject{{QStringLiteral("base64"), QString()},
                            {QStringLiteral("action"), m_fetch->action},
                            {QStringLiteral("url"), m_fetch->address.toString(QUrl::FullyEncoded)},
                            {QStringLiteral("error"), error}});
}

void WebView::finishFetch(const QJsonValue &body)
{
    m_fetchTimer->cancel();
    // The buttons wait until the dialogs of the bytes have closed.
    const QPointer<WebView> self(this);
    m_coordinator.userContentController(kMessageHandler, body);
    if (self)
        endFetch();
}

void WebView::fetchTimeOut()
{
    if (!m_fetch)
        return;
    const Fetch fetch = *m_fetch;
    page()->runJavaScript(fetchStopScript(fetch.id), kFetchWorld);
    endFetch();
    emit fetchTimedOut(fetch.address);
}

void WebView::endFetch()
{
    if (!m_fetch)
        return;
    m_fetchTimer->cancel();
    m_fetch.reset();
    emit fetchingChanged(false);
}

} // namespace folvan::scholar

namespace folvan::scholar {

// ---- Downloads -----------------------------------------------------------------

void WebView::downloadRequested(QWebEngineDownloadRequest *request)
{
    if (request->page() != page() || request->isSavePageDownload())
        return;
    // The download asked for last is the one the reader wants.
    if (m_download)
        stopDownload(QString(), true);
    m_held.reset();
    const QUrl address = request->url();
    m_coordinator.print(QStringLiteral("Download requested: ") + address.toString(QUrl::FullyEncoded));
    // One not accepted is dropped by the engine.
    if (request->totalBytes() > m_fetchLimit)
        return emit downloadEnded(fetchFailureText(QStringLiteral("tooLarge"), m_fetchLimit), address, true);
    removeEmptyDownloadFolders();
    auto download = std::make_unique<Download>();
    if (!download->folder.isValid())
        return emit downloadEnded(QStringLiteral("无法下载网站给出的文件（%1）：").arg(download->folder.errorString()),
                                  address, true);
    download->request = request;
    download->address = address;
    download->name = request->suggestedFileName();
    request->setDownloadDirectory(download->folder.path());
    request->setDownloadFileName(QStringLiteral("download"));
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, &WebView::downloadProgressed);
    connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, &WebView::downloadProgressed);
    connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, &WebView::downloadFinished);
    m_download = std::move(download);
    request->accept();
    awaitDownloadProgress();
    emit downloadingChanged(true);
    emit downloadProgressChanged(-1);
}

// A download that goes the load timeout without progress is stopped.
void WebView::awaitDownloadProgress()
{
    m_downloadTimer->schedule(m_loadTimeout / 1000.0, [this] {
        stopDownload(QStringLiteral("下载在 %1 秒内没有进展，已停止：").arg(m_loadTimeout / 1000.0), true);
    });
}

void WebView::downloadProgressed()
{
    if (!m_download || !m_download->request)
        return;
    const qint64 received = m_download->request->receivedBytes();
    const qint64 total = m_download->request->totalBytes();
    if (received > m_fetchLimit || total > m_fetchLimit)
        return stopDownload(fetchFailureText(QStringLiteral("tooLarge"), m_fetchLimit), true);
    awaitDownloadProgress();
    emit downloadProgressChanged(total > 0 ? int(std::clamp(double(received) / double(total), 0.0, 1.0) * 100) : -1);
}

void WebView::downloadFinished()
{
    if (!m_download || !m_download->request || !m_download->request->isFinished())
        return;
    const QWebEngineDownloadRequest *request = m_download->request;
    if (request->state() != QWebEngineDownloadRequest::DownloadCompleted) {
        const QString reason = request->interruptReasonString();
        return stopDownload(QStringLiteral("下载没有完成（%1）：").arg(reason.isEmpty() ? QStringLiteral("已取消") : reason), true);
    }
    QFile file(QDir(request->downloadDirectory()).filePath(request->downloadFileName()));
    if (file.size() > m_fetchLimit)
        return stopDownload(fetchFailureText(QStringLiteral("tooLarge"), m_fetchLimit), true);
    if (!file.open(QIODevice::ReadOnly))
        return stopDownload(QStringLiteral("无法读取下载的文件（%1）：").arg(file.errorString()), true);
    const QByteArray bytes = file.readAll();
    const QString name = m_download->name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
        ? m_download->name
        : suggestedPDFName(m_download->address);
    m_coordinator.print(QStringLiteral("Download finished: %1 (%2 bytes)")
                            .arg(m_download->address.toString(QUrl::FullyEncoded))
                            .arg(bytes.size()));
    if (!looksLikePDF(bytes))
        return stopDownload(QStringLiteral("网站给出的“%1”不是 PDF，没有保留：").arg(m_download->name), true);
    m_held = HeldPDF{bytes, m_download->address, name};
    stopDownload(QStringLiteral("已下载 PDF“%1”（%2），可用“保存 PDF”或“替换”：")
                     .arg(name, QLocale::c().formattedDataSize(bytes.size(), 1, QLocale::DataSizeTraditionalFormat)),
                 false);
}

void WebView::stopDownload(const QString &message, bool failed)
{
    if (!m_download)
        return;
    const std::unique_ptr<Download> download = std::move(m_download);
    m_downloadTimer->cancel();
    if (download->request) {
        download->request->disconnect(this);
        if (!download->request->isFinished())
            download->request->cancel();
    }
    if (failed && !message.isEmpty())
        m_coordinator.print(QStringLiteral("Download failed: ") + download->address.toString(QUrl::FullyEncoded));
    emit downloadingChanged(false);
    if (!message.isEmpty())
        emit downloadEnded(message, download->address, failed);
}

bool WebView::useHeldPDF(const QString &action)
{
    if (!m_held || m_fetch)
        return false;
    const HeldPDF held = *m_held;
    m_fetch = Fetch{QUuid::createUuid().toString(QUuid::WithoutBraces), action, held.address};
    emit fetchingChanged(true);
    // The buttons wait until the dialogs of the bytes have closed.
    const QPointer<WebView> self(this);
    if (action == kReplaceAction)
        m_coordinator.replaceWithBytes(held.bytes, held.address);
    else
        m_coordinator.saveBytes(held.bytes, held.name);
    if (self)
        endFetch();
    return true;
}

} // namespace folvan::scholar
