#include <gtest/gtest.h>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/detail/WorkLimit.h"

using namespace folvan::engine;

namespace {

// A page whose content is a long run of idle operators, then a red square
// and a word: cut short, the run never reaches them.
QByteArray longPage()
{
    PdfFixtureWriter writer;
    writer.addPage(QSizeF(200, 200));
    QByteArray idle;
    for (int i = 0; i < 3'000'000; ++i)
        idle += "q Q\n";
    writer.addContent(0, idle);
    writer.addFilledRect(0, QRectF(50, 50, 100, 100), QColor(255, 0, 0));
    writer.addText(0, QPointF(60, 100), QStringLiteral("end"));
    return writer.data();
}

class LimitedWork : public ::testing::Test {
protected:
    void TearDown() override { detail::setWorkLimits(saved); }
    detail::WorkLimits saved = detail::workLimits();
};

} // namespace

TEST_F(LimitedWork, AHostilePageIsCutShortAndWhatWasDoneIsKept)
{
    static const QByteArray bytes = longPage();
    detail::setWorkLimits({1000, 30'000});
    auto doc = PdfDocument::openData(bytes);
    ASSERT_TRUE(doc);
    const PdfPage page = doc->page(0);
    const QImage cut = page.render(0.5);
    ASSERT_FALSE(cut.isNull());
    EXPECT_EQ(cut.pixelColor(50, 50), QColor(Qt::white));
    EXPECT_TRUE(page.string().isEmpty());
    auto list = page.displayList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->render(0.5).pixelColor(50, 50), QColor(Qt::white));

    // Within the limits the same page is drawn whole.
    detail::setWorkLimits(saved);
    auto again = PdfDocument::openData(bytes);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->page(0).render(0.5).pixelColor(50, 50), QColor(255, 0, 0));
    EXPECT_EQ(again->page(0).string(), QStringLiteral("end"));
}
