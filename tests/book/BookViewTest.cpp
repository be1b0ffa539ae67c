#include "book/BookCover.h"
#include "book/DroppableBookWebView.h"
#include "book/PaperReadingView.h"

#include "BookTestSupport.h"
#include "platform/Preferences.h"

#include <QPushButton>

#include <cmath>

using namespace folvan;
using namespace folvan::book;

TEST(BookWebViewRules, PinchesScaleTheZoomWithinItsRange)
{
    double zoom = DroppableBookWebView::pinchedZoom(1.0, 0.1);
    EXPECT_DOUBLE_EQ(zoom, 1.1);
    EXPECT_DOUBLE_EQ(DroppableBookWebView::pinchedZoom(zoom, 0.1), 1.1 * 1.1);
    EXPECT_DOUBLE_EQ(DroppableBookWebView::pinchedZoom(3.8, 0.1), 4.0);
    EXPECT_DOUBLE_EQ(DroppableBookWebView::pinchedZoom(1.0, -0.6), 0.5);
    EXPECT_DOUBLE_EQ(DroppableBookWebView::pinchedZoom(1.0, -1), 0.5);
    EXPECT_DOUBLE_EQ(DroppableBookWebView::pinchedZoom(1.3, std::nan("")), 1.3);
}

TEST(BookWebViewRules, TakesTheFirstDroppedPdf)
{
    const QUrl text = QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt"));
    const QUrl upper = QUrl::fromLocalFile(QStringLiteral("/tmp/paper.PDF"));
    const QUrl second = QUrl::fromLocalFile(QStringLiteral("/tmp/second.pdf"));
    EXPECT_EQ(DroppableBookWebView::droppedPDF({text, upper, second}), upper);
    EXPECT_FALSE(DroppableBookWebView::droppedPDF({text}));
    EXPECT_FALSE(DroppableBookWebView::droppedPDF({QUrl(QStringLiteral("https://example.org/a.pdf"))}));
}

class ReadingParametersTest : public test::TempHomeTest {};

TEST_F(ReadingParametersTest, ResolvesPreferencesPaneValuesAndSystemMotion)
{
    BookViewParameters p = readingParameters(90, 1.5, std::nullopt, false);
    EXPECT_EQ(p.angle, 90);
    EXPECT_EQ(p.zoom, 1.5);
    EXPECT_EQ(p.warmth, 0.12);
    EXPECT_EQ(p.grain, 0.24);
    EXPECT_FALSE(p.reducedMotion);
    EXPECT_EQ(p.layout, platform::BookLayout::Spread);
    EXPECT_EQ(p.turnDuration, 2.1);
    EXPECT_EQ(p.wheelMode, platform::WheelMode::Turn);
    EXPECT_FALSE(p.wheelReverse);
    EXPECT_EQ(p.wheelSensitivity, 1.0);
    // The system's wish, or the preference alone, reduces motion.
    EXPECT_TRUE(readingParameters(0, 1, std::nullopt, true).reducedMotion);
    platform::Preferences::shared().setValue(QStringLiteral("folvan.reducedBookMotion"), true);
    EXPECT_TRUE(readingParameters(0, 1, std::nullopt, false).reducedMotion);
    // The pane's layout wins over the stored one.
    platform::Preferences::shared().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("spread"));
    EXPECT_EQ(readingParameters(0, 1, platform::BookLayout::Single, false).layout, platform::BookLayout::Single);
    // Stored texts as the page is told them: only "pan" pans.
    for (const auto &[text, mode] : {std::pair("pan", platform::WheelMode::Pan), std::pair("Pan", platform::WheelMode::Turn),
                                     std::pair("", platform::WheelMode::Turn)}) {
        platform::Preferences::shared().setValue(QStringLiteral("folvan.wheelMode"), QString::fromLatin1(text));
        EXPECT_EQ(readingParameters(0, 1, std::nullopt, false).wheelMode, mode) << text;
    }
}

TEST(ReadingModePickerTest, ChoosesBookOrScrollReading)
{
    ReadingModePicker picker;
    EXPECT_TRUE(picker.isBook());
    EXPECT_TRUE(picker.toolTip().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B).toString(QKeySequence::NativeText)));
    std::vector<bool> chosen;
    QObject::connect(&picker, &ReadingModePicker::bookChosen, [&](bool book) { chosen.push_back(book); });
    for (QPushButton *button : picker.findChildren<QPushButton *>())
        if (button->text() == QStringLiteral("滚动"))
            button->click();
    EXPECT_EQ(chosen, std::vector<bool>{false});
    EXPECT_FALSE(picker.isBook());
}

// The native first spread stands where the book page will draw it.
TEST(BookCoverPlacement, PutsTheSpreadWhereThePageDoes)
{
    // A spread of US letter pages in a 1000 × 700 view: two pages side by
    // side, the whole book in the middle of the view.
    const double letter = 792.0 / 612.0;
    SpreadPlacement p = SpreadPlacement::of(QSizeF(1000, 700), letter, platform::BookLayout::Spread, 1, 3, 10, 1);
    EXPECT_EQ(p.pageSize, QSizeF(476, 616));
    EXPECT_EQ(p.edge, 800);
    EXPECT_EQ(p.book, QRectF(24, 42, 952, 616));
    ASSERT_EQ(p.sheets.size(), 2u);
    EXPECT_EQ(p.sheets[0].first, 3);
    EXPECT_EQ(p.sheets[1].first, 4);
    EXPECT_EQ(p.sheets[1].second.left(), p.book.center().x());

    // The first page alone on the right, the last alone on the left.
    p = SpreadPlacement::of(QSizeF(1000, 700), letter, platform::BookLayout::Spread, 1, 0, 10, 2);
    ASSERT_EQ(p.sheets.size(), 1u);
    EXPECT_EQ(p.sheets[0].second.left(), p.book.center().x());
    EXPECT_EQ(p.edge, 1400);
    p = SpreadPlacement::of(QSizeF(1000, 700), letter, platform::BookLayout::Spread, 1, 9, 10, 1);
    EXPECT_EQ(p.sheets[0].second.right(), p.book.center().x());

    // A one-page paper stands alone in the middle; so does a zoomed single
    // page larger than the view.
    p = SpreadPlacement::of(QSizeF(1000, 700), letter, platform::BookLayout::Spread, 1, 0, 1, 1);
    EXPECT_EQ(p.book.width(), p.pageSize.width());
    EXPECT_EQ(p.book.center(), QPointF(500, 350));
    p = SpreadPlacement::of(QSizeF(1000, 700), letter, platform::BookLayout::Single, 1.5, 2, 10, 1);
    EXPECT_EQ(p.book.center(), QPointF(500, 350));
    EXPECT_GT(p.book.height(), 700);
    EXPECT_EQ(p.sheets.size(), 1u);
}

// The first spread drawn natively leans back as the page will: the top of
// the book draws in and its bottom reaches out, and the tilted book, made
// smaller, keeps within the view's margin, as large as fits.
TEST(BookCoverPlacement, TiltsTheBookInDepthWithinTheView)
{
    const QSizeF view(1000, 700);
    const QRectF book = SpreadPlacement::of(view, 792.0 / 612.0, platform::BookLayout::Spread, 1, 3, 10, 1).book;
    EXPECT_TRUE(SpreadPlacement::tilt(view, book.size(), 0).isIdentity());
    for (double angle : {30.0, -30.0, 60.0}) {
        const QTransform tilt = SpreadPlacement::tilt(view, book.size(), angle);
        const QPointF topLeft = tilt.map(book.topLeft());
        const QPointF topRight = tilt.map(book.topRight());
        const QPointF bottomLeft = tilt.map(book.bottomLeft());
        const QPointF bottomRight = tilt.map(book.bottomRight());
        const double topWidth = topRight.x() - topLeft.x();
        const double bottomWidth = bottomRight.x() - bottomLeft.x();
        EXPECT_TRUE(angle > 0 ? topWidth < bottomWidth : topWidth > bottomWidth) << angle;
        EXPECT_NEAR(topLeft.x() + topRight.x(), view.width(), 1e-6);
        const QRectF margin(24, 24, view.width() - 48, view.height() - 48);
        const QRectF tilted = QRectF(topLeft, bottomRight).normalized() | QRectF(bottomLeft, topRight).normalized();
        EXPECT_TRUE(margin.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(tilted)) << angle;
        // As large as fits: it touches the margin across or up and down.
        EXPECT_TRUE(std::abs(tilted.width() - margin.width()) < 1e-6 || std::abs(tilted.height() - margin.height()) < 1e-6)
            << angle;
        EXPECT_NEAR(tilted.center().y(), view.height() / 2, 1e-6) << angle;
    }
}
