#include <gtest/gtest.h>

#include <QPainter>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/RasterMemory.h"
#include "engine/detail/MuContext.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

// A picture whose every part differs from the others, so that a tile drawn
// from the wrong part of the image shows.
QImage picture(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), (x + y) * 255 / (size.width() + size.height())));
    return image;
}

// A 600 × 600 page: an image of `pixels` over its lower half, a line of text
// and a half-transparent box across where the tiles meet.
QByteArray pageWithImage(QSize pixels)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 600));
    writer.addImage(0, QRectF(20, 20, 560, 300), picture(pixels));
    writer.addText(0, QPointF(40, 450), QStringLiteral("Tiles meet in the middle of this line"),
                   FixtureFont::Helvetica, 24);
    writer.addContent(0, "q /GS1 gs 0 0 1 rg 200 150 250 300 re f Q\n");
    writer.addResource(0, "ExtGState", "GS1", "<< /ca 0.5 >>");
    return writer.data();
}

// The page's tiles of `edge` pixels at `scale`, drawn one by one from one
// display list and put together again.
QImage tiledRaster(const PdfPage &page, double scale, int edge)
{
    const auto list = page.displayList(true);
    const QSize full = (page.displaySize() * scale).toSize();
    QImage whole(full, QImage::Format_RGB32);
    QPainter painter(&whole);
    for (int y = 0; y < full.height(); y += edge)
        for (int x = 0; x < full.width(); x += edge)
            painter.drawImage(QPoint(x, y), list->render(scale, QRect(x, y, edge, edge)));
    return whole;
}

} // namespace

TEST(TiledRaster, TilesFromOneDisplayListPutTogetherAreTheDirectRaster)
{
    const QByteArray data = pageWithImage(QSize(640, 360));
    // The direct raster first, on its own document, before any display list.
    const auto direct = PdfDocument::openData(data);
    ASSERT_TRUE(direct);
    const QImage expected = direct->page(0).render(2.5).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(expected.size(), QSize(1500, 1500));

    const auto tiled = PdfDocument::openData(data);
    for (int edge : {1024, 512, 333}) {
        const QImage together = tiledRaster(tiled->page(0), 2.5, edge);
        ASSERT_EQ(together.size(), expected.size()) << edge;
        // MuPDF scales an image cut by a tile's edge a rounding step apart
        // from the whole; anything more is a tile drawn wrong.
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = together.pixel(x, y), b = expected.pixel(x, y);
                differing += std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1
                    || std::abs(qBlue(a) - qBlue(b)) > 1;
            }
        EXPECT_EQ(differing, 0) << "tiles of " << edge;
    }
}

TEST(TiledRaster, TilesOfAPageWithNothingSeeThroughAreTheDirectRasterToThePixel)
{
    // Drawn four bytes a pixel as tiles, three and spread as a whole. (No
    // image: one cut by a tile's edge is scaled a rounding step apart.)
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 600));
    writer.addText(0, QPointF(40, 450), QStringLiteral("Nothing on this page is see-through"),
                   FixtureFont::Helvetica, 24);
    writer.addContent(0, "q 0 0 1 rg 200 150 250 300 re f Q\n");
    const QByteArray data = writer.data();
    const QImage expected = PdfDocument::openData(data)->page(0).render(2.5);
    const QImage together = tiledRaster(PdfDocument::openData(data)->page(0), 2.5, 333);
    ASSERT_EQ(together.size(), expected.size());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(together.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
    // Every pixel opaque, as RGB32 wants it.
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(qAlpha(expected.pixel(x, y)), 255) << x << "," << y;
}

TEST(TiledRaster, ThePagesImagesAreDecodedOncePerScaleForAllItsTiles)
{
    // A size no other test uses, to find this image in the shared store.
    const QSize pixels(1234, 987);
    const auto document = PdfDocument::openData(pageWithImage(pixels));
    ASSERT_TRUE(document);
    const PdfPage page = document->page(0);
    ASSERT_EQ(detail::storedImagePieces(pixels.width(), pixels.height()), 0);

    // At a scale that needs a quarter of its pixels, the first tile made
    // decodes the image at half its width and height even when it does not
    // show it, so that the tiles made beside it on other threads find it.
    const auto list = page.displayList(true);
    list->render(0.9, QRect(0, 0, 200, 200));
    EXPECT_EQ(detail::storedImagePieces(pixels.width(), pixels.height()), 1);
    // All 3 × 3 tiles, the image under six of them, use that one.
    tiledRaster(page, 0.9, 200);
    EXPECT_EQ(detail::storedImagePieces(pixels.width(), pixels.height()), 1);
    // At full resolution, once more for all the tiles.
    tiledRaster(page, 4, 1024);
    EXPECT_EQ(detail::storedImagePieces(pixels.width(), pixels.height()), 2);
    // Drawn again at either scale, the tiles find what is stored.
    tiledRaster(page, 4, 1024);
    tiledRaster(page, 0.9, 200);
    EXPECT_EQ(detail::storedImagePieces(pixels.width(), pixels.height()), 2);
}

TEST(TiledRaster, ATileDrawnIntoASpareRasterIsTheTileDrawnAfresh)
{
    const auto document = PdfDocument::openData(pageWithImage(QSize(320, 180)));
    ASSERT_TRUE(document);
    const auto list = document->page(0).displayList(true);
    const QRect region(512, 256, 512, 512);
    const QImage fresh = list->render(2, region);
    ASSERT_EQ(fresh.size(), region.size());

    // A spare of the right size still showing another tile: drawn over
    // entirely, in its own memory.
    QImage spare = list->render(2, QRect(0, 0, 512, 512));
    spare.fill(Qt::black);
    const uchar *memory = spare.constBits();
    const QImage drawn = list->render(2, region, std::move(spare));
    EXPECT_EQ(drawn.constBits(), memory);
    EXPECT_EQ(drawn, fresh);

    // A spare that is still painted from elsewhere, or of another size, is
    // left as it is.
    QImage shown(region.size(), QImage::Format_RGB32);
    shown.fill(Qt::black);
    const QImage copy = shown;
    EXPECT_EQ(list->render(2, region, shown), fresh);
    EXPECT_EQ(copy.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(list->render(2, region, QImage(QSize(100, 100), QImage::Format_RGB32)), fresh);
}

TEST(TiledRaster, AKeptRasterTakesATileLikeAnyOtherMemory)
{
    const auto document = PdfDocument::openData(pageWithImage(QSize(320, 180)));
    ASSERT_TRUE(document);
    const auto list = document->page(0).displayList(true);
    // Large enough for its own mapping, and one too small for it.
    for (const QRect region : {QRect(0, 0, 1024, 1024), QRect(600, 600, 200, 100)}) {
        const QImage fresh = list->render(2, region);
        QImage kept = newKeptRaster(region.size());
        ASSERT_EQ(kept.size(), region.size());
        ASSERT_EQ(kept.format(), QImage::Format_RGB32);
        const uchar *memory = kept.constBits();
        QImage drawn = list->render(2, region, std::move(kept));
        EXPECT_EQ(drawn.constBits(), memory);
        EXPECT_EQ(drawn, fresh);
        // A copy written to is a copy; the raster itself is unchanged.
        QImage copy = drawn;
        copy.fill(Qt::black);
        EXPECT_EQ(drawn, fresh);
        EXPECT_NE(copy.constBits(), drawn.constBits());
    }
    EXPECT_TRUE(newKeptRaster(QSize(0, 10)).isNull());
}

// Rasters given up are made into the next ones, of whatever size, and
// their memory stays bounded and can be handed back.
TEST(KeptRaster, TheMemoryOfAGivenUpRasterMakesTheNextOfAnySize)
{
    const QSize full(1024, 1024), narrow(200, 1024);
    if (!hasMappingOfItsOwn(full))
        GTEST_SKIP() << "no raster mappings on this system";
    releaseSpareRasters();
    ASSERT_EQ(spareRasterBytes(), 0);

    QImage big = newKeptRaster(full);
    const uchar *memory = big.constBits();
    big = QImage();
    EXPECT_EQ(spareRasterBytes(), 4 << 20);
    // A smaller one is cut from it.
    QImage small = newKeptRaster(narrow);
    EXPECT_EQ(small.constBits(), memory);
    EXPECT_EQ(spareRasterBytes(), 0);
    small.fill(Qt::red);
    EXPECT_EQ(small.pixel(199, 1023), qRgb(255, 0, 0));
    small = QImage();
    EXPECT_EQ(spareRasterBytes(), 200 * 4 * 1024);
    // A larger one grows from it, every pixel of it there to be written.
    QImage grown = newKeptRaster(full);
    ASSERT_EQ(grown.size(), full);
    grown.fill(Qt::blue);
    EXPECT_EQ(grown.pixel(1023, 1023), qRgb(0, 0, 255));
    EXPECT_EQ(spareRasterBytes(), 0);

    // Memory still painted from elsewhere is not taken back.
    const QImage shown = grown;
    grown = QImage();
    EXPECT_EQ(spareRasterBytes(), 0);
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 0, 255));

    // At most four full tiles are kept; the rest goes back to the system.
    std::vector<QImage> many;
    for (int i = 0; i < 6; ++i)
        many.push_back(newKeptRaster(full));
    many.clear();
    EXPECT_EQ(spareRasterBytes(), 16 << 20);
    releaseSpareRasters();
    EXPECT_EQ(spareRasterBytes(), 0);
}

TEST(KeptRaster, RastersMadeAndGivenUpOnManyThreadsNeverShareMemory)
{
    releaseSpareRasters();
    std::vector<std::thread> threads;
    std::atomic_int shared{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &shared] {
            std::vector<QImage> held;
            for (int i = 0; i < 150; ++i) {
                // Sizes that need cutting and growing, and some too small
                // for a mapping of their own.
                const QSize size(64 + (i * 37 + t * 101) % 961, 32 + (i * 53 + t * 17) % 993);
                QImage image = newKeptRaster(size);
                const QRgb colour = qRgb(t * 60, i % 256, 7);
                image.fill(colour);
                held.push_back(std::move(image));
                if (held.size() > 3) {
                    const QImage &oldest = held.front();
                    if (oldest.pixel(0, 0) != oldest.pixel(oldest.width() - 1, oldest.height() - 1)
                        || qRed(oldest.pixel(0, 0)) != t * 60)
                        ++shared;
                    held.erase(held.begin());
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(shared.load(), 0);
    EXPECT_LE(spareRasterBytes(), 16 << 20);
}

TEST(TiledRaster, TheTilesOfAPageOfTextAskedForAtOnceAreTheTilesDrawnOneByOne)
{
    // Opaque, and glyphs enough to count as text: its tiles take turns.
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 600));
    for (int line = 0; line < 16; ++line)
        writer.addText(0, QPointF(30, 560 - line * 34), QStringLiteral("The tiles of a page of text take turns, %1").arg(line),
                       FixtureFont::Helvetica, 18);
    const QByteArray data = writer.data();
    const QImage expected = tiledRaster(PdfDocument::openData(data)->page(0), 2, 512);

    const auto document = PdfDocument::openData(data);
    const auto list = document->page(0).displayList(true);
    std::vector<QImage> tiles(9);
    std::vector<std::thread> threads;
    for (int i = 0; i < 9; ++i)
        threads.emplace_back([&, i] { tiles[i] = list->render(2, QRect(i % 3 * 512, i / 3 * 512, 512, 512)); });
    for (std::thread &thread : threads)
        thread.join();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(tiles[i], expected.copy(QRect(i % 3 * 512, i / 3 * 512, 512, 512)).copy(tiles[i].rect())) << i;
}
