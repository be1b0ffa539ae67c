#include <gtest/gtest.h>

#include "localweb/LocalSchemeHandler.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>

#include <mutex>

using namespace folvan;
using namespace folvan::localweb;

namespace {

// One document route, doc/TOKEN, that waits at a gate while asked to; and
// every other path a file of the folder.
class GatedRoutes : public LocalRoutes {
public:
    using LocalRoutes::LocalRoutes;

    std::optional<LocalResource> serve(const LocalRequest &request) override
    {
        std::lock_guard<std::mutex> wait(gate);
        const QStringList &parts = request.parts();
        if (parts.value(0) == QLatin1String("doc"))
            return parts.size() == 2 && isCurrentToken(parts[1]) ? std::optional(LocalResource{"doc", "text/plain"})
                                                                 : std::nullopt;
        return file(parts);
    }
    std::mutex gate;
};

class TestHandler : public LocalSchemeHandler {
public:
    explicit TestHandler(std::shared_ptr<GatedRoutes> routes)
        : LocalSchemeHandler(QStringLiteral("folvan-test"), QStringLiteral("Folvan.test"), QStringLiteral("Folvan.Test"),
                             routes, nullptr)
        , routes(std::move(routes))
    {
    }
    void setToken(const QString &token)
    {
        onQueue([routes = routes, token] { routes->changeToken(token); });
    }
    std::shared_ptr<GatedRoutes> routes;

protected:
    QString failureDescription(const QUrl &url) const override { return QStringLiteral("no ") + url.path(); }
};

struct Reply {
    int answers = 0;
    LocalReply reply;
};

class LocalSchemeHandlerTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/index.html")), "<html></html>"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/sub/a.js")), "1"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/unlisted.js")), "1"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("secret.js")), "secret"));
        ASSERT_TRUE(QFile::link(path(QStringLiteral("secret.js")), path(QStringLiteral("page/link.js"))));
        handler = std::make_unique<TestHandler>(std::make_shared<GatedRoutes>(path(QStringLiteral("page")), pageFiles, 4, 100));
        handler->setToken(QStringLiteral("T1"));
    }

    std::shared_ptr<Reply> begin(const QString &url, quint64 *id = nullptr)
    {
        auto reply = std::make_shared<Reply>();
        const quint64 started = handler->start(QUrl(url), [reply](const LocalReply &answer) {
            ++reply->answers;
            reply->reply = answer;
        });
        if (id)
            *id = started;
        return reply;
    }
    LocalReply fetch(const QString &url)
    {
        auto reply = begin(url);
        EXPECT_TRUE(test::waitFor([&] { return reply->answers > 0; })) << url.toStdString();
        return reply->reply;
    }
    // Lets the queue finish and the main thread take its answers.
    void waitForAnswers()
    {
        handler->waitForQueue();
        test::waitForIdle();
    }

    const QStringList pageFiles{QStringLiteral("index.html"), QStringLiteral("sub/a.js"), QStringLiteral("link.js"),
                                QStringLiteral("missing.html"), QStringLiteral("sub/../../secret.js")};
    std::unique_ptr<TestHandler> handler;
};

} // namespace

TEST_F(LocalSchemeHandlerTest, ServesOnlyTheCurrentTokenAndTheListedFilesInsideTheFolder)
{
    EXPECT_EQ(fetch(QStringLiteral("folvan-test://local/doc/T1"))->data, "doc");
    EXPECT_FALSE(fetch(QStringLiteral("folvan-test://local/doc/T0")));
    EXPECT_EQ(fetch(QStringLiteral("folvan-test://local/index.html"))->data, "<html></html>");
    EXPECT_EQ(fetch(QStringLiteral("folvan-test://local/sub/a.js"))->mimeType, "text/javascript");
    // The channel's script by its name; of the folder, only the listed files.
    EXPECT_EQ(fetch(QStringLiteral("folvan-test://local/qwebchannel.js"))->data, channelScript());
    EXPECT_FALSE(channelScript().isEmpty());
    for (const char *outside : {"folvan-test://local/", "folvan-test://local/link.js", "folvan-test://local/unlisted.js",
                                "folvan-test://local/sub/../../secret.js", "folvan-test://local/%2E%2E/secret.js",
                                "folvan-test://local/sub", "folvan-test://local/missing.html"})
        EXPECT_FALSE(fetch(QString::fromLatin1(outside))) << outside;

    // A new token refuses the old one; after disposal no token is current.
    handler->setToken(QStringLiteral("T2"));
    EXPECT_FALSE(fetch(QStringLiteral("folvan-test://local/doc/T1")));
    EXPECT_TRUE(fetch(QStringLiteral("folvan-test://local/doc/T2")));
    handler->dispose();
    EXPECT_FALSE(fetch(QStringLiteral("folvan-test://local/doc/T2")));
    handler->setToken(QString());
    EXPECT_FALSE(fetch(QStringLiteral("folvan-test://local/doc/")));
}

TEST_F(LocalSchemeHandlerTest, FailsWithNotFoundInItsOwnDomain)
{
    const LocalReply missing = fetch(QStringLiteral("folvan-test://local/doc/T0"));
    EXPECT_EQ(missing.failure.domain, QStringLiteral("Folvan.Test"));
    EXPECT_EQ(missing.failure.code, 404);
    EXPECT_EQ(missing.failure.description, QStringLiteral("no /doc/T0"));

    // Another host or scheme is failed at once, before any work is queued.
    std::lock_guard<std::mutex> closed(handler->routes->gate);
    for (const char *other : {"folvan-test://remote/index.html", "folvan-other://local/index.html", "folvan-test:"}) {
        quint64 id = 1;
        const auto reply = begin(QString::fromLatin1(other), &id);
        EXPECT_EQ(reply->answers, 1) << other;
        EXPECT_EQ(id, 0u);
        EXPECT_FALSE(reply->reply);
        EXPECT_EQ(reply->reply.failure.code, 404);
    }
}

TEST_F(LocalSchemeHandlerTest, NeverAnswersAStoppedOrAbandonedRequest)
{
    std::shared_ptr<Reply> working, waiting, pending;
    {
        // Stopped while under way or still queued, or abandoned by disposal.
        std::lock_guard<std::mutex> closed(handler->routes->gate);
        quint64 first = 0, second = 0;
        working = begin(QStringLiteral("folvan-test://local/doc/T1"), &first);
        waiting = begin(QStringLiteral("folvan-test://local/index.html"), &second);
        pending = begin(QStringLiteral("folvan-test://local/index.html"));
        handler->stop(first);
        handler->stop(second);
        handler->stop(first); // a second stop is nothing
        handler->dispose();
    }
    const auto after = begin(QStringLiteral("folvan-test://local/index.html"));
    ASSERT_TRUE(test::waitFor([&] { return after->answers > 0; }));
    waitForAnswers();
    EXPECT_EQ(working->answers, 0);
    EXPECT_EQ(waiting->answers, 0);
    EXPECT_EQ(pending->answers, 0);
    EXPECT_EQ(after->answers, 1);
}

TEST(LocalSchemeContentTypes, FollowTheExtensionAsWritten)
{
    const std::pair<const char *, const char *> types[] = {
        {"index.html", "text/html"},         {"book.js", "text/javascript"},
        {"module.mjs", "text/javascript"},   {"sub/reader.css", "text/css"},
        {"parser/x_bg.wasm", "application/wasm"}, {"paper.webp", "image/webp"},
        {"page.png", "image/png"},           {"layout.json", "application/json"},
        {"reader.JS", "application/octet-stream"}, {"README", "application/octet-stream"},
        {"dir.d/README", "application/octet-stream"}, {"blob.zz9unknown", "application/octet-stream"},
    };
    for (const auto &[name, type] : types)
        EXPECT_EQ(LocalSchemeHandler::contentType(QString::fromLatin1(name)), QByteArray(type)) << name;
}

TEST(PageImageCache, KeepsTheMostRecentlyUsedWithinItsLimits)
{
    PageImageCache cache(3, 10);
    cache.insert(QStringLiteral("a"), "1111");
    cache.insert(QStringLiteral("b"), "2222");
    EXPECT_EQ(cache.find(QStringLiteral("a")), QByteArray("1111")); // now the newest
    cache.insert(QStringLiteral("c"), "33");                         // 10 bytes: all kept
    cache.insert(QStringLiteral("d"), "4");                          // over the count: b goes
    EXPECT_FALSE(cache.find(QStringLiteral("b")));
    EXPECT_EQ(cache.count(), 3);
    EXPECT_EQ(cache.cost(), 7);
    cache.insert(QStringLiteral("a"), "55555"); // replaced, not counted twice
    EXPECT_EQ(cache.count(), 3);
    EXPECT_EQ(cache.cost(), 8);
    cache.insert(QStringLiteral("e"), "666"); // over the cost: the oldest go first
    EXPECT_FALSE(cache.find(QStringLiteral("c")));
    EXPECT_EQ(cache.find(QStringLiteral("a")), QByteArray("55555"));
    EXPECT_LE(cache.cost(), 10);
    cache.insert(QStringLiteral("big"), "12345678901"); // larger than the whole cache
    EXPECT_FALSE(cache.find(QStringLiteral("big")));
    EXPECT_TRUE(cache.find(QStringLiteral("a")));
    cache.clear();
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.cost(), 0);
}
