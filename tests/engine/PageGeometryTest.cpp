#include <gtest/gtest.h>

#include <cmath>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"

using namespace folvan::engine;

namespace {

// Every coordinate here is exact in the PDF, so comparisons allow only
// float rounding.
constexpr double kEps = 1e-3;

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), kEps) << "expected (" << expected.x() << ", " << expected.y() << ")";
    EXPECT_NEAR(actual.y(), expected.y(), kEps) << "expected (" << expected.x() << ", " << expected.y() << ")";
}

void expectNear(const QRectF &actual, const QRectF &expected)
{
    expectNear(actual.topLeft(), expected.topLeft());
    expectNear(actual.bottomRight(), expected.bottomRight());
}

struct Case {
    int rotate;       // as written in the file
    int normalized;   // as the page reports it
    QRectF crop;      // crop box in user space
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << "/Rotate " << c.rotate << ", crop box " << c.crop.x() << " " << c.crop.y() << " " << c.crop.width()
         << "x" << c.crop.height();
}

// "Rotate90Cropped", "RotateMinus90Cropped", "Rotate0Full", ...
std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    const int r = info.param.rotate;
    return "Rotate" + std::string(r < 0 ? "Minus" : "") + std::to_string(std::abs(r))
           + (info.param.crop.topLeft().isNull() ? "Full" : "Cropped");
}

// A page 400 × 500 with a crop box that does not start at the origin, a
// marker rectangle and a line of Courier text inside the crop box.
const QRectF kMarker(150, 220, 40, 30);
const QPointF kTextOrigin(130, 300);
const QString kText = QStringLiteral("Folvan");

std::shared_ptr<PdfDocument> makeDocument(const Case &c)
{
    PdfFixtureWriter writer;
    const int page = writer.addPage(QSizeF(400, 500), c.crop, c.rotate);
    writer.addFilledRect(page, kMarker, QColor(255, 0, 0));
    writer.addText(page, kTextOrigin, kText, FixtureFont::Courier, 20);
    QString error;
    auto doc = PdfDocument::openData(writer.data(), &error);
    EXPECT_TRUE(doc) << error.toStdString();
    return doc;
}

class RotatedPage : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(RotatedPage, ReportsBoxesRotationAndDisplayedSize)
{
    const Case c = GetParam();
    auto doc = makeDocument(c);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    EXPECT_EQ(page.rotation(), c.normalized);
    expectNear(page.cropBox(), c.crop);
    expectNear(page.mediaBox(), QRectF(0, 0, 400, 500));
    const bool quarter = c.normalized % 180 == 90;
    const QSizeF size = page.displaySize();
    EXPECT_NEAR(size.width(), quarter ? c.crop.height() : c.crop.width(), kEps);
    EXPECT_NEAR(size.height(), quarter ? c.crop.width() : c.crop.height(), kEps);
}

TEST_P(RotatedPage, DrawingTransformTakesTheCropBoxToTheDisplayedPage)
{
    const Case c = GetParam();
    auto doc = makeDocument(c);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    const QTransform t = page.drawingTransform();
    const QSizeF size = page.displaySize();
    expectNear(t.mapRect(c.crop), QRectF(QPointF(0, 0), size));

    // Where the crop box's lower-left corner (QRectF's top is the lowest y)
    // lands as the page turns clockwise (y up on the displayed page).
    const QPointF corner(c.crop.left(), c.crop.top());
    QPointF expected;
    switch (c.normalized) {
    case 0: expected = QPointF(0, 0); break;
    case 90: expected = QPointF(0, size.height()); break;
    case 180: expected = QPointF(size.width(), size.height()); break;
    case 270: expected = QPointF(size.width(), 0); break;
    }
    expectNear(t.map(corner), expected);
}

TEST_P(RotatedPage, PointsRoundTripBetweenUserSpaceDisplayAndPixels)
{
    const Case c = GetParam();
    auto doc = makeDocument(c);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    for (double scale : {1.0, 2.0, 0.75}) {
        const QTransform toPixels = page.rasterTransform(scale);
        const QTransform toDisplay = page.drawingTransform();
        for (QPointF p : {QPointF(150, 220), QPointF(190, 250), QPointF(c.crop.center())}) {
            expectNear(toPixels.inverted().map(toPixels.map(p)), p);
            expectNear(toDisplay.inverted().map(toDisplay.map(p)), p);
            // Pixels are the displayed page flipped (y down) and scaled.
            const QPointF d = toDisplay.map(p);
            expectNear(toPixels.map(p), QPointF(d.x() * scale, (page.displaySize().height() - d.y()) * scale));
        }
    }
}

TEST_P(RotatedPage, RasterShowsTheMarkerWhereTheTransformPutsIt)
{
    const Case c = GetParam();
    auto doc = makeDocument(c);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    const double scale = 2;
    const QImage image = page.render(scale);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), (page.displaySize() * scale).toSize());
    const QRectF marker = page.rasterTransform(scale).mapRect(kMarker);
    auto colourAt = [&](QPointF p) { return image.pixelColor(int(p.x()), int(p.y())); };
    EXPECT_EQ(colourAt(marker.center()), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(marker.topLeft() + QPointF(2, 2)), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(marker.bottomRight() - QPointF(2, 2)), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(marker.topLeft() - QPointF(3, 3)), QColor(Qt::white));
    EXPECT_EQ(colourAt(marker.bottomRight() + QPointF(3, 3)), QColor(Qt::white));

    // A region of the raster is the same pixels as the full raster.
    const QRect region = marker.toAlignedRect().adjusted(-6, -6, 6, 6);
    const QImage part = page.render(scale, true, region);
    ASSERT_EQ(part.size(), region.size());
    EXPECT_EQ(part, image.copy(region));
}

TEST_P(RotatedPage, TextBoxesAreInUserSpaceWhateverTheRotation)
{
    const Case c = GetParam();
    auto doc = makeDocument(c);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    ASSERT_EQ(page.string(), kText);
    // Courier: every character is 0.6 em wide.
    for (int i = 0; i < kText.size(); ++i) {
        const QRectF box = page.characterBounds(i);
        EXPECT_NEAR(box.left(), kTextOrigin.x() + 12 * i, kEps) << i;
        EXPECT_NEAR(box.width(), 12, kEps) << i;
        EXPECT_LT(box.top(), kTextOrigin.y());
        EXPECT_GT(box.bottom(), kTextOrigin.y());
    }
    // A point in the middle of the third character finds it.
    const QRectF third = page.characterBounds(2);
    EXPECT_EQ(page.characterIndexAt(third.center()), 2);
    EXPECT_EQ(page.characterIndexAt(QPointF(kMarker.center())), -1);
}

INSTANTIATE_TEST_SUITE_P(Rotations, RotatedPage,
                         ::testing::Values(Case{0, 0, QRectF(100, 200, 250, 200)},
                                           Case{90, 90, QRectF(100, 200, 250, 200)},
                                           Case{180, 180, QRectF(100, 200, 250, 200)},
                                           Case{270, 270, QRectF(100, 200, 250, 200)},
                                           Case{-90, 270, QRectF(100, 200, 250, 200)},
                                           Case{450, 90, QRectF(100, 200, 250, 200)},
                                           Case{0, 0, QRectF(0, 0, 400, 500)},
                                           Case{90, 90, QRectF(0, 0, 400, 500)}),
                         caseName);


TEST(PageGeometry, CropBoxIsClippedToTheMediaBox)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(300, 300), QRectF(-50, 100, 500, 100));
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    expectNear(doc->page(0).cropBox(), QRectF(0, 100, 300, 100));
}

TEST(PageGeometry, RenderFittingGivesTheLongerEdge)
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(200, 400), std::nullopt, 90);
    auto doc = PdfDocument::openData(writer.data());
    ASSERT_TRUE(doc);
    const QImage image = doc->page(0).renderFitting(300);
    EXPECT_EQ(image.size(), QSize(300, 150));
}
