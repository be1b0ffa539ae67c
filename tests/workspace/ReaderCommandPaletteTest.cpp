#include <gtest/gtest.h>

#include "RecordingActions.h"
#include "workspace/ReaderCommandPalette.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace folvan::workspace;
using folvan::test::RecordingActions;
using folvan::test::commandIds;

namespace {

class ReaderCommandPaletteTest : public ::testing::Test {
protected:
    // A palette over a pane without a document.
    std::unique_ptr<ReaderCommandPalette> makePalette()
    {
        auto palette = std::make_unique<ReaderCommandPalette>(actions.record, [this] { ++dismissals; });
        palette->show();
        return palette;
    }
    QList<QPushButton *> rows(ReaderCommandPalette &palette)
    {
        return palette.findChild<QWidget *>(QStringLiteral("PaletteRows"))->findChildren<QPushButton *>();
    }

    RecordingActions actions{false};
    int dismissals = 0;
};

TEST_F(ReaderCommandPaletteTest, ABlankQueryListsEveryCommandButThePalette)
{
    for (const QString &query : {QString(), QStringLiteral("  \n\t ")}) {
        const auto rows = ReaderCommandPalette::matches(query);
        EXPECT_EQ(rows.size(), 35u);
        EXPECT_FALSE(commandIds(rows).contains(QStringLiteral("palette")));
        EXPECT_EQ(commandIds(rows).constFirst(), QStringLiteral("open"));
        EXPECT_EQ(commandIds(rows).constLast(), QStringLiteral("help"));
    }
}

TEST_F(ReaderCommandPaletteTest, TitlesAndIdentifiersMatchIgnoringCase)
{
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("  help "))), QStringList{QStringLiteral("help")});
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("帮助"))), QStringList{QStringLiteral("help")});
    const QStringList zoom{QStringLiteral("zoomIn"), QStringLiteral("zoomOut")};
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("zoom"))), zoom);
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("ZOOM"))), zoom);
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("zoomIn"))), QStringList{QStringLiteral("zoomIn")});
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("放大"))), QStringList{QStringLiteral("zoomIn")});
    EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QStringLiteral("打开"))),
              QString("open external comparison").split(' '));
    EXPECT_TRUE(ReaderCommandPalette::matches(QStringLiteral("palette")).empty());
}

TEST_F(ReaderCommandPaletteTest, TheListShowsEveryMatchAndGreysTheDisabledOnes)
{
    auto palette = makePalette();
    EXPECT_EQ(rows(*palette).size(), 35);
    palette->setQuery(QStringLiteral("打开"));
    QApplication::processEvents();
    const QList<QPushButton *> shown = rows(*palette);
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0]->isEnabled());
    EXPECT_FALSE(shown[1]->isEnabled());
    EXPECT_TRUE(shown[2]->isEnabled());

    palette->setQuery(QStringLiteral("no such command"));
    QApplication::processEvents();
    EXPECT_TRUE(rows(*palette).isEmpty());
    auto *empty = palette->findChild<QLabel *>(QStringLiteral("PaletteEmpty"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->text(), QStringLiteral("没有匹配的操作"));
}

TEST_F(ReaderCommandPaletteTest, ReturnRunsTheFirstEnabledMatchAfterClosing)
{
    auto palette = makePalette();
    palette->setQuery(QStringLiteral("打开"));
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(actions.calls->isEmpty());
    QTest::qWait(100);
    EXPECT_TRUE(actions.calls->isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !actions.calls->isEmpty(); }, 1000));
    EXPECT_EQ(*actions.calls, QStringList{QStringLiteral("open")});
}

TEST_F(ReaderCommandPaletteTest, ReturnPassesOverDisabledMatchesAndDoesNothingWithoutAnEnabledOne)
{
    actions.record.hasMatches = true;
    auto palette = makePalette();
    palette->setQuery(QStringLiteral("放大"));
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    QTest::qWait(250);
    EXPECT_EQ(dismissals, 0);
    EXPECT_TRUE(actions.calls->isEmpty());

    // "external" (no document) comes first, then "nextMatch".
    palette->setQuery(QStringLiteral("ex"));
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !actions.calls->isEmpty(); }, 1000));
    EXPECT_EQ(*actions.calls, QStringList{QStringLiteral("nextMatch true")});
}

TEST_F(ReaderCommandPaletteTest, ClickingRunsEnabledRowsOnlyAndEscapeRunsNothing)
{
    auto palette = makePalette();
    palette->setQuery(QStringLiteral("打开"));
    QApplication::processEvents();
    QTest::mouseClick(rows(*palette)[1], Qt::LeftButton); // external, disabled
    QTest::qWait(250);
    EXPECT_EQ(dismissals, 0);
    EXPECT_TRUE(actions.calls->isEmpty());

    QTest::keyClick(palette->searchField(), Qt::Key_Escape);
    EXPECT_EQ(dismissals, 1);
    QTest::qWait(250);
    EXPECT_TRUE(actions.calls->isEmpty());

    QTest::mouseClick(rows(*palette)[2], Qt::LeftButton); // comparison
    EXPECT_EQ(dismissals, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !actions.calls->isEmpty(); }, 1000));
    EXPECT_EQ(*actions.calls, QStringList{QStringLiteral("toggleComparison")});
}

TEST_F(ReaderCommandPaletteTest, TheDelayedRunOutlivesThePalette)
{
    auto palette = makePalette();
    palette->setQuery(QStringLiteral("help"));
    palette->submit();
    palette.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !actions.calls->isEmpty(); }, 1000));
    EXPECT_EQ(*actions.calls, QStringList{QStringLiteral("help")});
}

} // namespace
