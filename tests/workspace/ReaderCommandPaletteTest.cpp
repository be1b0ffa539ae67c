#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "workspace/ReaderMenuTypography.h"
#include "window/PaneControls.h"
#include "workspace/ReaderCommandPalette.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace folvan::workspace;
using folvan::test::RecordingActions;
using folvan::test::commandIds;

namespace {

// A palette over a pane without a document (nextMatch enabled).
class ReaderCommandPaletteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        actions.record.hasMatches = true;
        palette = std::make_unique<ReaderCommandPalette>(actions.record, [this] { ++dismissals; });
        palette->show();
    }
    QList<QPushButton *> rows() const
    {
        return palette->findChild<QWidget *>(QStringLiteral("PaletteRows"))->findChildren<QPushButton *>();
    }
    void type(const char *query) const
    {
        palette->setQuery(QString::fromUtf8(query));
        folvan::test::waitForIdle();
    }
    // Lets the run delay pass and returns what ran.
    QStringList ranAfterDelay()
    {
        clock.advance(ReaderCommandPalette::kRunDelaySeconds);
        return *actions.calls;
    }

    folvan::platform::ManualClock clock;
    RecordingActions actions{false};
    std::unique_ptr<ReaderCommandPalette> palette;
    int dismissals = 0;
};

TEST_F(ReaderCommandPaletteTest, QueriesMatchTitlesAndIdentifiersIgnoringCaseAndBlanks)
{
    const std::pair<const char *, const char *> cases[] = {
        {"  help ", "help"}, {"帮助", "help"}, {"zoom", "zoomIn zoomOut"}, {"ZOOM", "zoomIn zoomOut"},
        {"zoomIn", "zoomIn"}, {"放大", "zoomIn"}, {"打开", "open external comparison"}, {"palette", ""},
    };
    for (const auto &[query, ids] : cases)
        EXPECT_EQ(commandIds(ReaderCommandPalette::matches(QString::fromUtf8(query))).join(' '),
                  QString::fromLatin1(ids)) << query;
    for (const QString &blank : {QString(), QStringLiteral("  \n\t ")}) {
        const QStringList all = commandIds(ReaderCommandPalette::matches(blank));
        EXPECT_EQ(all.size(), 35);
        EXPECT_FALSE(all.contains(QStringLiteral("palette")));
        EXPECT_EQ(all.constFirst(), QStringLiteral("open"));
    }
}

TEST_F(ReaderCommandPaletteTest, TheListGreysDisabledMatchesAndSaysWhenNothingMatches)
{
    EXPECT_EQ(rows().size(), 35);
    type("打开");
    const QList<QPushButton *> shown = rows();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ((QList<bool>{shown[0]->isEnabled(), shown[1]->isEnabled(), shown[2]->isEnabled()}),
              (QList<bool>{true, false, true}));
    type("no such command");
    EXPECT_TRUE(rows().isEmpty());
    auto *empty = palette->findChild<QLabel *>(QStringLiteral("PaletteEmpty"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->text(), QStringLiteral("没有匹配的操作"));
}

TEST_F(ReaderCommandPaletteTest, ShortcutsAndTheEmptyNoteAreSecondaryText)
{
    // As drawn, under the palette's own style sheet.
    const QColor secondary = folvan::window::secondaryTextColor();
    auto drawnColour = [](QLabel *label) {
        label->ensurePolished();
        return label->palette().color(label->foregroundRole());
    };
    type("zoomIn");
    ASSERT_EQ(rows().size(), 1);
    const QList<QLabel *> labels = rows()[0]->findChildren<QLabel *>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[1]->text(), ReaderCommandRegistry::command(ReaderCommandID::zoomIn).shortcutLabel());
    EXPECT_EQ(drawnColour(labels[1]), secondary);
    EXPECT_NE(drawnColour(labels[0]), secondary);
    type("no such command");
    EXPECT_EQ(drawnColour(palette->findChild<QLabel *>(QStringLiteral("PaletteEmpty"))), secondary);
#ifndef Q_OS_MACOS
    // No command key symbol where there is no command key.
    auto *symbol = palette->findChild<QLabel *>(QStringLiteral("PaletteSymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_NE(symbol->pixmap().toImage(),
              folvan::platform::symbolIcon(QStringLiteral("command")).pixmap(16, 16, QIcon::Disabled).toImage());
#endif
}

TEST_F(ReaderCommandPaletteTest, ReturnClosesAndRunsTheFirstEnabledMatchAfterTheDelay)
{
    // "external" (no document) comes first, then "nextMatch".
    type("ex");
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    EXPECT_EQ(dismissals, 1);
    clock.advance(ReaderCommandPalette::kRunDelaySeconds - 0.01);
    EXPECT_TRUE(actions.calls->isEmpty());
    EXPECT_EQ(ranAfterDelay(), QStringList{QStringLiteral("nextMatch true")});
}

TEST_F(ReaderCommandPaletteTest, DisabledChoicesAndEscapeRunNothing)
{
    type("放大");
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    type("打开");
    QTest::mouseClick(rows()[1], Qt::LeftButton); // external, disabled
    EXPECT_EQ(dismissals, 0);
    QTest::keyClick(palette->searchField(), Qt::Key_Escape);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(ranAfterDelay().isEmpty());

    QTest::mouseClick(rows()[2], Qt::LeftButton);
    EXPECT_EQ(dismissals, 2);
    EXPECT_EQ(ranAfterDelay(), QStringList{QStringLiteral("toggleComparison")});
}

TEST_F(ReaderCommandPaletteTest, TheDelayedRunOutlivesThePalette)
{
    type("help");
    palette->submit();
    palette.reset();
    EXPECT_EQ(ranAfterDelay(), QStringList{QStringLiteral("help")});
}

} // namespace

namespace {

class ReaderCommandPaletteTextSizeTest : public folvan::test::ShellTest {};

// The titles and the search field take the interface text size, as the
// shortcut labels do, also when it changes while the palette is open, under
// a window that follows the size as the reader's does.
TEST_F(ReaderCommandPaletteTextSizeTest, TitlesAndTheFieldFollowTheInterfaceSize)
{
    QWidget window;
    applyReaderInterfaceStyle(&window);
    RecordingActions actions{false};
    auto *palette = new ReaderCommandPalette(actions.record, [] {}, &window);
    window.show();
    for (const double size : {20.0, 13.0}) {
        defaults().setValue(folvan::platform::prefkey::interfaceTextSize, size);
        folvan::test::waitForIdle();
        const double body = folvan::platform::interfaceFont(folvan::platform::InterfaceTextRole::body).pointSizeF();
        auto *row = palette->findChild<QWidget *>(QStringLiteral("PaletteRows"))->findChild<QPushButton *>();
        ASSERT_NE(row, nullptr);
        auto *title = row->findChild<QLabel *>();
        title->ensurePolished();
        EXPECT_DOUBLE_EQ(title->font().pointSizeF(), body) << size;
        auto *field = palette->findChild<QLineEdit *>();
        field->ensurePolished();
        EXPECT_DOUBLE_EQ(field->font().pointSizeF(), body) << size;
    }
    palette->setQuery(QStringLiteral("no such command"));
    auto *empty = palette->findChild<QLabel *>(QStringLiteral("PaletteEmpty"));
    ASSERT_NE(empty, nullptr);
    empty->ensurePolished();
    EXPECT_DOUBLE_EQ(empty->font().pointSizeF(),
                     folvan::platform::interfaceFont(folvan::platform::InterfaceTextRole::body).pointSizeF());
}

} // namespace
