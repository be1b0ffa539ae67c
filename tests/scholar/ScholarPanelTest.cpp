#include "support/OpenInModel.h"
#include "scholar/GGView.h"

#include "ScholarTestSupport.h"
#include "model/SharedPDFViewModel.h"
#include "support/TestEnv.h"
#include "support/HeldDataFolder.h"
#include "scholar/ScholarRules.h"
#include "scholar/WebView.h"

#include "engine/PdfDocument.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QUuid>

#include <ctime>

#include <sys/time.h>

using namespace folvan;

namespace {

// A web server on the loopback address only: "/" is a page whose own
// script tries to reach the native handler, "/paper.pdf" and "/a.pdf" a
// PDF, "/cut.pdf" its first 60 %, "/missing.pdf" an HTML error page with
// status 404, "/hang" a request never answered, "/slow.pdf" the PDF the
// first time and then only its first half, "/partial" the start of a page,
// both held open, "/attached" the PDF and "/attached.zip" some other bytes
// as downloads (attachments), any other path a page naming it; each
// request's User-Agent is kept.
class LoopbackServer : public QObject {
public:
    explicit LoopbackServer(QByteArray pdf) : m_pdf(std::move(pdf))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    QStringList userAgents;
    // How many requests for `path` came.
    int requests(const QString &path) const { return m_served.value(path); }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = request.split('\n');
        const QByteArray target = lines.value(0).split(' ').value(1);
        for (const QByteArray &line : lines)
            if (line.toLower().startsWith("user-agent:"))
                userAgents << QString::fromLatin1(line.mid(11).trimmed());
        m_requests.remove(socket);
        ++m_served[QString::fromLatin1(target)];
        if (target == "/hang")
            return;
        const bool held = (target == "/slow.pdf" && m_served.value(QStringLiteral("/slow.pdf")) > 1) || target == "/partial";
        if (held) {
            const QByteArray body = target == "/partial" ? QByteArray("<html><body><p>partial</p>") : m_pdf;
            const QByteArray type = target == "/partial" ? "text/html" : "application/pdf";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
                          + QByteArray::number(body.size() * 2) + "\r\n\r\n" + body);
            return;
        }
        QByteArray status = "200 OK";
        QByteArray type = "text/html; charset=utf-8";
        QByteArray body;
        QByteArray disposition;
        if (target == "/attached" || target == "/attached.zip") {
            const bool pdf = target == "/attached";
            type = pdf ? "application/pdf" : "application/zip";
            body = pdf ? m_pdf : QByteArray("PK\x03\x04 no archive");
            disposition = "Content-Disposition: attachment; filename=\"" + QByteArray(pdf ? "paper-7.pdf" : "data.zip") + "\"\r\n";
        } else if (target == "/") {
            body = "<html><body><p>Results</p><script>"
                   "try { window.webkit.messageHandlers.myInterface.postMessage({base64: 'JVBERi0=', action: 'download'}); } catch (e) {}"
                   "try { qt.webChannelTransport.send('{}'); } catch (e) {}"
                   "</script></body></html>";
        } else if (target == "/paper.pdf" || target == "/a.pdf" || target == "/slow.pdf") {
            type = "application/pdf";
            body = m_pdf;
        } else if (target == "/cut.pdf") {
            type = "application/pdf";
            body = m_pdf.left(m_pdf.size() * 6 / 10);
        } else if (target == "/missing.pdf") {
            status = "404 Not Found";
            body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
                   "<p>The requested URL was not found on this server.</p></body></html>";
        } else {
            body = "<html><body>" + target + "</body></html>";
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\n" + disposition + "Content-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_pdf;
    QHash<QTcpSocket *, QByteArray> m_requests;
    QHash<QString, int> m_served;
};

QVariant runInWorld(QWebEnginePage *page, quint32 world, const QString &script)
{
    std::optional<QVariant> result;
    page->runJavaScript(script, world, [&](const QVariant &value) { result = value; });
    EXPECT_TRUE(test::waitFor([&] { return result.has_value(); })) << "the script gave no answer";
    return result.value_or(QVariant());
}

QVariant runInMainWorld(QWebEnginePage *page, const QString &script)
{
    return runInWorld(page, QWebEngineScript::MainWorld, script);
}

class ScholarPanelTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        // The browsers' lasting profile is made once, in the folder of the
        // whole run, which outlives each test's own.
        scholar::scholarProfile();
        TempHomeTest::SetUp();
    }
};

} // namespace

// The fetch script gets the bytes the server sends, exactly, with the
// page's own connection; the page's scripts cannot reach the handler.
TEST_F(ScholarPanelTest, FetchDeliversTheServedBytesAndThePageCannotReachTheHandler)
{
    const QByteArray pdf = test::pdfBytes(3);
    LoopbackServer server(pdf);
    model::SharedPDFViewModel model;
    scholar::GGView panel(server.url(QStringLiteral("/")), &model);
    auto prompts = std::make_shared<test::FakePrompts>();
    QStringList output;
    panel.webView()->coordinator().setPrompts(prompts);
    panel.webView()->coordinator().setOutput([&](const QString &line) { output << line; });
    panel.resize(500, 520);
    panel.show();
    EXPECT_EQ(panel.urlBarText(), server.url(QStringLiteral("/")).toString());

    // Nothing can be fetched before a page has finished loading.
    panel.button(scholar::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL().has_value(); }));
    EXPECT_EQ(*panel.currentURL(), server.url(QStringLiteral("/")));
    EXPECT_EQ(output.value(0), QStringLiteral("Finished loading content for ") + server.url(QStringLiteral("/")).toString());

    EXPECT_EQ(runInMainWorld(panel.webView()->page(),
                             QStringLiteral("[typeof window.webkit, typeof qt, typeof QWebChannel].join(' ')"))
                  .toString(),
              QStringLiteral("undefined undefined undefined"));

    prompts->savePath = path(QStringLiteral("first.pdf"));
    panel.fetchPDFViaJS(server.url(QStringLiteral("/paper.pdf")), scholar::kDownloadAction);
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(*prompts->savePath); }));
    EXPECT_EQ(test::readTestFile(*prompts->savePath), pdf);
    // The page's own attempt never arrived: one save panel, for the fetch.
    EXPECT_EQ(prompts->suggestedNames, QStringList{QStringLiteral("downloaded.pdf")});

    // A PDF on display is fetched from its own address, under its own name.
    panel.webView()->loadAddress(server.url(QStringLiteral("/paper.pdf")));
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/paper.pdf")); }))
        << output.join(QLatin1Char('\n')).toStdString();
    prompts->savePath = path(QStringLiteral("second.pdf"));
    panel.button(scholar::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(*prompts->savePath); }));
    EXPECT_EQ(test::readTestFile(*prompts->savePath), pdf);
    EXPECT_EQ(prompts->suggestedNames.value(1), QStringLiteral("paper.pdf"));

    // The engine's own user agent with the browser's name after it.
    ASSERT_FALSE(server.userAgents.isEmpty());
    EXPECT_TRUE(server.userAgents.first().endsWith(QLatin1Char(' ') + scholar::kUserAgentApplicationName));
    EXPECT_TRUE(server.userAgents.first().contains(QLatin1String("QtWebEngine")));
    QWebEngineProfile *profile = panel.webView()->page()->profile();
    EXPECT_FALSE(profile->isOffTheRecord());
    EXPECT_EQ(profile->storageName(), QStringLiteral("scholar"));
}

// A reader that finds the data folder held by another browses with a
// profile in memory, so that nothing of the browser lands in that folder;
// once it holds the folder itself, new browsers keep their sign-ins again.
TEST_F(ScholarPanelTest, AReadOnlyReaderBrowsesWithoutWritingTheDataFolder)
{
    LoopbackServer server(test::pdfBytes(1));
    model::SharedPDFViewModel model;
    {
        test::HeldDataFolder held;
        scholar::GGView panel(server.url(QStringLiteral("/")), &model);
        panel.show();
        ASSERT_TRUE(test::waitFor([&] { return panel.currentURL().has_value(); }));
        EXPECT_TRUE(panel.webView()->page()->profile()->isOffTheRecord());
        // A PDF sent as a download is taken all the same.
        panel.webView()->loadAddress(server.url(QStringLiteral("/attached")));
        EXPECT_TRUE(test::waitFor([&] { return panel.webView()->heldPDF().has_value(); }));
        const QDir data(platform::folvanDataFolder());
        EXPECT_EQ(data.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{platform::DataFolderAccess::lockFileName()});

        held.otherQuits();
        ASSERT_TRUE(platform::DataFolderAccess::shared().retry());
        scholar::GGView later(server.url(QStringLiteral("/")), &model);
        EXPECT_FALSE(later.webView()->page()->profile()->isOffTheRecord());
    }
}

// The field follows each finished page unless the user is typing in it; a
// typed address is loaded, as is another search address and a page's
// new-window request.
TEST_F(ScholarPanelTest, AddressFieldFollowsThePageAndLoadsWhatIsTyped)
{
    LoopbackServer server(test::pdfBytes(1));
    model::SharedPDFViewModel model;
    scholar::GGView panel(server.url(QStringLiteral("/")), &model);
    QStringList output;
    panel.webView()->coordinator().setOutput([&](const QString &line) { output << line; });
    panel.resize(500, 520);
    panel.show();
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/")); }));

    const QString typed = QStringLiteral("  HTTP://127.0.0.1:%1/other ").arg(server.url(QString()).port());
    panel.addressField()->setText(typed);
    emit panel.addressField()->textEdited(typed);
    EXPECT_TRUE(panel.isEditingURL());
    emit panel.addressField()->returnPressed();
    EXPECT_FALSE(panel.isEditingURL());
    EXPECT_EQ(panel.urlBarText(), typed);
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/other")); }))
        << output.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(panel.urlBarText(), server.url(QStringLiteral("/other")).toString());

    // While the user edits, a finished page leaves the text alone.
    const QString before = panel.urlBarText();
    emit panel.addressField()->textEdited(before);
    panel.setSearchURL(server.url(QStringLiteral("/again")));
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/again")); }));
    EXPECT_EQ(panel.urlBarText(), before);

    // A page that asks for a new window gets its address in this one.
    runInMainWorld(panel.webView()->page(), QStringLiteral("window.open('/opened'); true"));
    EXPECT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/opened")); }));
}

namespace {

// A panel on `start` beside a pane with a paper open, its dialogs and
// output seen by the test.
struct PanelWithPaper {
    PanelWithPaper(const QUrl &start, const QString &paperPath)
        : paper(paperPath), panel(start, &model)
    {
        oldBytes = test::pdfBytes(5, QStringLiteral("Old"));
        test::writeTestFile(paper, oldBytes);
        test::openAndShowInModel(model, engine::PdfDocument::open(paper), QUrl::fromLocalFile(paper));
        panel.webView()->coordinator().setPrompts(prompts);
        panel.webView()->coordinator().setOutput([this](const QString &line) { output << line; });
        panel.resize(500, 520);
        panel.show();
    }
    QString log() const { return output.join(QLatin1Char('\n')); }

    QString paper;
    QByteArray oldBytes;
    model::SharedPDFViewModel model;
    scholar::GGView panel;
    std::shared_ptr<test::FakePrompts> prompts = std::make_shared<test::FakePrompts>();
    QStringList output;
};

} // namespace

// After a page fails (the site's 404 page is on display), save, replace and
// the address act on that page, never on the one shown before it.
TEST_F(ScholarPanelTest, AfterAFailedLoadTheButtonsActOnThePageOnDisplay)
{
    LoopbackServer server(test::pdfBytes(3));
    PanelWithPaper scene(server.url(QStringLiteral("/a.pdf")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/a.pdf")); }))
        << scene.log().toStdString();

    const QString typed = server.url(QStringLiteral("/missing.pdf")).toString();
    panel.addressField()->setText(typed);
    emit panel.addressField()->returnPressed();
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/missing.pdf")); }))
        << scene.log().toStdString();
    EXPECT_EQ(panel.urlBarText(), typed);
    // The log names the status, not the page's HTML.
    EXPECT_TRUE(scene.output.contains(QStringLiteral("Failed to load content: HTTP 404"))) << scene.log().toStdString();
    EXPECT_FALSE(scene.log().contains(QLatin1Char('<')));

    scene.prompts->savePath = path(QStringLiteral("saved.pdf"));
    panel.button(scholar::GGView::Button::save)->click();
    panel.button(scholar::GGView::Button::replace)->click();
    // Each click ends in its alert; a prompt or a write would come before it.
    ASSERT_TRUE(test::waitFor([&] { return scene.prompts->alerts.size() >= 2; }));
    ASSERT_EQ(scene.prompts->alerts.size(), 2);
    EXPECT_EQ(scene.prompts->alerts.value(0),
              QStringLiteral("无法获取 PDF|当前网页没有加载成功（HTTP 404），没有可保存的 PDF。"));
    EXPECT_TRUE(scene.prompts->alerts.value(1).endsWith(QStringLiteral("没有可替换的 PDF。")));
    EXPECT_TRUE(scene.prompts->suggestedNames.isEmpty());
    EXPECT_TRUE(scene.prompts->confirmations.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(*scene.prompts->savePath));
    EXPECT_EQ(test::readTestFile(scene.paper), scene.oldBytes);
}

// Only a whole PDF takes the paper's place: a cut-off download, an error
// page and a download over the size limit are refused with their reason,
// and the paper stays as it was; a good one sends the paper to the trash.
TEST_F(ScholarPanelTest, ReplaceTakesOnlyAWholePdfAndKeepsTheOldPaperInTheTrash)
{
    const QByteArray pdf = test::pdfBytes(20, QStringLiteral("New"));
    LoopbackServer server(pdf);
    PanelWithPaper scene(server.url(QStringLiteral("/")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL().has_value(); })) << scene.log().toStdString();
    QStringList &alerts = scene.prompts->alerts;

    panel.fetchPDFViaJS(server.url(QStringLiteral("/cut.pdf")), scholar::kReplaceAction);
    ASSERT_TRUE(test::waitFor([&] { return alerts.size() == 1; }));
    EXPECT_TRUE(alerts.value(0).startsWith(QStringLiteral("无效 PDF|下载的 PDF 不完整或已损坏"))) << alerts.value(0).toStdString();

    panel.fetchPDFViaJS(server.url(QStringLiteral("/missing.pdf")), scholar::kReplaceAction);
    ASSERT_TRUE(test::waitFor([&] { return alerts.size() == 2; }));
    EXPECT_EQ(alerts.value(1), QStringLiteral("下载失败|网站没有给出文件（HTTP 404）。当前 PDF 没有改动。"));

    panel.webView()->setFetchLimit(pdf.size() / 2);
    panel.fetchPDFViaJS(server.url(QStringLiteral("/a.pdf")), scholar::kReplaceAction);
    ASSERT_TRUE(test::waitFor([&] { return alerts.size() == 3; }));
    panel.webView()->setFetchLimit(scholar::kMaxFetchBytes);
    EXPECT_TRUE(alerts.value(2).startsWith(QStringLiteral("下载失败|文件超过 ")));
    EXPECT_TRUE(scene.prompts->confirmations.isEmpty());
    EXPECT_EQ(test::readTestFile(scene.paper), scene.oldBytes);

    // While the question is open, the buttons say a replace is under way
    // and a second press asks nothing more.
    QStringList buttonsDuringQuestion;
    scene.prompts->duringConfirmation = [&] {
        QPushButton *replace = panel.button(scholar::GGView::Button::replace);
        QPushButton *save = panel.button(scholar::GGView::Button::save);
        buttonsDuringQuestion << replace->text() << QString::number(replace->isEnabled()) << QString::number(save->isEnabled());
        replace->click();
        save->click();
    };
    panel.fetchPDFViaJS(server.url(QStringLiteral("/a.pdf")), scholar::kReplaceAction);
    ASSERT_TRUE(test::waitFor([&] { return !scene.prompts->informs.isEmpty(); })) << alerts.join('\n').toStdString();
    EXPECT_EQ(buttonsDuringQuestion, (QStringList{QStringLiteral("替换中…"), QStringLiteral("0"), QStringLiteral("0")}));
    EXPECT_TRUE(panel.button(scholar::GGView::Button::replace)->isEnabled());
    EXPECT_EQ(panel.button(scholar::GGView::Button::replace)->text(), QStringLiteral("替换"));
    EXPECT_FALSE(panel.webView()->isFetching());
    EXPECT_EQ(test::readTestFile(scene.paper), pdf);
    EXPECT_TRUE(scene.prompts->confirmations.value(0).contains(server.url(QStringLiteral("/a.pdf")).toString()));
    EXPECT_EQ(test::readTestFile(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                 + QStringLiteral("/Trash/files/Paper.pdf")),
              scene.oldBytes);
    // One for the download over the limit, one for this.
    EXPECT_EQ(server.requests(QStringLiteral("/a.pdf")), 2);
    EXPECT_EQ(scene.prompts->confirmations.size(), 1);
    EXPECT_EQ(alerts.size(), 3);
}

// A server that takes the request and never answers: the line under the
// toolbar runs, and when the timeout passes the load stops with a message.
TEST_F(ScholarPanelTest, ALoadWithoutAnAnswerShowsItsProgressAndStopsAtTheTimeout)
{
    LoopbackServer server(test::pdfBytes(1));
    PanelWithPaper scene(server.url(QStringLiteral("/")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL().has_value(); }));
    EXPECT_EQ(panel.webView()->loadTimeout(), 60000);
    EXPECT_FALSE(panel.loadingLine()->isVisible());

    platform::ManualClock clock;
    panel.webView()->loadAddress(server.url(QStringLiteral("/hang")));
    ASSERT_TRUE(test::waitFor([&] { return server.requests(QStringLiteral("/hang")) == 1 && panel.loadingLine()->isVisible(); }));
    clock.advance(59);
    EXPECT_TRUE(panel.webView()->isLoading());
    EXPECT_FALSE(panel.messageLine()->isVisible());
    clock.advance(1);
    EXPECT_TRUE(panel.messageLine()->isVisible()) << scene.log().toStdString();
    EXPECT_FALSE(panel.loadingLine()->isVisible());
    EXPECT_FALSE(panel.webView()->isLoading());
    EXPECT_EQ(panel.messageLine()->text(), QStringLiteral("网页在 60 秒内没有响应，已停止加载：")
                                               + server.url(QStringLiteral("/hang")).toString());
    EXPECT_TRUE(scene.log().contains(QStringLiteral("Failed to load content: timed out"))) << scene.log().toStdString();
    // The page before it stays on display, and the buttons act on it.
    EXPECT_EQ(panel.currentURL(), server.url(QStringLiteral("/")));
    EXPECT_FALSE(panel.webView()->coordinator().currentFailure());

    // The next load takes the message away.
    panel.webView()->loadAddress(server.url(QStringLiteral("/next")));
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/next")); }));
    EXPECT_FALSE(panel.messageLine()->isVisible());
}

// Whatever the engine gave the page's fetch world at the document's start
// (after an error page, a PDF on display got nothing), the fetch reaches
// the panel; what fails inside it, or keeps it from starting, is said.
TEST_F(ScholarPanelTest, AFetchAndItsFailuresReachThePanelInAnyPage)
{
    const QByteArray pdf = test::pdfBytes(3);
    LoopbackServer server(pdf);
    PanelWithPaper scene(server.url(QStringLiteral("/a.pdf")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/a.pdf")); }));
    const auto inFetchWorld = [&](const QString &script) {
        return runInWorld(panel.webView()->page(), scholar::WebView::kFetchWorld, script).toString();
    };
    const QString bare = QStringLiteral("for (var name of Object.getOwnPropertyNames(window))"
                                        "  if (name.startsWith('__folvan') || name === 'webkit' || name === 'QWebChannel')"
                                        "    delete window[name];"
                                        "String(typeof window.webkit) + typeof window.QWebChannel");
    ASSERT_EQ(inFetchWorld(bare), QStringLiteral("undefinedundefined"));
    scene.prompts->savePath = path(QStringLiteral("saved.pdf"));
    panel.button(scholar::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(*scene.prompts->savePath); })) << scene.log().toStdString();
    EXPECT_EQ(test::readTestFile(*scene.prompts->savePath), pdf);

    inFetchWorld(QStringLiteral("window.btoa = function () { throw new Error('no encoder'); }; ''"));
    panel.button(scholar::GGView::Button::replace)->click();
    ASSERT_TRUE(test::waitFor([&] { return !scene.prompts->alerts.isEmpty(); }));
    EXPECT_EQ(scene.prompts->alerts.takeFirst(),
              QStringLiteral("下载失败|无法在当前网页中获取 PDF（Error: no encoder）。当前 PDF 没有改动。"));
    EXPECT_TRUE(test::waitFor([&] { return panel.button(scholar::GGView::Button::replace)->isEnabled(); }));

    ASSERT_EQ(inFetchWorld(bare + QStringLiteral("; delete window.qt; typeof window.qt")), QStringLiteral("undefined"));
    panel.button(scholar::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return !scene.prompts->alerts.isEmpty(); }));
    EXPECT_EQ(scene.prompts->alerts.takeFirst(),
              QStringLiteral("下载失败|无法在当前网页中获取 PDF（the page has no message channel）。"));
    EXPECT_TRUE(scene.output.contains(QStringLiteral("Error during JavaScript execution: the page has no message channel")));
    EXPECT_TRUE(test::waitFor([&] { return panel.button(scholar::GGView::Button::save)->isEnabled(); }));
    EXPECT_EQ(test::readTestFile(scene.paper), scene.oldBytes);
}

// The page is a PDF, but the server holds the fetch of it open: the line
// under the toolbar runs, the buttons say a fetch is under way and take no
// second press, and without progress for the timeout the fetch stops with a
// message.
TEST_F(ScholarPanelTest, AFetchHeldOpenShowsItRunsAndStopsAtTheTimeout)
{
    LoopbackServer server(test::pdfBytes(3));
    PanelWithPaper scene(server.url(QStringLiteral("/slow.pdf")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    const QUrl slow = server.url(QStringLiteral("/slow.pdf"));
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == slow; })) << scene.log().toStdString();
    QPushButton *replace = panel.button(scholar::GGView::Button::replace);
    QPushButton *save = panel.button(scholar::GGView::Button::save);
    std::vector<int> progress;
    QObject::connect(panel.webView(), &scholar::WebView::fetchProgressChanged, [&](int percent) { progress.push_back(percent); });

    platform::ManualClock clock;
    replace->click();
    EXPECT_EQ(replace->text(), QStringLiteral("替换中…"));
    EXPECT_FALSE(replace->isEnabled());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(panel.loadingLine()->isVisible());
    // Half of the bytes came, then nothing more.
    ASSERT_TRUE(test::waitFor([&] { return !progress.empty() && progress.back() == 50; })) << scene.log().toStdString();
    EXPECT_EQ(panel.loadingLine()->value(), 50);
    replace->click();
    panel.fetchPDFViaJS(slow, scholar::kDownloadAction);
    EXPECT_EQ(panel.webView()->fetchAction(), scholar::kReplaceAction);

    clock.advance(59);
    EXPECT_TRUE(panel.webView()->isFetching());
    EXPECT_FALSE(panel.messageLine()->isVisible());
    clock.advance(1);
    EXPECT_FALSE(panel.webView()->isFetching());
    EXPECT_TRUE(panel.messageLine()->isVisible());
    EXPECT_EQ(panel.messageLine()->text(), QStringLiteral("获取 PDF 在 60 秒内没有进展，已停止：") + slow.toString());
    EXPECT_FALSE(panel.loadingLine()->isVisible());
    EXPECT_TRUE(replace->isEnabled());
    EXPECT_EQ(replace->text(), QStringLiteral("替换"));
    EXPECT_TRUE(scene.prompts->alerts.isEmpty());
    EXPECT_TRUE(scene.prompts->confirmations.isEmpty());
    EXPECT_EQ(server.requests(QStringLiteral("/slow.pdf")), 2);
    EXPECT_EQ(test::readTestFile(scene.paper), scene.oldBytes);
}

// An address with no break points is fitted to the message line, cut in
// the middle, so that its end and the "…" are seen at every width of the
// panel, and again when the panel changes width.
TEST_F(ScholarPanelTest, AnAddressWithoutBreakPointsIsCutToTheMessageLine)
{
    LoopbackServer server(test::pdfBytes(3));
    PanelWithPaper scene(server.url(QStringLiteral("/a.pdf")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/a.pdf")); }));
    const QUrl address(QStringLiteral("http://127.0.0.1:9/hold.pdf?x=") + QString(400, QLatin1Char('A')) + QStringLiteral("END"));
    QLabel *line = panel.messageLine();
    const auto fits = [&] {
        const QStringList lines = line->text().split(QLatin1Char('\n'));
        return line->fontMetrics().horizontalAdvance(lines.last()) <= line->contentsRect().width()
            && lines.last().endsWith(QStringLiteral("AEND")) && lines.last().count(QChar(0x2026)) == 1
            && line->geometry().right() < panel.width();
    };
    for (const int width : {420, 560, 700}) {
        panel.resize(width, 520);
        emit panel.webView()->fetchTimedOut(address);
        ASSERT_TRUE(test::waitFor([&] { return line->isVisible() && fits(); }))
            << width << " " << line->text().toStdString();
        EXPECT_TRUE(line->text().startsWith(QStringLiteral("获取 PDF 在 60 秒内没有进展，已停止：")));
    }
    panel.resize(420, 520);
    EXPECT_TRUE(test::waitFor([&] { return line->width() <= 420 && fits(); })) << line->text().toStdString();
}

// A page that began to show and never finishes: while it loads the buttons
// fetch nothing (the page before it is no longer the one on display), and
// once it is stopped they act on it, refused as an error page is.
TEST_F(ScholarPanelTest, APageThatNeverFinishesIsRefusedWhileItLoadsAndAfterItsStop)
{
    LoopbackServer server(test::pdfBytes(3));
    PanelWithPaper scene(server.url(QStringLiteral("/a.pdf")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/a.pdf")); }));

    platform::ManualClock clock;
    const QUrl partial = server.url(QStringLiteral("/partial"));
    panel.webView()->loadAddress(partial);
    ASSERT_TRUE(test::waitFor([&] {
        return runInMainWorld(panel.webView()->page(), QStringLiteral("document.body ? document.body.textContent : ''"))
                   .toString() == QStringLiteral("partial");
    }));
    panel.button(scholar::GGView::Button::replace)->click();
    EXPECT_EQ(scene.prompts->alerts.value(0), QStringLiteral("无法获取 PDF|当前网页还没有加载完，没有可替换的 PDF。"));

    clock.advance(60);
    EXPECT_EQ(panel.currentURL(), partial) << scene.log().toStdString();
    EXPECT_EQ(panel.urlBarText(), partial.toString());
    panel.button(scholar::GGView::Button::save)->click();
    EXPECT_EQ(scene.prompts->alerts.value(1),
              QStringLiteral("无法获取 PDF|当前网页没有加载成功（加载没有完成，已停止），没有可保存的 PDF。"));
    EXPECT_TRUE(scene.prompts->confirmations.isEmpty());
    EXPECT_TRUE(scene.prompts->suggestedNames.isEmpty());
    EXPECT_EQ(server.requests(QStringLiteral("/a.pdf")), 1);
}

// A PDF the site gives as a download (an attachment), typed or followed
// from a page, is downloaded and is what save and replace take; a download
// that is no PDF or is over the limit is told of, and the buttons act on
// the page on display again.
TEST_F(ScholarPanelTest, APdfServedAsADownloadIsSavedOrReplacesThePaper)
{
    const QByteArray pdf = test::pdfBytes(4, QStringLiteral("Attached"));
    LoopbackServer server(pdf);
    PanelWithPaper scene(server.url(QStringLiteral("/")), path(QStringLiteral("papers/Paper.pdf")));
    scholar::GGView &panel = scene.panel;
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/")); }));

    // Folders that stopped downloads left empty ten minutes ago go when a
    // download begins; one with a file in it stays.
    const QDir temp(QDir::tempPath());
    const QString tag = QUuid::createUuid().toString(QUuid::Id128).left(8);
    const QString empty = QStringLiteral("folvan-download-e") + tag, held = QStringLiteral("folvan-download-h") + tag;
    const auto age = [&](const QString &name) {
        const timeval then[2] = {{std::time(nullptr) - 600, 0}, {std::time(nullptr) - 600, 0}};
        return ::utimes(QFile::encodeName(temp.filePath(name)).constData(), then) == 0;
    };
    ASSERT_TRUE(temp.mkdir(empty) && temp.mkdir(held) && test::writeTestFile(temp.filePath(held + QStringLiteral("/part")), "x"));
    ASSERT_TRUE(age(empty) && age(held));

    const QString attached = server.url(QStringLiteral("/attached")).toString();
    panel.addressField()->setText(attached);
    emit panel.addressField()->returnPressed();
    ASSERT_TRUE(test::waitFor([&] { return panel.webView()->heldPDF().has_value(); })) << scene.log().toStdString();
    EXPECT_FALSE(temp.exists(empty));
    EXPECT_TRUE(temp.exists(held));
    QDir(temp.filePath(held)).removeRecursively();
    EXPECT_TRUE(panel.messageLine()->text().startsWith(QStringLiteral("已下载 PDF“paper-7.pdf”"))) << panel.messageLine()->text().toStdString();
    EXPECT_EQ(panel.urlBarText(), attached);
    scene.prompts->savePath = path(QStringLiteral("saved.pdf"));
    panel.button(scholar::GGView::Button::save)->click();
    EXPECT_EQ(test::readTestFile(*scene.prompts->savePath), pdf);
    EXPECT_EQ(scene.prompts->suggestedNames, QStringList{QStringLiteral("paper-7.pdf")});
    panel.button(scholar::GGView::Button::replace)->click();
    EXPECT_EQ(test::readTestFile(scene.paper), pdf);
    EXPECT_TRUE(scene.prompts->confirmations.value(0).contains(attached));
    EXPECT_EQ(scene.prompts->informs.size(), 1);
    EXPECT_TRUE(scene.prompts->alerts.isEmpty()) << scene.prompts->alerts.join('\n').toStdString();
    EXPECT_EQ(server.requests(QStringLiteral("/attached")), 1);

    const auto follow = [&](const QString &target) {
        runInMainWorld(panel.webView()->page(), QStringLiteral("location.href = '%1'; true").arg(target));
        return test::waitFor([&] { return !panel.webView()->isDownloading() && panel.messageLine()->isVisible()
                                          && !panel.messageLine()->text().startsWith(QStringLiteral("已下载")); });
    };
    ASSERT_TRUE(follow(QStringLiteral("/attached.zip"))) << scene.log().toStdString();
    EXPECT_TRUE(panel.messageLine()->text().startsWith(QStringLiteral("网站给出的“data.zip”不是 PDF，没有保留：")));
    EXPECT_FALSE(panel.webView()->heldPDF());
    panel.webView()->setFetchLimit(pdf.size() / 2);
    ASSERT_TRUE(follow(QStringLiteral("/attached"))) << scene.log().toStdString();
    EXPECT_TRUE(panel.messageLine()->text().startsWith(QStringLiteral("文件超过 "))) << panel.messageLine()->text().toStdString();
    EXPECT_FALSE(panel.webView()->heldPDF());
    panel.button(scholar::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return !scene.prompts->alerts.isEmpty(); }));
    EXPECT_TRUE(scene.prompts->alerts.value(0).startsWith(QStringLiteral("无效 PDF|"))) << "the page on display was fetched";
}
