#include "book/BookResourceHandler.h"

#include "BookPageFiles.h"

#include "BookTestSupport.h"

#include <QFile>
#include <QImage>

using namespace folvan;
using namespace folvan::book;

namespace {

struct Reply {
    bool answered = false;
    localweb::LocalReply resource;
};

class BookResourceHandlerTest : public test::BookPaneTest {
protected:
    void SetUp() override
    {
        BookPaneTest::SetUp();
        pageRoot = path(QStringLiteral("BookResources"));
        ASSERT_TRUE(test::writeTestFile(pageRoot + QStringLiteral("/index.html"), "<html></html>"));
        ASSERT_TRUE(test::writeTestFile(pageRoot + QStringLiteral("/reader.JS"), "x"));
        ASSERT_TRUE(test::writeTestFile(path(QStringLiteral("secret.txt")), "secret"));
        ASSERT_TRUE(QFile::link(path(QStringLiteral("secret.txt")), pageRoot + QStringLiteral("/outside.css")));
        handler = std::make_unique<BookResourceHandler>(pageRoot);
        handler->setDocument(document, token, {});
    }

    // Starts a request and keeps its reply.
    std::shared_ptr<Reply> start(const QString &url, quint64 *id = nullptr)
    {
        auto reply = std::make_shared<Reply>();
        const quint64 started = handler->start(QUrl(url), [reply](const localweb::LocalReply &resource) {
            EXPECT_FALSE(reply->answered) << "answered twice";
            reply->answered = true;
            reply->resource = resource;
        });
        if (id)
            *id = started;
        return reply;
    }
    localweb::LocalReply fetch(const QString &url)
    {
        const auto reply = start(url);
        EXPECT_TRUE(test::waitFor([&] { return reply->answered; }));
        return reply->resource;
    }
    QSize rasterSize(const QString &url)
    {
        const auto resource = fetch(url);
        return resource ? QImage::fromData(resource->data, "PNG").size() : QSize();
    }
    // Lets the queue finish and the main thread take its answers.
    void waitForAnswers()
    {
        handler->waitForQueue();
        test::waitForIdle();
    }

    const QString token = QStringLiteral("T0K3N");
    QString pageRoot;
    std::unique_ptr<BookResourceHandler> handler;
};

} // namespace

TEST_F(BookResourceHandlerTest, DrawsPagesAtTheClampedEdge)
{
    const QString page = QStringLiteral("folvan-book://local/page/T0K3N/0.png");
    EXPECT_EQ(rasterSize(page), QSize(1855, 2400));
    EXPECT_EQ(rasterSize(page + QStringLiteral("?edge=300")), QSize(464, 600));
    EXPECT_EQ(rasterSize(page + QStringLiteral("?edge=9000")).height(), 4096);
    EXPECT_EQ(rasterSize(page + QStringLiteral("?edge=abc")).height(), 2400);
    EXPECT_EQ(rasterSize(page + QStringLiteral("?edge")).height(), 2400);
    EXPECT_EQ(rasterSize(page + QStringLiteral("?edge=1000&edge=3000")).height(), 1000);
    EXPECT_EQ(BookResourceHandler::edge(QUrl(page + QStringLiteral("?edge=99999999999"))), 2400);
    // The page number with every ".png" taken out.
    EXPECT_TRUE(fetch(QStringLiteral("folvan-book://local/page/T0K3N/3?edge=600")));
    EXPECT_TRUE(fetch(QStringLiteral("folvan-book://local/page/T0K3N/3.png.png?edge=600")));
    EXPECT_EQ(fetch(page)->mimeType, "image/png");
}

TEST_F(BookResourceHandlerTest, FailsRequestsOutsideItsRoutes)
{
    for (const char *url : {"folvan-book://local/page/T0K3N/10.png", "folvan-book://local/page/T0K3N/-1.png",
                            "folvan-book://local/page/T0K3N/x.png", "folvan-book://local/page/T0K3N/3.PNG",
                            "folvan-book://local/page/OLD/3.png", "folvan-book://local/page/T0K3N",
                            "folvan-book://other/index.html", "folvan-book://local/", "folvan-book://local/missing.js",
                            "folvan-book://local/outside.css", "folvan-book://local/a/../../secret.txt",
                            "folvan-book://local/reader.JS"})
        EXPECT_FALSE(fetch(QString::fromLatin1(url))) << url;
    // The page's files, typed by their extension.
    EXPECT_EQ(fetch(QStringLiteral("folvan-book://local/index.html"))->mimeType, "text/html");
    // Failures name the last part of the path, without the query.
    const auto failure = fetch(QStringLiteral("folvan-book://local/page/OLD/12.png?edge=600")).failure;
    EXPECT_EQ(failure.domain, QStringLiteral("Folvan.Book"));
    EXPECT_EQ(failure.description, QStringLiteral("无法读取本地资源： 12.png"));
}

// The built-in page: every file of its list is there under its served
// name, and the web channel's script with them.
TEST_F(BookResourceHandlerTest, ServesEveryListedFileOfTheBuiltInPage)
{
    handler = std::make_unique<BookResourceHandler>();
    ASSERT_TRUE(pageFiles.contains(QStringLiteral("index.html")));
    ASSERT_TRUE(pageFiles.contains(QStringLiteral("shared/bridge.js")));
    for (const QString &name : pageFiles) {
        const auto served = fetch(QStringLiteral("folvan-book://local/") + name);
        EXPECT_TRUE(served && !served->data.isEmpty()) << name.toStdString();
    }
    EXPECT_TRUE(fetch(QStringLiteral("folvan-book://local/qwebchannel.js")));
}

TEST_F(BookResourceHandlerTest, CachesEachPageAndEdgeOnce)
{
    const QString url = QStringLiteral("folvan-book://local/page/T0K3N/2.png?edge=600");
    const auto first = fetch(url);
    const auto second = fetch(url);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->data, second->data);
    EXPECT_EQ(handler->rastersDrawn(), 1);
    fetch(QStringLiteral("folvan-book://local/page/T0K3N/2.png?edge=800"));
    EXPECT_EQ(handler->rastersDrawn(), 2);
    // A new document load draws again, under its own token only.
    handler->setDocument(document, QStringLiteral("NEXT"), {{2, {{0, 0, 612, 792, 1, 1, 0, 0.5, 0}}}});
    EXPECT_FALSE(fetch(url));
    const auto tinted = fetch(QStringLiteral("folvan-book://local/page/NEXT/2.png?edge=600"));
    ASSERT_TRUE(tinted);
    EXPECT_NE(tinted->data, first->data);
    EXPECT_EQ(handler->rastersDrawn(), 3);
}

// The book's pages show the paper's own marks as the page view does (with and without /F or an
// appearance; a deleted one left out), and its highlights once, from the overlay rows.
TEST_F(BookResourceHandlerTest, DrawsThePapersOwnMarksAsThePageViewDoes)
{
    engine::PdfFixtureWriter w;
    w.addPage(QSizeF(600, 600));
    w.addPage(QSizeF(600, 600));
    const int blueBox = w.addRawObject("/Type /XObject /Subtype /Form /BBox [0 0 200 20]", "0 0 1 rg 0 0 200 20 re f");
    const QByteArray appearance = " /AP << /N " + QByteArray::number(blueBox) + " 0 R >>";
    w.addRawAnnotation(0, "/Subtype /StrikeOut /Rect [50 500 250 520] /QuadPoints [50 520 250 520 50 500 250 500]"
                          " /C [1 0 0]");
    w.addRawAnnotation(0, "/Subtype /Squiggly /F 4 /Rect [50 450 250 470] /QuadPoints [50 470 250 470 50 450 250 450]"
                          " /C [0 1 0]" + appearance);
    w.addTextNote(0, QRectF(300, 300, 20, 20), QStringLiteral("note"));
    w.addRawAnnotation(0, "/Subtype /FreeText /Rect [50 300 250 320] /DA (0 g /Helv 12 Tf)" + appearance);
    w.addRawAnnotation(0, "/Subtype /StrikeOut /Rect [50 100 250 120] /QuadPoints [50 120 250 120 50 100 250 100]"
                          " /C [1 0 0]");
    w.addHighlight(1, {QRectF(50, 500, 200, 20)}, QColor(255, 255, 0));
    auto marked = engine::PdfDocument::openData(w.data());
    ASSERT_TRUE(marked);
    ASSERT_TRUE(engine::setAnnotationHidden(*marked, engine::annotations(*marked, 0).back().handle, true));
    handler->setDocument(marked, token, {{1, {{50, 500, 200, 20, 1, 1, 0, 0.45, 0}}}});

    const auto page = [&](int i) {
        const auto served = fetch(QStringLiteral("folvan-book://local/page/T0K3N/%1.png?edge=600").arg(i));
        return served ? QImage::fromData(served->data, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
    };
    const QImage book = page(0);
    EXPECT_EQ(book, marked->page(0).displayList(true)->render(1.0));
    for (const QRectF &r : {QRectF(50, 500, 200, 20), QRectF(50, 450, 200, 20), QRectF(300, 300, 20, 20),
                            QRectF(50, 300, 200, 20)}) {
        const QImage part = book.copy(QRectF(r.x(), 600 - r.bottom(), r.width(), r.height()).toRect());
        QImage white(part.size(), part.format());
        white.fill(Qt::white);
        EXPECT_NE(part, white) << "mark at y " << r.y();
    }
    EXPECT_NEAR(page(1).pixelColor(150, 90).blue(), 140, 2);
}

TEST_F(BookResourceHandlerTest, StoppedAndAbandonedRequestsGetNoAnswer)
{
    quint64 id = 0;
    const auto stopped = start(QStringLiteral("folvan-book://local/page/T0K3N/4.png?edge=600"), &id);
    handler->stop(id);
    waitForAnswers();
    EXPECT_FALSE(stopped->answered);
    // The queue may have taken it up before the stop: then it is drawn, but
    // never answered.
    EXPECT_LE(handler->rastersDrawn(), 1);

    const auto pending = start(QStringLiteral("folvan-book://local/page/T0K3N/5.png?edge=600"));
    handler->dispose();
    waitForAnswers();
    EXPECT_FALSE(pending->answered);
    EXPECT_FALSE(fetch(QStringLiteral("folvan-book://local/page/T0K3N/5.png?edge=600")));
    // After the next document, requests are served again.
    handler->setDocument(document, token, {});
    EXPECT_TRUE(fetch(QStringLiteral("folvan-book://local/page/T0K3N/5.png?edge=600")));
}
