#include <gtest/gtest.h>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "reflow/ReflowResourceHandler.h"
#include "ReflowPageFiles.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTest>

#include <nlohmann/json.hpp>

using namespace folvan;
using folvan::reflow::ReflowResourceHandler;

namespace {

struct Reply {
    bool answered = false;
    std::optional<QByteArray> bytes;
    QByteArray type;
    localweb::LocalFailure failure;
};

class HandlerTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/index.html")), "<html></html>"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/parser/liteparse_wasm_bg.wasm")), "\0asm"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("page/extra.js")), "1"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("secret.js")), "secret"));
        QFile::link(path(QStringLiteral("secret.js")), path(QStringLiteral("page/reader.js")));

        engine::PdfFixtureWriter writer;
        writer.addPage(QSizeF(612, 792));
        writer.addPage(QSizeF(612, 792), std::nullopt, 90);
        writer.addFilledRect(0, QRectF(100, 100, 100, 100), Qt::gray);
        paper = path(QStringLiteral("paper.pdf"));
        ASSERT_TRUE(writer.save(paper));
        handler = std::make_unique<ReflowResourceHandler>(nullptr, path(QStringLiteral("page")));
        handler->setDocument(paper, {}, QStringLiteral("T1"));
    }

    std::shared_ptr<Reply> begin(const QString &url, quint64 *id = nullptr)
    {
        auto reply = std::make_shared<Reply>();
        const quint64 started = handler->start(QUrl(url), [reply](const localweb::LocalReply &answer) {
            reply->answered = true;
            if (answer) {
                reply->bytes = answer->data;
                reply->type = answer->mimeType;
            }
            reply->failure = answer.failure;
        });
        if (id)
            *id = started;
        return reply;
    }
    Reply fetch(const QString &url)
    {
        auto reply = begin(url);
        EXPECT_TRUE(test::waitFor([&] { return reply->answered; })) << url.toStdString();
        return *reply;
    }
    QSize imageSize(const QString &url)
    {
        const Reply reply = fetch(url);
        if (!reply.bytes)
            return {};
        EXPECT_EQ(reply.type, "image/png");
        return QImage::fromData(*reply.bytes, "PNG").size();
    }

    QString paper;
    std::unique_ptr<ReflowResourceHandler> handler;
};

const QString kBase = QStringLiteral("folvan-reflow://local/");

} // namespace

TEST_F(HandlerTest, ServesOnlyThePagesOwnFilesFromInsideItsFolder)
{
    Reply index = fetch(kBase + "index.html");
    EXPECT_EQ(index.bytes, QByteArray("<html></html>"));
    EXPECT_EQ(index.type, "text/html");
    EXPECT_EQ(fetch(kBase + "parser/liteparse_wasm_bg.wasm").type, "application/wasm");
    EXPECT_FALSE(fetch(kBase + "extra.js").bytes);   // in the folder, not a page file
    EXPECT_FALSE(fetch(kBase + "reader.js").bytes);  // a link out of the folder
    EXPECT_FALSE(fetch(kBase).bytes);
    EXPECT_FALSE(fetch(kBase + "../secret.js").bytes);
    EXPECT_FALSE(fetch(kBase + "layout.js").bytes);  // missing
    EXPECT_TRUE(fetch(kBase + "qwebchannel.js").bytes);

    // Another scheme or host fails at once, before any work is queued.
    auto other = begin(QStringLiteral("folvan-reflow://elsewhere/index.html"));
    EXPECT_TRUE(other->answered);
    EXPECT_FALSE(other->bytes);
    EXPECT_EQ(other->failure.domain, QStringLiteral("Folvan.Reflow"));
    EXPECT_EQ(other->failure.description, QStringLiteral("无法读取本机重排资源或 PDF。"));
}

// The built-in page: every file of its list is there under its served
// name.
TEST_F(HandlerTest, ServesEveryListedFileOfTheBuiltInPage)
{
    handler = std::make_unique<ReflowResourceHandler>();
    ASSERT_TRUE(reflow::pageFiles.contains(QStringLiteral("parser/liteparse_wasm_bg.wasm")));
    ASSERT_TRUE(reflow::pageFiles.contains(QStringLiteral("shared/bridge.js")));
    for (const QString &name : reflow::pageFiles) {
        const Reply served = fetch(kBase + name);
        EXPECT_TRUE(served.bytes && !served.bytes->isEmpty()) << name.toStdString();
    }
}

TEST_F(HandlerTest, ServesDocumentAndGeometryOnlyForTheCurrentToken)
{
    Reply document = fetch(kBase + "document/T1.pdf");
    EXPECT_EQ(document.type, "application/pdf");
    EXPECT_EQ(document.bytes, test::readTestFile(paper));
    EXPECT_FALSE(fetch(kBase + "document/T2.pdf").bytes);

    Reply layout = fetch(kBase + "layout/T1/0.json");
    ASSERT_TRUE(layout.bytes);
    EXPECT_EQ(layout.type, "application/json");
    const auto json = nlohmann::json::parse(layout.bytes->toStdString());
    EXPECT_EQ(json["graphics"].size(), 1u);
    EXPECT_TRUE(json.contains("rules"));
    EXPECT_FALSE(nlohmann::json::parse(fetch(kBase + "layout/T1/1.json").bytes->toStdString()).contains("links"));

    // A new document: the old token gets nothing, and bytes serve a
    // document without a file; neither leaves no document at all.
    handler->setDocument({}, test::readTestFile(paper), QStringLiteral("T2"));
    EXPECT_FALSE(fetch(kBase + "page/T1/0.png").bytes);
    EXPECT_EQ(fetch(kBase + "document/T2.pdf").bytes, test::readTestFile(paper));
    EXPECT_TRUE(fetch(kBase + "layout/T2/0.json").bytes);
    handler->setDocument({}, {}, QStringLiteral("T3"));
    EXPECT_FALSE(fetch(kBase + "document/T3.pdf").bytes);
    EXPECT_FALSE(fetch(kBase + "page/T3/0.png").bytes);
}

TEST_F(HandlerTest, DrawsWholePagesAndEnlargedRegions)
{
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png"), QSize(1546, 2000));
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?q=detail"), QSize(3091, 4000));
    EXPECT_EQ(imageSize(kBase + "page/T1/0"), QSize(1546, 2000));
    EXPECT_FALSE(imageSize(kBase + "page/T1/2.png").isValid());
    EXPECT_FALSE(imageSize(kBase + "page/T1/-1.png").isValid());
    EXPECT_FALSE(imageSize(kBase + "page/T1/one.png").isValid());

    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0,0,1,1"), QSize(1700, 2200));
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0,0,1,1&q=detail"), QSize(3246, 4200));
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0.25,0.25,0.5,0.5"), QSize(918, 1188));
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0.5,0.5,0.01,0.01"), QSize(19, 24));
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0.9,x,0.9,0.5,0.5"), QSize(184, 238));
    EXPECT_FALSE(imageSize(kBase + "page/T1/0.png?r=2,2,0.5,0.5").isValid());
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0,0,0,1"), QSize(1546, 2000)); // no width: whole page
    EXPECT_EQ(imageSize(kBase + "page/T1/0.png?r=0,0,1"), QSize(1546, 2000));
    // On a page turned a quarter, fractions are of the page as displayed.
    EXPECT_EQ(imageSize(kBase + "page/T1/1.png?r=0,0,1,0.3333"), QSize(2200, 567));

    // The region's pixels are the page's: the grey square at (100, 100).
    const Reply region = fetch(kBase + "page/T1/0.png?r=0,0.5,0.5,0.5");
    const QImage image = QImage::fromData(*region.bytes, "PNG");
    const double scale = image.height() / 396.0;
    EXPECT_NEAR(qGray(image.pixel(int(150 * scale), image.height() - int(150 * scale))), qGray(QColor(Qt::gray).rgb()), 3);
    EXPECT_EQ(image.pixel(int(250 * scale), image.height() - int(150 * scale)), qRgb(255, 255, 255));
}

TEST_F(HandlerTest, StoppedAndDisposedRequestsAreNeverAnswered)
{
    quint64 id = 0;
    auto stopped = begin(kBase + "page/T1/0.png", &id);
    handler->stop(id);
    auto pending = begin(kBase + "index.html");
    handler->dispose();
    auto after = begin(kBase + "index.html"); // started after: answered (no document needed)
    ASSERT_TRUE(test::waitFor([&] { return after->answered; }));
    handler->waitForQueue();
    test::waitForIdle();
    EXPECT_FALSE(stopped->answered);
    EXPECT_FALSE(pending->answered);
    EXPECT_FALSE(fetch(kBase + "document/T1.pdf").bytes);
}
