#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPage.h"

using namespace folvan::engine;

namespace {

std::shared_ptr<PdfDocument> documentOf(const PdfFixtureWriter &writer)
{
    QString error;
    auto doc = PdfDocument::openData(writer.data(), &error);
    EXPECT_TRUE(doc) << error.toStdString();
    return doc;
}

std::shared_ptr<PdfDocument> onePage(QSizeF size, int rotate = 0)
{
    PdfFixtureWriter writer;
    writer.addPage(size, std::nullopt, rotate);
    return documentOf(writer);
}

// A 600 × 600 page (one pixel a point at edge 600) with a black bar
// across (100, 300)–(500, 320).
std::shared_ptr<PdfDocument> squarePage()
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(600, 600));
    writer.addFilledRect(0, QRectF(100, 300, 400, 20), Qt::black);
    return documentOf(writer);
}

// The pixel of page point (x, y) on the 600-point square page at edge 600.
QColor at(const QImage &image, double x, double y) { return image.pixelColor(int(x), int(600 - y)); }

const RasterOverlayRow kYellow{50, 50, 100, 100, 1.0, 1.0, 0.0, 0.5, 0.0};

} // namespace

TEST(PageRaster, FitsThePageIntoTheClampedEdge)
{
    const auto a4 = onePage(QSizeF(595.276, 841.89));
    EXPECT_EQ(PageRaster::image(PdfPage(a4, 0), 2400, {}).size(), QSize(1697, 2400));
    const auto letter = onePage(QSizeF(612, 792));
    EXPECT_EQ(PageRaster::image(PdfPage(letter, 0), 2400, {}).size(), QSize(1855, 2400));
    EXPECT_EQ(PageRaster::image(PdfPage(letter, 0), 600, {}).size(), QSize(464, 600));
    EXPECT_EQ(PageRaster::image(PdfPage(letter, 0), 0, {}).size(), QSize(464, 600));
    EXPECT_EQ(PageRaster::image(PdfPage(letter, 0), -5, {}).size(), QSize(464, 600));
    EXPECT_EQ(PageRaster::image(PdfPage(letter, 0), 10000, {}).height(), 4096);

    const auto turned = onePage(QSizeF(612, 792), 90);
    EXPECT_EQ(PageRaster::image(PdfPage(turned, 0), 600, {}).size(), QSize(600, 464));
    const auto quarterBack = onePage(QSizeF(612, 792), 270);
    EXPECT_EQ(PageRaster::image(PdfPage(quarterBack, 0), 600, {}).size(), QSize(600, 464));
    const auto upsideDown = onePage(QSizeF(612, 792), 180);
    EXPECT_EQ(PageRaster::image(PdfPage(upsideDown, 0), 600, {}).size(), QSize(464, 600));

    EXPECT_TRUE(PageRaster::image(PdfPage(), 600, {}).isNull());
    EXPECT_TRUE(PageRaster::png(PdfPage(), 600, {}).isEmpty());
}

TEST(PageRaster, EncodesAnOpaquePngOfTheRaster)
{
    const auto doc = squarePage();
    const QByteArray png = PageRaster::png(PdfPage(doc, 0), 600, {kYellow});
    ASSERT_TRUE(png.startsWith("\x89PNG"));
    const QImage decoded = QImage::fromData(png, "PNG");
    EXPECT_EQ(decoded.size(), QSize(600, 600));
    EXPECT_FALSE(decoded.hasAlphaChannel());
    EXPECT_EQ(at(decoded, 10, 10), QColor(Qt::white));
    EXPECT_EQ(at(decoded, 100, 100).blue(), 127);
}

TEST(PageRaster, MultipliesHighlightsOverThePage)
{
    const auto doc = squarePage();
    const PdfPage page(doc, 0);
    // One highlight over white and over the black bar; a second one
    // overlapping the first on its right half.
    const RasterOverlayRow overBar{200, 280, 100, 60, 1.0, 1.0, 0.0, 0.5, 0.0};
    const RasterOverlayRow overlap{250, 280, 100, 60, 1.0, 1.0, 0.0, 0.5, 0.0};
    const QImage image = PageRaster::image(page, 600, {overBar, overlap});
    const QColor single = at(image, 220, 290);
    EXPECT_EQ(single.red(), 255);
    EXPECT_NEAR(single.blue(), 127, 1);
    EXPECT_NEAR(at(image, 270, 290).blue(), 63, 2); // darker where both lie
    EXPECT_EQ(at(image, 220, 310), QColor(Qt::black)); // text under a highlight stays black
}

TEST(PageRaster, DrawsAnUnderlineOnePointAboveTheRectangleBottom)
{
    const auto doc = squarePage();
    // Kind exactly 1.0: a line at y = 101 whatever the row's alpha; 0.999
    // is a filled rectangle.
    const QImage underline = PageRaster::image(PdfPage(doc, 0), 600, {{50, 100, 100, 20, 1.0, 0.0, 0.0, 0.1, 1.0}});
    // The 1-unit line centred on y = 101 covers half of the two pixel rows
    // beside it: 0.85 × 0.5 of red each.
    EXPECT_NEAR(at(underline, 100, 100.5).green(), 146, 2);
    EXPECT_NEAR(at(underline, 100, 101.5).green(), 146, 2);
    EXPECT_EQ(at(underline, 100, 99.5), QColor(Qt::white));
    EXPECT_EQ(at(underline, 100, 110), QColor(Qt::white));
    const QImage filled = PageRaster::image(PdfPage(doc, 0), 600, {{50, 100, 100, 20, 1.0, 0.0, 0.0, 0.1, 0.999}});
    EXPECT_NEAR(at(filled, 100, 110).green(), std::lround(255 * 0.9), 1);
}

TEST(PageRaster, SkipsRowsItCannotUse)
{
    const auto doc = squarePage();
    const PdfPage page(doc, 0);
    const QImage plain = PageRaster::image(page, 600, {});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<RasterOverlayRow> bad{
        {50, 50, 100, 100, 1, 1, 0, nan, 0},   {50, 50, inf, 100, 1, 1, 0, 0.5, 0},
        {50, 50, 100, 100, 1, 1, 0, 0.5},      {50, 50, 100, 100, 1, 1, 0, 0.5, 0, 0},
        {50, 50, 0, 100, 1, 1, 0, 0.5, 0},     {700, 700, 50, 50, 1, 1, 0, 0.5, 0},
    };
    EXPECT_EQ(PageRaster::image(page, 600, bad).convertToFormat(QImage::Format_RGB32),
              plain.convertToFormat(QImage::Format_RGB32));
}

TEST(PageRaster, BurnsRowsInPageSpaceOnRotatedPages)
{
    // A 600 × 300 page turned a quarter: the raster is 300 wide, 600 high;
    // page point (550, 150) is shown near the raster's bottom.
    const auto doc = onePage(QSizeF(600, 300), 90);
    const QImage image = PageRaster::image(PdfPage(doc, 0), 600, {{540, 140, 20, 20, 0.0, 0.0, 1.0, 1.0, 0.0}});
    ASSERT_EQ(image.size(), QSize(300, 600));
    EXPECT_EQ(image.pixelColor(150, 550), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(150, 50), QColor(Qt::white));
}

TEST(PageRaster, GivesTheDisplayedAspect)
{
    EXPECT_DOUBLE_EQ(PageRaster::aspect(nullptr), 1.414);
    const auto letter = onePage(QSizeF(612, 792));
    const PdfPage letterPage(letter, 0);
    EXPECT_NEAR(PageRaster::aspect(&letterPage), 792.0 / 612.0, 1e-9);
    const auto turned = onePage(QSizeF(612, 792), 90);
    const PdfPage turnedPage(turned, 0);
    EXPECT_NEAR(PageRaster::aspect(&turnedPage), 612.0 / 792.0, 1e-9);
    const auto tall = onePage(QSizeF(100, 300));
    const PdfPage tallPage(tall, 0);
    EXPECT_DOUBLE_EQ(PageRaster::aspect(&tallPage), 2.0);
}
