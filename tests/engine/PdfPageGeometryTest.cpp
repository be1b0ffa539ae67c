#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPageGeometry.h"

using namespace folvan::engine;

namespace {

std::shared_ptr<PdfDocument> openFixture(const PdfFixtureWriter &writer)
{
    auto document = PdfDocument::openData(writer.data());
    EXPECT_TRUE(document);
    return document;
}

// Fractions of a 612 x 792 page back in points, y up.
QRectF points(const QRectF &f, double w = 612, double h = 792)
{
    return QRectF(f.x() * w, (1 - f.y() - f.height()) * h, f.width() * w, f.height() * h);
}

void expectRect(const QRectF &actual, const QRectF &expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-3);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-3);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-3);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-3);
}

} // namespace

TEST(PageContentGeometry, MergesNearbyFiguresAndLeavesOutBackgrounds)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.addFilledRect(0, QRectF(0, 0, 612, 792), Qt::white); // background
    writer.addFilledRect(0, QRectF(100, 100, 100, 100), Qt::gray);
    writer.addFilledRect(0, QRectF(203, 100, 100, 100), Qt::gray); // 3 apart: merged
    writer.addFilledRect(0, QRectF(100, 400, 100, 100), Qt::gray);
    writer.addFilledRect(0, QRectF(208, 400, 100, 100), Qt::gray); // 8 apart: separate
    writer.addPage();
    writer.addFilledRect(1, QRectF(0, 0, 612, 792), Qt::white);
    auto document = openFixture(writer);

    const PdfPageGeometry geometry = pageGeometry(document->page(0));
    ASSERT_EQ(geometry.graphics.size(), 3u);
    expectRect(points(geometry.graphics[0]), QRectF(100, 100, 203, 100));
    expectRect(points(geometry.graphics[1]), QRectF(100, 400, 100, 100));
    expectRect(points(geometry.graphics[2]), QRectF(208, 400, 100, 100));
    EXPECT_TRUE(pageGeometry(document->page(1)).graphics.empty());
}

TEST(PageContentGeometry, FindsHorizontalRulesOnlyAsDisplayed)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.addFilledRect(0, QRectF(100, 700, 30, 1), Qt::black);   // a rule
    writer.addFilledRect(0, QRectF(100, 650, 20, 1), Qt::black);   // too short
    writer.addFilledRect(0, QRectF(100, 600, 30, 2.5), Qt::black); // too thick for a rule, too small for a figure
    writer.addFilledRect(0, QRectF(300, 100, 1, 100), Qt::black);  // vertical
    writer.addPage(QSizeF(612, 792), std::nullopt, 90);
    writer.addFilledRect(1, QRectF(300, 100, 1, 100), Qt::black);
    auto document = openFixture(writer);

    const PdfPageGeometry upright = pageGeometry(document->page(0));
    ASSERT_EQ(upright.rules.size(), 1u);
    expectRect(points(upright.rules[0]), QRectF(100, 699.85, 30, 1.3));
    EXPECT_TRUE(upright.graphics.empty());

    const PdfPageGeometry turned = pageGeometry(document->page(1));
    ASSERT_EQ(turned.rules.size(), 1u);
    // Displayed 792 wide: the line is now 100 points long and 1.3 high.
    EXPECT_NEAR(turned.rules[0].width() * 792, 100, 1e-3);
    EXPECT_NEAR(turned.rules[0].height() * 612, 1.3, 1e-3);
}

TEST(PageContentGeometry, ImagesAndFormsCountAsGraphicsWithinTheirLimits)
{
    PdfFixtureWriter writer;
    writer.addPage();
    QImage image(4, 4, QImage::Format_RGB888);
    image.fill(Qt::red);
    writer.addImage(0, QRectF(50, 500, 200, 100), image);
    const int form = writer.addFormXObject("0 0 60 40 re f\n", QRectF(0, 0, 60, 40));
    writer.drawForm(0, form, QTransform::fromTranslate(300, 100));
    writer.addPage();
    writer.addSelfDrawingForm(1);
    auto document = openFixture(writer);

    const PdfPageGeometry geometry = pageGeometry(document->page(0));
    ASSERT_EQ(geometry.graphics.size(), 2u);
    expectRect(points(geometry.graphics[0]), QRectF(50, 500, 200, 100));
    expectRect(points(geometry.graphics[1]), QRectF(300, 100, 60, 40));
    // A form that draws itself ends at the depth limit instead of hanging.
    pageGeometry(document->page(1));
}

TEST(PageContentGeometry, StopsAtTheOperatorLimitKeepingWhatItFound)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.addFilledRect(0, QRectF(100, 100, 100, 100), Qt::gray);
    QByteArray filler;
    for (int i = 0; i < 125000; ++i)
        filler += "q Q\n";
    writer.addContent(0, filler);
    writer.addFilledRect(0, QRectF(100, 400, 100, 100), Qt::gray); // past the limit
    auto document = openFixture(writer);

    const PdfPageGeometry geometry = pageGeometry(document->page(0));
    ASSERT_EQ(geometry.graphics.size(), 1u);
    expectRect(points(geometry.graphics[0]), QRectF(100, 100, 100, 100));
}

TEST(PageContentGeometry, VerifiedGeometryAddsLinksAndLinesOfUprightPages)
{
    PdfFixtureWriter writer;
    writer.addPage();
    writer.addPage();
    writer.addPage(QSizeF(612, 792), std::nullopt, 90);
    writer.addText(0, QPointF(72, 700), QStringLiteral("See section two"));
    writer.addLink(0, QRectF(72, 695, 80, 15), 1, QPointF(0, 900)); // above the target page
    writer.addText(1, QPointF(72, 700), QStringLiteral("Two"));
    writer.addText(2, QPointF(72, 700), QStringLiteral("Turned"));
    auto document = openFixture(writer);

    const PdfPageGeometry geometry = verifiedPageGeometry(document->page(0));
    ASSERT_TRUE(geometry.links && geometry.nativeLines);
    ASSERT_EQ(geometry.links->size(), 1u);
    const PdfGeometryLink &link = geometry.links->front();
    EXPECT_EQ(link.page, 1);
    EXPECT_DOUBLE_EQ(link.x, 0);
    EXPECT_DOUBLE_EQ(link.y, 0);
    EXPECT_TRUE(link.label.contains(QStringLiteral("See")));
    expectRect(link.rect, QRectF(72, 792 - 710, 80, 15));
    ASSERT_EQ(geometry.nativeLines->size(), 1u);
    EXPECT_EQ(geometry.nativeLines->front().text, QStringLiteral("See section two"));
    EXPECT_NEAR(geometry.nativeLines->front().rect.x(), 72, 1);

    const PdfPageGeometry turned = verifiedPageGeometry(document->page(2));
    EXPECT_FALSE(turned.links);
    EXPECT_FALSE(turned.nativeLines);
}
