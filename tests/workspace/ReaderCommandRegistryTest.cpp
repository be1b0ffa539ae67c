#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "workspace/RadioPlayer.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QSet>

using namespace folvan::workspace;
using folvan::test::RecordingActions;
using folvan::test::commandIds;
using folvan::test::expectedCall;
using A = folvan::window::ReaderActions;
using ID = ReaderCommandID;
using G = ReaderCommandGroup;

namespace {

#ifdef Q_OS_MACOS
const char *const kReveal = "在 Finder 显示";
#else
const char *const kReveal = "在文件管理器中显示";
#endif

// The table in its order; a null title is the implementer's own, an empty
// shortcut means no key.
struct Row {
    ID id;
    const char *title;
    G group;
    const char *shortcut;
};
const Row kTable[] = {
    {ID::open, "打开 PDF…", G::file, "Ctrl+O"}, {ID::pod, "每日论文…", G::file, "Ctrl+E"},
    {ID::close, nullptr, G::file, ""}, {ID::rename, "重命名论文…", G::file, "Ctrl+R"},
    {ID::move, "移动论文…", G::file, "Ctrl+1"}, {ID::reveal, kReveal, G::file, "Ctrl+2"},
    {ID::external, "用默认阅读器打开", G::file, "Ctrl+3"}, {ID::trash, "移到废纸篓…", G::file, "Ctrl+4"},
    {ID::back, "返回阅读位置", G::reading, "Ctrl+["}, {ID::forward, "前进阅读位置", G::reading, "Ctrl+]"},
    {ID::bookmark, "添加／移除此页书签", G::reading, "Ctrl+D"}, {ID::find, nullptr, G::reading, "Ctrl+F"},
    {ID::nextMatch, nullptr, G::reading, "Ctrl+Alt+G"}, {ID::previousMatch, "上一个结果", G::reading, "Ctrl+Alt+Shift+G"},
    {ID::comparison, "打开／收起右侧 PDF 对照…", G::reading, "Ctrl+\\"},
    {ID::focusPane, "切换左右阅读区", G::reading, "Ctrl+Alt+\\"},
    {ID::reflow, "开启／关闭文字重排", G::reading, "Ctrl+Shift+R"}, {ID::newNote, "新建本篇论文笔记", G::other, "Ctrl+Alt+N"},
    {ID::mode, "切换翻书／滚动", G::reading, "Ctrl+Shift+B"}, {ID::zoomIn, "放大", G::reading, "Ctrl++"},
    {ID::zoomOut, "缩小", G::reading, "Ctrl+-"}, {ID::reset, "复位视角与缩放", G::reading, "Ctrl+0"},
    {ID::outline, "显示／隐藏目录", G::reading, ""}, {ID::notes, "显示／隐藏论文笔记", G::reading, "Ctrl+5"},
    {ID::scholar, "显示／隐藏 Scholar", G::reading, "Ctrl+G"}, {ID::radio, "播放／停止广播", G::reading, "Ctrl+Alt+M"},
    {ID::highlight, "高亮所选文字", G::annotation, "Ctrl+Shift+H"},
    {ID::underline, "为所选文字加下划线", G::annotation, "Ctrl+Shift+U"},
    {ID::undoAnnotation, "撤销批注", G::annotation, "Ctrl+Alt+Z"},
    {ID::redoAnnotation, "重做批注", G::annotation, "Ctrl+Alt+Shift+Z"},
    {ID::copyAnnotations, "复制全部批注", G::annotation, ""}, {ID::exportAnnotations, "导出批注 Markdown…", G::annotation, ""},
    {ID::exportPDF, "导出批注 PDF…", G::annotation, ""}, {ID::copy, "复制所选正文", G::other, "Ctrl+Shift+C"},
    {ID::palette, nullptr, G::other, "Ctrl+Shift+P"}, {ID::help, "Folvan 使用帮助", G::other, "Ctrl+/"},
};

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

TEST_F(ReaderCommandRegistryTest, TheTableHoldsTheThirtySixRowsWithTitlesGroupsAndShortcuts)
{
    const std::vector<ReaderCommand> &all = ReaderCommandRegistry::all();
    ASSERT_EQ(all.size(), std::size(kTable));
    QSet<QString> shortcuts;
    for (size_t i = 0; i < all.size(); ++i) {
        const ReaderCommand &row = all[i];
        const Row &expected = kTable[i];
        SCOPED_TRACE(rawValue(expected.id).toStdString());
        EXPECT_EQ(row.id, expected.id);
        EXPECT_EQ(&ReaderCommandRegistry::command(row.id), &row);
        EXPECT_EQ(row.title, expected.title ? QString::fromUtf8(expected.title) : row.title);
        EXPECT_FALSE(row.title.isEmpty());
        EXPECT_EQ(row.group, expected.group);
        const QString shortcut = QString::fromLatin1(expected.shortcut);
        EXPECT_EQ(row.shortcut().toString(QKeySequence::PortableText), shortcut);
        EXPECT_EQ(row.shortcutLabel(), row.shortcut().toString(QKeySequence::NativeText));
        EXPECT_EQ(row.key.has_value(), !shortcut.isEmpty());
        if (shortcut.isEmpty()) {
            EXPECT_EQ(row.modifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
        } else {
            EXPECT_FALSE(shortcuts.contains(shortcut));
        }
        shortcuts.insert(shortcut);
    }
    // The groups keep the table's order, wherever their rows stand in it.
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::other)), QString("newNote copy palette help").split(' '));
    EXPECT_EQ(ReaderCommandRegistry::commands(G::reading).size(), 17u);
}

TEST_F(ReaderCommandRegistryTest, IdentifiersAreParsedExactly)
{
    EXPECT_EQ(readerCommandID(QStringLiteral("exportAnnotations")), ID::exportAnnotations);
    for (const char *wrong : {"Open", "zoom", ""})
        EXPECT_FALSE(readerCommandID(QString::fromLatin1(wrong)).has_value()) << wrong;
    for (const ReaderCommand &row : ReaderCommandRegistry::all())
        EXPECT_EQ(readerCommandID(rawValue(row.id)), row.id);
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

TEST_F(ReaderCommandRegistryTest, EachRuleReadsItsOneFlag)
{
    const std::pair<bool A::*, std::vector<ID>> rules[] = {
        {&A::comparisonOpen, {ID::focusPane}}, {&A::canGoBack, {ID::back}}, {&A::canGoForward, {ID::forward}},
        {&A::hasMatches, {ID::nextMatch, ID::previousMatch}},
        {&A::hasSelection, {ID::copy, ID::highlight, ID::underline}},
        {&A::canUndoAnnotation, {ID::undoAnnotation}}, {&A::canRedoAnnotation, {ID::redoAnnotation}},
        {&A::hasAnnotations, {ID::copyAnnotations, ID::exportAnnotations}},
        {&A::hasDocument,
         {ID::close, ID::rename, ID::move, ID::reveal, ID::external, ID::trash, ID::reflow, ID::newNote,
          ID::bookmark, ID::find, ID::mode, ID::zoomIn, ID::zoomOut, ID::reset, ID::outline, ID::exportPDF}},
        {&A::isBook, {}}, {&A::searchVisible, {}},
    };
    const QSet<ID> always{ID::open, ID::pod, ID::comparison, ID::notes, ID::scholar, ID::radio, ID::palette, ID::help};
    for (const auto &[flag, commands] : rules) {
        RecordingActions actions(false);
        actions.record.*flag = true;
        for (const ReaderCommand &row : ReaderCommandRegistry::all()) {
            const bool expected = always.contains(row.id)
                || std::find(commands.begin(), commands.end(), row.id) != commands.end();
            EXPECT_EQ(row.isEnabled(actions.record), expected) << rawValue(row.id).toStdString();
        }
    }
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
