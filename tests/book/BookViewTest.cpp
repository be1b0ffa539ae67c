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
    EXPECT_EQ(p.layout, QStringLiteral("spread"));
    EXPECT_EQ(p.turnDuration, 2.1);
    EXPECT_EQ(p.wheelMode, QStringLiteral("turn"));
    EXPECT_FALSE(p.wheelReverse);
    EXPECT_EQ(p.wheelSensitivity, 1.0);
    // The system's wish, or the preference alone, reduces motion.
    EXPECT_TRUE(readingParameters(0, 1, std::nullopt, true).reducedMotion);
    platform::Preferences::shared().setValue(QStringLiteral("folvan.reducedBookMotion"), true);
    EXPECT_TRUE(readingParameters(0, 1, std::nullopt, false).reducedMotion);
    // The pane's layout wins over the stored one.
    platform::Preferences::shared().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("spread"));
    EXPECT_EQ(readingParameters(0, 1, QStringLiteral("single"), false).layout, QStringLiteral("single"));
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
