#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "workspace/RadioPlayer.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QSet>

using namespace folvan::workspace;
using folvan::test::RecordingActions;
using folvan::test::commandIds;
using folvan::test::expectedCall;
using A = folvan::pane::ReaderActions;
using ID = ReaderCommandID;
using G = ReaderCommandGroup;

namespace {

// The radio plays a file that is not there: no network in tests.
class ReaderCommandRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RadioPlayer::shared().setStreamUrlForTesting(QUrl::fromLocalFile(QStringLiteral("/nonexistent/radio.mp3")));
    }
    void TearDown() override
    {
        if (RadioPlayer::shared().isPlaying())
            RadioPlayer::shared().toggle();
    }
};

TEST_F(ReaderCommandRegistryTest, EveryRowHasItsOwnIdentifierTitleAndShortcutAndStandsInOneGroup)
{
    const std::vector<ReaderCommand> &all = ReaderCommandRegistry::all();
    EXPECT_EQ(all.size(), 36u);
    QSet<QString> ids, shortcuts;
    for (const ReaderCommand &row : all) {
        const QString id = rawValue(row.id);
        SCOPED_TRACE(id.toStdString());
        EXPECT_EQ(&ReaderCommandRegistry::command(row.id), &row);
        EXPECT_EQ(readerCommandID(id), row.id);
        EXPECT_FALSE(ids.contains(id));
        ids.insert(id);
        EXPECT_FALSE(row.title.isEmpty());
        const QString shortcut = row.shortcut().toString(QKeySequence::PortableText);
        EXPECT_EQ(row.key.has_value(), !shortcut.isEmpty());
        EXPECT_EQ(row.shortcutLabel(), row.shortcut().toString(QKeySequence::NativeText));
        if (!shortcut.isEmpty()) {
            EXPECT_FALSE(shortcuts.contains(shortcut)) << "shared shortcut " << shortcut.toStdString();
            shortcuts.insert(shortcut);
        }
        int groups = 0;
        for (G group : {G::file, G::reading, G::annotation, G::other})
            for (const ReaderCommand &member : ReaderCommandRegistry::commands(group))
                groups += member.id == row.id;
        EXPECT_EQ(groups, 1);
    }
    // The groups keep the table's order, wherever their rows stand in it.
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::other)), QString("newNote copy palette help").split(' '));
    // Keys readers know by heart.
    const std::pair<ID, const char *> known[] = {{ID::open, "Ctrl+O"}, {ID::find, "Ctrl+F"},
                                                 {ID::palette, "Ctrl+Shift+P"}, {ID::zoomIn, "Ctrl++"},
                                                 {ID::previousMatch, "Ctrl+Alt+Shift+G"}};
    for (const auto &[id, keys] : known)
        EXPECT_EQ(ReaderCommandRegistry::command(id).shortcut().toString(QKeySequence::PortableText), keys);
    EXPECT_EQ(ReaderCommandRegistry::command(ID::open).title, QStringLiteral("打开 PDF…"));
    for (const char *wrong : {"Open", "zoom", ""})
        EXPECT_FALSE(readerCommandID(QString::fromLatin1(wrong)).has_value()) << wrong;
}

TEST_F(ReaderCommandRegistryTest, EveryCommandCallsItsOneOperationWhenEnabledAndNothingElse)
{
    for (const ReaderCommand &row : ReaderCommandRegistry::all()) {
        if (row.id == ID::radio)
            continue;
        RecordingActions enabled(true), disabled(false);
        row.perform(enabled.record);
        row.perform(disabled.record);
        EXPECT_EQ(*enabled.calls, QStringList{expectedCall(row.id)}) << rawValue(row.id).toStdString();
        EXPECT_EQ(*disabled.calls, row.isEnabled(disabled.record) ? *enabled.calls : QStringList())
            << rawValue(row.id).toStdString();
    }
}

TEST_F(ReaderCommandRegistryTest, EachCommandReadsAtMostOneFlag)
{
    const std::vector<bool A::*> flags = {&A::comparisonOpen, &A::canGoBack, &A::canGoForward, &A::hasMatches,
                                          &A::hasSelection, &A::canUndoAnnotation, &A::canRedoAnnotation,
                                          &A::hasAnnotations, &A::hasDocument, &A::isBook, &A::searchVisible};
    // The flags without which the command is off; each alone turns it on.
    const auto reads = [&](ID id) {
        const ReaderCommand &row = ReaderCommandRegistry::command(id);
        std::vector<bool A::*> read;
        for (bool A::*flag : flags) {
            RecordingActions only(false), allBut(true);
            only.record.*flag = true;
            allBut.record.*flag = false;
            if (!row.isEnabled(allBut.record)) {
                read.push_back(flag);
                EXPECT_TRUE(row.isEnabled(only.record)) << rawValue(id).toStdString();
            }
        }
        return read;
    };
    for (const ReaderCommand &row : ReaderCommandRegistry::all()) {
        EXPECT_TRUE(row.isEnabled(RecordingActions(true).record)) << rawValue(row.id).toStdString();
        EXPECT_LE(reads(row.id).size(), 1u) << rawValue(row.id).toStdString();
    }
    // The rules a reader meets every day.
    using Rule = std::vector<bool A::*>;
    EXPECT_EQ(reads(ID::copy), Rule{&A::hasSelection});
    EXPECT_EQ(reads(ID::back), Rule{&A::canGoBack});
    EXPECT_EQ(reads(ID::zoomIn), Rule{&A::hasDocument});
    EXPECT_EQ(reads(ID::open), Rule{});
}

TEST_F(ReaderCommandRegistryTest, TheRadioCommandSwitchesTheSharedRadioWhateverTheFlags)
{
    RecordingActions actions(false);
    RadioPlayer &radio = RadioPlayer::shared();
    const bool before = radio.isPlaying();
    ReaderCommandRegistry::command(ID::radio).perform(actions.record);
    EXPECT_NE(radio.isPlaying(), before);
    ReaderCommandRegistry::command(ID::radio).perform(actions.record);
    EXPECT_EQ(radio.isPlaying(), before);
    EXPECT_TRUE(actions.calls->isEmpty());
}

} // namespace
