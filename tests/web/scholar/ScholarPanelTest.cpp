#include "web/GGView.h"

#include "ScholarTestSupport.h"
#include "model/SharedPDFViewModel.h"
#include "support/TestEnv.h"
#include "web/ScholarRules.h"
#include "web/WebView.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineProfile>

using namespace folvan;

namespace {

// A web server on the loopback address only: "/" is a page whose own
// script tries to reach the native handler, "/paper.pdf" a PDF, any other
// path a page naming it; each request's User-Agent is kept.
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
        QByteArray type = "text/html; charset=utf-8";
        QByteArray body;
        if (target == "/") {
            body = "<html><body><p>Results</p><script>"
                   "try { window.webkit.messageHandlers.myInterface.postMessage({base64: 'JVBERi0=', action: 'download'}); } catch (e) {}"
                   "try { qt.webChannelTransport.send('{}'); } catch (e) {}"
                   "</script></body></html>";
        } else if (target == "/paper.pdf") {
            type = "application/pdf";
            body = m_pdf;
        } else {
            body = "<html><body>" + target + "</body></html>";
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_pdf;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

QVariant runInMainWorld(QWebEnginePage *page, const QString &script)
{
    std::optional<QVariant> result;
    page->runJavaScript(script, QWebEngineScript::MainWorld, [&](const QVariant &value) { result = value; });
    test::waitFor([&] { return result.has_value(); });
    return result.value_or(QVariant());
}

class ScholarPanelTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        // The browsers' lasting profile is made once, in the folder of the
        // whole run, which outlives each test's own.
        web::scholarProfile();
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
    SharedPDFViewModel model;
    web::GGView panel(server.url(QStringLiteral("/")), &model);
    auto prompts = std::make_shared<test::FakePrompts>();
    QStringList output;
    panel.webView()->coordinator().setPrompts(prompts);
    panel.webView()->coordinator().setOutput([&](const QString &line) { output << line; });
    panel.resize(500, 520);
    panel.show();
    EXPECT_EQ(panel.urlBarText(), server.url(QStringLiteral("/")).toString());

    // Nothing can be fetched before a page has finished loading.
    panel.button(web::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL().has_value(); }));
    EXPECT_EQ(*panel.currentURL(), server.url(QStringLiteral("/")));
    EXPECT_EQ(output.value(0), QStringLiteral("Finished loading content for ") + server.url(QStringLiteral("/")).toString());

    EXPECT_EQ(runInMainWorld(panel.webView()->page(),
                             QStringLiteral("[typeof window.webkit, typeof qt, typeof QWebChannel].join(' ')"))
                  .toString(),
              QStringLiteral("undefined undefined undefined"));

    prompts->savePath = path(QStringLiteral("first.pdf"));
    panel.fetchPDFViaJS(server.url(QStringLiteral("/paper.pdf")), web::kDownloadAction);
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(*prompts->savePath); }));
    EXPECT_EQ(test::readTestFile(*prompts->savePath), pdf);
    // The page's own attempt never arrived: one save panel, for the fetch.
    EXPECT_EQ(prompts->suggestedNames, QStringList{QStringLiteral("downloaded.pdf")});

    // A PDF on display is fetched from its own address, under its own name.
    panel.webView()->loadAddress(server.url(QStringLiteral("/paper.pdf")));
    ASSERT_TRUE(test::waitFor([&] { return panel.currentURL() == server.url(QStringLiteral("/paper.pdf")); }))
        << output.join(QLatin1Char('\n')).toStdString();
    prompts->savePath = path(QStringLiteral("second.pdf"));
    panel.button(web::GGView::Button::save)->click();
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(*prompts->savePath); }));
    EXPECT_EQ(test::readTestFile(*prompts->savePath), pdf);
    EXPECT_EQ(prompts->suggestedNames.value(1), QStringLiteral("paper.pdf"));

    // The engine's own user agent with the browser's name after it.
    ASSERT_FALSE(server.userAgents.isEmpty());
    EXPECT_TRUE(server.userAgents.first().endsWith(QLatin1Char(' ') + web::kUserAgentApplicationName));
    EXPECT_TRUE(server.userAgents.first().contains(QLatin1String("QtWebEngine")));
    QWebEngineProfile *profile = panel.webView()->page()->profile();
    EXPECT_FALSE(profile->isOffTheRecord());
    EXPECT_EQ(profile->storageName(), QStringLiteral("scholar"));
}

// The field follows each finished page unless the user is typing in it; a
// typed address is loaded, as is another search address and a page's
// new-window request.
TEST_F(ScholarPanelTest, AddressFieldFollowsThePageAndLoadsWhatIsTyped)
{
    LoopbackServer server(test::pdfBytes(1));
    SharedPDFViewModel model;
    web::GGView panel(server.url(QStringLiteral("/")), &model);
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
