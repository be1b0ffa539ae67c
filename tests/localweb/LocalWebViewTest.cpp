#include <gtest/gtest.h>

#include "localweb/LocalWebView.h"
#include "platform/WebEngineStart.h"
#include "support/OnePageScheme.h"
#include "support/TestEnv.h"

#include <QTest>
#include <QWebEngineUrlScheme>

#include <limits>

using namespace folvan::localweb;

namespace {

// As the program does, before the application object exists.
const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localScheme("folvan-view"));
    return true;
}();

// Serves a page that says it is there once its channel is up, and answers
// each call of window.probe.echo with what it was given.
const QByteArray kEchoPage = QByteArrayLiteral(R"(<!doctype html><script>
            new QWebChannel(qt.webChannelTransport, (c) => {
                const port = c.objects.echo;
                window.probe = { echo: (p) => port.postMessage(JSON.stringify({ event: "echo", got: p })) };
                port.postMessage(JSON.stringify({ event: "ready" }));
            });
        </script>)");

class LocalWebViewTest : public ::testing::Test {
protected:
    folvan::test::OnePageScheme pages{kEchoPage};
    LocalWebView view{{.scheme = "folvan-view",
                       .host = "local",
                       .entryURL = "folvan-view://local/index.html",
                       .channelObject = "echo",
                       .pageObject = "probe"},
                      &pages};
    std::vector<BridgeJson> messages;
    int readies = 0;
    int restarts = 0;
    int ends = 0;

    void SetUp() override
    {
        QObject::connect(&view, &LocalWebView::received, &view, [this](const BridgeJson &message) {
            messages.push_back(message);
            if (message.value("event", "") == "ready")
                ++readies;
        });
        QObject::connect(&view, &LocalWebView::restarting, &view, [this] { ++restarts; });
        QObject::connect(&view, &LocalWebView::ended, &view, [this] { ++ends; });
    }
    void crash()
    {
        emit view.localPage()->renderProcessTerminated(QWebEnginePage::CrashedTerminationStatus, 1);
    }
};

} // namespace

TEST(LocalWebViewScript, CallsThePageObjectWithSortedCompactJson)
{
    EXPECT_EQ(LocalWebView::script(QStringLiteral("folvan"), QStringLiteral("jump"),
                                   {{"page", 3}, {"b", BridgeJson::array({1.5, 2})}}),
              QStringLiteral("window.folvan?.jump({\"b\":[1.5,2],\"page\":3}); null;"));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(LocalWebView::script(QStringLiteral("folvan"), QStringLiteral("reading"),
                                   {{"rows", BridgeJson::array({nan})}}),
              QStringLiteral("window.folvan?.reading({}); null;"));
}

// A call reaches the page object and the page's answer comes back parsed;
// nothing is heard from the port while the view shows no page of its own.
TEST_F(LocalWebViewTest, CallsThePageAndHearsItsMessages)
{
    emit view.localPage()->port()->received(QStringLiteral("{\"event\":\"ready\"}"));
    EXPECT_TRUE(messages.empty());

    view.open();
    ASSERT_TRUE(folvan::test::waitFor([&] { return readies == 1; }));
    view.call(QStringLiteral("echo"), {{"b", "\u00e9\u2028"}, {"a", 0.1}});
    ASSERT_TRUE(folvan::test::waitFor([&] { return messages.size() == 2; }));
    EXPECT_EQ(messages.back(), (BridgeJson{{"event", "echo"}, {"got", {{"a", 0.1}, {"b", "\u00e9\u2028"}}}}));
    EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);
}

// The page's process is started again once; after a second end the view
// says it ended, until it is allowed another start. A process that never
// ran is not started again.
TEST_F(LocalWebViewTest, StartsAnEndedPageAgainOnce)
{
    view.open();
    ASSERT_TRUE(folvan::test::waitFor([&] { return readies == 1; }));
    crash();
    EXPECT_EQ(restarts, 1);
    ASSERT_TRUE(folvan::test::waitFor([&] { return readies == 2; })); // loaded again
    crash();
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(ends, 1);

    view.allowRestart();
    crash();
    EXPECT_EQ(restarts, 2);
    ASSERT_TRUE(folvan::test::waitFor([&] { return readies == 3; }));

    int unavailable = 0;
    QObject::connect(&view, &LocalWebView::unavailable, &view, [&] { ++unavailable; });
    emit view.localPage()->renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus(-1), 1002);
    EXPECT_EQ(unavailable, 1);
    EXPECT_EQ(restarts, 2);
    EXPECT_FALSE(folvan::platform::webEngineCanStart());
    folvan::platform::forgetRenderProcessNeverStarted();
}
