#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPng.h"
#include "engine/detail/DocumentImpl.h"

using namespace folvan::engine;

namespace {

constexpr double kEps = 1e-3;

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_RGB888);
    image.fill(Qt::red);
    return encodePng(image, 6);
}

// Two pages, the second reading "second", under a page tree whose /Count
// claims `count` pages.
QByteArray twoPagesClaiming(const QByteArray &count)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.addPage();
    writer.addText(1, QPointF(72, 700), QStringLiteral("second"));
    QByteArray bytes = writer.data();
    EXPECT_TRUE(bytes.contains("] /Count 2"));
    return bytes.replace("] /Count 2", "] /Count " + count);
}

} // namespace

TEST(OpenDocument, RefusesWhatIsNotAReadablePdf)
{
    const QByteArray epub = QByteArray("PK\x03\x04", 4) + QByteArray("mimetypeapplication/epub+zip") + QByteArray(200, 'x');
    const std::vector<QByteArray> inputs = {QByteArray(), QByteArray("garbage"), pngBytes(), epub,
                                            QByteArray("%PDF-1.7\n") + QByteArray(300, '\0')};
    for (const QByteArray &bytes : inputs) {
        QString error;
        EXPECT_FALSE(PdfDocument::openData(bytes, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    EXPECT_FALSE(PdfDocument::open(QStringLiteral("/nonexistent/paper.pdf"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(OpenDocument, OpensOnlyRegularFiles)
{
    // A pipe would wait for a writer forever, an endless device fill the
    // memory, a folder has no content: each is refused at once.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("paper.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &path : {pipe, QStringLiteral("/dev/zero"), dir.path()}) {
        QString error;
        EXPECT_FALSE(PdfDocument::open(path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(OpenDocument, RefusesAPasswordProtectedFile)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.setUserPassword(QStringLiteral("secret"));
    QString error;
    EXPECT_FALSE(PdfDocument::openData(writer.data(), &error));
    EXPECT_EQ(error, QStringLiteral("此 PDF 受密码保护"));
}

TEST(OpenDocument, KeepsPathBytesAndPageCount)
{
    PdfFixtureWriter writer;
    for (int i = 0; i < 4; ++i)
        writer.addPage();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("paper.pdf"));
    ASSERT_TRUE(writer.save(path));
    auto doc = PdfDocument::open(path);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->pageCount(), 4);
    EXPECT_EQ(doc->path(), path);
    EXPECT_EQ(doc->data(), writer.data());
    // The page handle knows its document.
    EXPECT_EQ(doc->page(3).document(), doc);
    EXPECT_EQ(doc->page(3).index(), 3);
}

TEST(OpenDocument, CountsThePagesWhenThePageTreeLiesAboutTheirNumber)
{
    auto doc = PdfDocument::openData(twoPagesClaiming("2000000000"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->pageCount(), 2);
    EXPECT_EQ(doc->page(1).string(), QStringLiteral("second"));
}

TEST(PageMap, FindsEveryPageOfAFlatTreeByNumber)
{
    PdfFixtureWriter writer;
    for (int i = 0; i < 3000; ++i)
        writer.addPage(QSizeF(300 + i % 7, 400 + i % 11));
    writer.addText(2999, QPointF(72, 300), QStringLiteral("last"));
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->impl().hasPageMap());
    for (int i : {0, 1, 1234, 2998, 2999})
        EXPECT_EQ(doc->page(i).displaySize(), QSizeF(300 + i % 7, 400 + i % 11)) << i;
    EXPECT_EQ(doc->page(2999).string(), QStringLiteral("last"));
}

TEST(PageMap, IsNotUsedForATreeWithFewerPagesThanItClaims)
{
    auto doc = PdfDocument::openData(twoPagesClaiming("150"));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->pageCount(), 150);
    EXPECT_FALSE(doc->impl().hasPageMap());
    EXPECT_EQ(doc->page(1).string(), QStringLiteral("second"));
    EXPECT_TRUE(doc->page(2).string().isEmpty());
}

TEST(Outline, GivesTitlesDestinationsAndChildren)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(612, 792));
    writer.addPage(QSizeF(612, 792), QRectF(50, 60, 400, 500), 90);
    writer.setOutline({{QStringLiteral("Introduction"), 0, QPointF(72, 700), {}},
                       {QStringLiteral("方法"), 1, QPointF(100, 400), {{QStringLiteral(" Setup "), 1, QPointF(120, 300), {}}}}});
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const auto outline = doc->outline();
    ASSERT_EQ(outline.size(), 2u);
    EXPECT_EQ(outline[0].title, QStringLiteral("Introduction"));
    ASSERT_TRUE(outline[0].destination);
    EXPECT_EQ(outline[0].destination->pageIndex, 0);
    EXPECT_NEAR(outline[0].destination->point().x(), 72, kEps);
    EXPECT_NEAR(outline[0].destination->point().y(), 700, kEps);
    EXPECT_EQ(outline[1].title, QStringLiteral("方法"));
    ASSERT_EQ(outline[1].children.size(), 1u);
    const PdfOutlineItem &child = outline[1].children[0];
    EXPECT_EQ(child.title, QStringLiteral(" Setup "));
    ASSERT_TRUE(child.destination);
    EXPECT_EQ(child.destination->pageIndex, 1);
    // On a rotated page with an offset crop box the point is still user space.
    EXPECT_NEAR(child.destination->point().x(), 120, kEps);
    EXPECT_NEAR(child.destination->point().y(), 300, kEps);
}

TEST(Outline, ACyclicOutlineIsCutNotLooped)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.setOutline({{QStringLiteral("A"), 0, QPointF(0, 0), {}}, {QStringLiteral("B"), 0, QPointF(0, 0), {}}});
    writer.makeOutlineCyclic();
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const auto outline = doc->outline();
    EXPECT_LE(outline.size(), 20000u);

    PdfFixtureWriter plain;
    plain.addPage();
    EXPECT_TRUE(PdfDocument::openData(plain.data())->outline().empty());
}


TEST(DisplayList, RastersOnManyThreadsMatchTheLockedRender)
{
    PdfFixtureWriter writer;
    for (int p = 0; p < 4; ++p) {
        writer.addPage(QSizeF(300, 400));
        writer.addFilledRect(p, QRectF(20 + 10 * p, 30, 100, 50), QColor(0, 0, 255));
        writer.addText(p, QPointF(40, 300), QStringLiteral("page %1").arg(p));
    }
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    std::vector<QImage> expected;
    for (int p = 0; p < 4; ++p)
        expected.push_back(doc->page(p).render(1.5));
    std::vector<QImage> drawn(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            auto list = doc->page(t % 4).displayList();
            drawn[size_t(t)] = list ? list->render(1.5) : QImage();
        });
    }
    for (auto &thread : threads)
        thread.join();
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(drawn[size_t(t)], expected[size_t(t % 4)]) << t;
}

TEST(OpenDocument, OneDocumentServesManyThreadsAtOnce)
{
    PdfFixtureWriter writer;
    for (int p = 0; p < 6; ++p) {
        writer.addPage(QSizeF(300, 400), std::nullopt, 90 * p);
        writer.addText(p, QPointF(40, 300), QStringLiteral("thread %1").arg(p), FixtureFont::Courier, 12);
    }
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    std::atomic_int wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                const PdfPage page = doc->page((t + round) % 6);
                if (page.string() != QStringLiteral("thread %1").arg(page.index()))
                    ++wrong;
                if (page.render(0.5).isNull())
                    ++wrong;
                if (page.selectionForWord(page.characterBounds(1).center()).string() != QStringLiteral("thread"))
                    ++wrong;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

// Background work takes a document's lock only when no other thread holds
// or wants it, and takes it again inside its own without waiting.
TEST(BackgroundWork, GivesWayToTheOtherLocksOfADocument)
{
    PdfFixtureWriter writer;
    writer.addPage();
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    std::atomic<int> &others = doc->impl().foregroundLocks();
    {
        detail::DocumentLock lock(*doc);
        EXPECT_EQ(others, 1);
    }
    EXPECT_EQ(others, 0);

    // Another thread wants the lock (as if waiting for it): the background
    // work waits until it no longer does.
    ++others;
    std::atomic_bool started = false, took = false, again = false, release = false;
    std::thread background([&] {
        const BackgroundWork work;
        started = true;
        detail::DocumentLock lock(*doc);
        took = true;
        while (!again)
            std::this_thread::yield();
        // Inside its own lock, with another thread waiting for it.
        detail::DocumentLock inner(*doc);
        while (!release)
            std::this_thread::yield();
    });
    while (!started)
        std::this_thread::yield();
    EXPECT_FALSE(took);
    --others;
    while (!took)
        std::this_thread::yield();
    EXPECT_EQ(others, 0);

    std::atomic_bool foregroundTook = false;
    std::thread foreground([&] {
        detail::DocumentLock lock(*doc);
        foregroundTook = true;
    });
    while (others != 1)
        std::this_thread::yield();
    again = true;
    release = true;
    background.join();
    foreground.join();
    EXPECT_TRUE(foregroundTook);
    EXPECT_EQ(others, 0);
}

TEST(DisplayList, IsKeptUntilThePageAnnotationsChange)
{
    PdfFixtureWriter writer;
    writer.addPage();
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    auto first = page.displayList(true);
    EXPECT_EQ(page.displayList(true), first);
    EXPECT_NE(page.displayList(false), first);
    const auto revision = page.revision();
    {
        detail::DocumentLock lock(*doc);
        lock.impl().pageAnnotationsChanged(0);
    }
    EXPECT_GT(page.revision(), revision);
    EXPECT_NE(page.displayList(true), first);
    // An old list still draws after it was dropped from the cache.
    EXPECT_FALSE(first->render(0.5).isNull());
}

TEST(Png, EncodesAtTheGivenLevelAndDecodesToTheSamePixels)
{
    QImage image(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(x * 4, y * 5, (x * y) % 256));
    for (int level : {0, 1, 9}) {
        const QByteArray png = encodePng(image, level);
        ASSERT_TRUE(png.startsWith("\x89PNG")) << level;
        QImage decoded;
        ASSERT_TRUE(decoded.loadFromData(png, "PNG")) << level;
        EXPECT_FALSE(decoded.hasAlphaChannel());
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB888), image) << level;
    }
    // An image with transparency keeps it.
    QImage translucent(4, 4, QImage::Format_ARGB32);
    translucent.fill(QColor(10, 20, 30, 40));
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(encodePng(translucent), "PNG"));
    EXPECT_EQ(decoded.pixelColor(1, 1), QColor(10, 20, 30, 40));
    EXPECT_TRUE(encodePng(QImage()).isEmpty());
}
