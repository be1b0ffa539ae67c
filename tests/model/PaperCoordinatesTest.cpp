// Sheet coordinates of the book view against page space, on plain, offset
// and rotated pages.

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/PaperCoordinates.h"

#include <gtest/gtest.h>

#include <limits>

using namespace folvan;
using namespace folvan::model;

namespace {

constexpr double kEps = 1e-9;

std::shared_ptr<engine::PdfDocument> onePage(QSizeF media, std::optional<QRectF> crop = std::nullopt, int rotate = 0)
{
    engine::PdfFixtureWriter writer;
    writer.addPage(media, crop, rotate);
    return engine::PdfDocument::openData(writer.data());
}

// The sheet point of a page point.
QPointF sheetPoint(const PaperCoordinates &c, QPointF page)
{
    return c.paperRect(QRectF(page, QSizeF(0, 0))).topLeft();
}

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6);
}

} // namespace

TEST(PaperCoordinates, APageOfTheSheetsProportionsFillsIt)
{
    auto doc = onePage(QSizeF(600, 800));
    const auto c = PaperCoordinates::make(doc->page(0), 800.0 / 600.0);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->fittedSize().width(), 1, kEps);
    EXPECT_NEAR(c->fittedSize().height(), 800.0 / 600.0, kEps);
    expectNear(*c->pdfPoint(QPointF(0.5, 0.5)), QPointF(300, 400));
    expectNear(*c->pdfPoint(QPointF(0, 0)), QPointF(0, 0)); // v grows upward, like page space
    expectNear(*c->pdfPoint(QPointF(1, 1)), QPointF(600, 800));
}

TEST(PaperCoordinates, MarginsBelongToNoPage)
{
    auto doc = onePage(QSizeF(600, 800));
    const auto square = PaperCoordinates::make(doc->page(0), 1.0);
    ASSERT_TRUE(square);
    EXPECT_NEAR(square->fittedSize().width(), 0.75, kEps);
    EXPECT_NEAR(square->fittedSize().height(), 1.0, kEps);
    EXPECT_FALSE(square->pdfPoint(QPointF(0.1, 0.5)));
    expectNear(*square->pdfPoint(QPointF(0.125, 0.5)), QPointF(0, 400));
    EXPECT_FALSE(square->pdfPoint(QPointF(0.9, 0.5)));

    // A tall sheet: margins above and below.
    const auto tall = PaperCoordinates::make(doc->page(0), 2.0);
    ASSERT_TRUE(tall);
    EXPECT_FALSE(tall->pdfPoint(QPointF(0.5, 0.1)));
    EXPECT_FALSE(tall->pdfPoint(QPointF(0.5, 1.2)));
    EXPECT_FALSE(tall->pdfPoint(QPointF(qQNaN(), 0.5)));
    EXPECT_FALSE(tall->pdfPoint(QPointF(std::numeric_limits<double>::infinity(), 0.5)));
}

TEST(PaperCoordinates, NoValueForBadAspectsOrPages)
{
    auto doc = onePage(QSizeF(600, 800));
    for (double aspect : {0.0, -1.0, std::numeric_limits<double>::infinity(), qQNaN()})
        EXPECT_FALSE(PaperCoordinates::make(doc->page(0), aspect)) << aspect;
    EXPECT_FALSE(PaperCoordinates::make(engine::PdfPage(), 1.0));
    EXPECT_FALSE(PaperCoordinates::make(doc->page(3), 1.0));
}

TEST(PaperCoordinates, AnOffsetCropBoxRoundTrips)
{
    const QRectF crop(50, 100, 400, 600);
    auto doc = onePage(QSizeF(612, 792), crop);
    const auto c = PaperCoordinates::make(doc->page(0), 1.5);
    ASSERT_TRUE(c);
    // The whole crop box is the whole sheet.
    const QRectF sheet = c->paperRect(crop);
    EXPECT_NEAR(sheet.x(), 0, kEps);
    EXPECT_NEAR(sheet.y(), 0, kEps);
    EXPECT_NEAR(sheet.width(), 1, kEps);
    EXPECT_NEAR(sheet.height(), 1, kEps);
    const QRectF word(120, 300, 80, 12);
    const QRectF w = c->paperRect(word);
    expectNear(*c->pdfPoint(w.topLeft()), word.topLeft()); // lower-left corners (y up)
}

class RotatedPages : public ::testing::TestWithParam<int> {};

TEST_P(RotatedPages, PointsRoundTripAndTheCropBoxFillsTheFittedArea)
{
    const int rotate = GetParam();
    const QRectF crop(30, 40, 400, 600);
    auto doc = onePage(QSizeF(612, 792), crop, rotate);
    const double aspect = 1.2;
    const auto c = PaperCoordinates::make(doc->page(0), aspect);
    ASSERT_TRUE(c);
    const bool quarter = rotate % 180 == 90;
    EXPECT_EQ(c->paperSize(), quarter ? QSizeF(600, 400) : QSizeF(400, 600));

    const double s = c->fittedSize().width();
    const double t = c->fittedSize().height();
    const QRectF whole = c->paperRect(crop);
    EXPECT_NEAR(whole.x(), (1 - s) / 2, kEps);
    EXPECT_NEAR(whole.width(), s, kEps);
    EXPECT_NEAR(whole.y(), (aspect - t) / 2 / aspect, kEps);
    EXPECT_NEAR(whole.height(), t / aspect, kEps);

    for (QPointF p : {QPointF(31, 41), QPointF(200, 350), QPointF(429, 639)}) {
        const auto back = c->pdfPoint(sheetPoint(*c, p));
        ASSERT_TRUE(back) << p.x() << "," << p.y();
        expectNear(*back, p);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryQuarterTurn, RotatedPages, ::testing::Values(0, 90, 180, 270),
                         [](const ::testing::TestParamInfo<int> &info) { return "Turn" + std::to_string(info.param); });


TEST(PaperCoordinates, AQuarterTurnPutsThePagesTopAtTheSheetsSide)
{
    // Rotated 90 degrees clockwise: the page's top edge is on the right.
    auto doc = onePage(QSizeF(400, 600), std::nullopt, 90);
    const auto c = PaperCoordinates::make(doc->page(0), 400.0 / 600.0);
    ASSERT_TRUE(c);
    const QPointF topMiddle = sheetPoint(*c, QPointF(200, 600));
    EXPECT_NEAR(topMiddle.x(), 1, 1e-6);
    EXPECT_NEAR(topMiddle.y(), 0.5, 1e-6);
}
