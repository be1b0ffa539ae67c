#include <gtest/gtest.h>

#include "localweb/LocalWebPage.h"
#include "support/OnePageScheme.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

using namespace folvan::localweb;

namespace {

// As the program does, before the application object exists.
const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localScheme("folvan-probe"));
    return true;
}();

// Serves one page at every path: it posts a message as soon as the channel
// is up, and another with whatever `window.answer` holds when asked to.
const QByteArray kProbePage = QByteArrayLiteral(R"(<!doctype html><script>
            new QWebChannel(qt.webChannelTransport, (c) => {
                window.port = c.objects.probe;
                window.port.postMessage(JSON.stringify({ event: "ready", at: location.host, text: "\u00e9\u2028" }));
            });
        </script>)");

} // namespace

// The page gets the channel without loading it, posts JSON text that arrives
// unchanged, and is kept to its own scheme and host.
TEST(LocalWebPage, CarriesJsonTextAndStaysOnItsOwnScheme)
{
    QWebEngineProfile profile;
    folvan::test::OnePageScheme pages{kProbePage};
    profile.installUrlSchemeHandler("folvan-probe", &pages);
    QStringList received;
    {
        LocalWebPage page(&profile, QStringLiteral("folvan-probe"), QStringLiteral("local"), QStringLiteral("probe"));
        QObject::connect(page.port(), &MessagePort::received, [&](const QString &text) { received.append(text); });

        page.load(QUrl(QStringLiteral("folvan-probe://local/index.html")));
        ASSERT_TRUE(folvan::test::waitFor([&] { return !received.isEmpty(); }));
        EXPECT_EQ(received.first(), QStringLiteral("{\"event\":\"ready\",\"at\":\"local\",\"text\":\"\u00e9\u2028\"}"));

        // Another host of the same scheme, and another scheme, are refused:
        // the page stays where it was.
        const QUrl here = page.url();
        for (const QString &elsewhere :
             {QStringLiteral("folvan-probe://other/index.html"), QStringLiteral("data:text/html,<p>x</p>")}) {
            QSignalSpy finished(&page, &QWebEnginePage::loadFinished);
            page.load(QUrl(elsewhere));
            ASSERT_TRUE(finished.wait(30000));
            EXPECT_EQ(page.url(), here) << elsewhere.toStdString();
        }
        page.load(QUrl(QStringLiteral("folvan-probe://local/again.html")));
        ASSERT_TRUE(folvan::test::waitFor([&] { return received.size() == 2; }));
        EXPECT_TRUE(received.last().contains(QStringLiteral("\"at\":\"local\"")));
    }
    profile.removeAllUrlSchemeHandlers();
}
