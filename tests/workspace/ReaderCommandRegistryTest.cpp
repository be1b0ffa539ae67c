#include <gtest/gtest.h>

#include "RecordingActions.h"
#include "workspace/RadioPlayer.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QSet>

using namespace folvan::workspace;
using folvan::test::RecordingActions;
using folvan::test::commandIds;
using ID = ReaderCommandID;
using G = ReaderCommandGroup;

namespace {

QString shortcutText(const ReaderCommandSpec &spec)
{
    return spec.shortcut().toString(QKeySequence::PortableText);
}

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

TEST_F(ReaderCommandRegistryTest, TheTableHoldsTheThirtySixRowsInItsOrder)
{
    EXPECT_EQ(commandIds(ReaderCommandRegistry::all()),
              QString("open pod close rename move reveal external trash back forward bookmark find nextMatch "
                      "previousMatch comparison focusPane reflow newNote mode zoomIn zoomOut reset outline notes "
                      "scholar radio highlight underline undoAnnotation redoAnnotation copyAnnotations "
                      "exportAnnotations exportPDF copy palette help")
                  .split(' '));
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::file)),
              QString("open pod close rename move reveal external trash").split(' '));
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::reading)),
              QString("back forward bookmark find nextMatch previousMatch comparison focusPane reflow mode zoomIn "
                      "zoomOut reset outline notes scholar radio")
                  .split(' '));
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::annotation)),
              QString("highlight underline undoAnnotation redoAnnotation copyAnnotations exportAnnotations exportPDF")
                  .split(' '));
    EXPECT_EQ(commandIds(ReaderCommandRegistry::commands(G::other)), QString("newNote copy palette help").split(' '));
}

TEST_F(ReaderCommandRegistryTest, TitlesAreTheReadersOwn)
{
    const std::pair<ID, const char *> titles[] = {
        {ID::open, "打开 PDF…"}, {ID::pod, "每日论文…"}, {ID::rename, "重命名论文…"}, {ID::move, "移动论文…"},
        {ID::external, "用默认阅读器打开"}, {ID::trash, "移到废纸篓…"}, {ID::back, "返回阅读位置"},
        {ID::forward, "前进阅读位置"}, {ID::bookmark, "添加／移除此页书签"}, {ID::previousMatch, "上一个结果"},
        {ID::comparison, "打开／收起右侧 PDF 对照…"}, {ID::focusPane, "切换左右阅读区"},
        {ID::reflow, "开启／关闭文字重排"}, {ID::newNote, "新建本篇论文笔记"}, {ID::mode, "切换翻书／滚动"},
        {ID::zoomIn, "放大"}, {ID::zoomOut, "缩小"}, {ID::reset, "复位视角与缩放"}, {ID::outline, "显示／隐藏目录"},
        {ID::notes, "显示／隐藏论文笔记"}, {ID::scholar, "显示／隐藏 Scholar"}, {ID::radio, "播放／停止广播"},
        {ID::highlight, "高亮所选文字"}, {ID::underline, "为所选文字加下划线"}, {ID::undoAnnotation, "撤销批注"},
        {ID::redoAnnotation, "重做批注"}, {ID::copyAnnotations, "复制全部批注"},
        {ID::exportAnnotations, "导出批注 Markdown…"}, {ID::exportPDF, "导出批注 PDF…"},
        {ID::copy, "复制所选正文"}, {ID::help, "Folvan 使用帮助"},
    };
    for (const auto &[id, title] : titles)
        EXPECT_EQ(ReaderCommandRegistry::command(id).title, QString::fromUtf8(title)) << rawValue(id).toStdString();
    for (ID id : {ID::close, ID::find, ID::nextMatch, ID::palette})
        EXPECT_FALSE(ReaderCommandRegistry::command(id).title.isEmpty());
#ifndef Q_OS_MACOS
    EXPECT_EQ(ReaderCommandRegistry::command(ID::reveal).title, QStringLiteral("在文件管理器中显示"));
#endif
}

TEST_F(ReaderCommandRegistryTest, ShortcutsAreUniqueAndPrintedNatively)
{
    const std::pair<ID, const char *> shortcuts[] = {
        {ID::open, "Ctrl+O"}, {ID::pod, "Ctrl+E"}, {ID::rename, "Ctrl+R"}, {ID::move, "Ctrl+1"},
        {ID::reveal, "Ctrl+2"}, {ID::external, "Ctrl+3"}, {ID::trash, "Ctrl+4"}, {ID::back, "Ctrl+["},
        {ID::forward, "Ctrl+]"}, {ID::bookmark, "Ctrl+D"}, {ID::find, "Ctrl+F"}, {ID::nextMatch, "Ctrl+Alt+G"},
        {ID::previousMatch, "Ctrl+Alt+Shift+G"}, {ID::comparison, "Ctrl+\\"}, {ID::focusPane, "Ctrl+Alt+\\"},
        {ID::reflow, "Ctrl+Shift+R"}, {ID::newNote, "Ctrl+Alt+N"}, {ID::mode, "Ctrl+Shift+B"},
        {ID::zoomIn, "Ctrl++"}, {ID::zoomOut, "Ctrl+-"}, {ID::reset, "Ctrl+0"}, {ID::notes, "Ctrl+5"},
        {ID::scholar, "Ctrl+G"}, {ID::radio, "Ctrl+Alt+M"}, {ID::highlight, "Ctrl+Shift+H"},
        {ID::underline, "Ctrl+Shift+U"}, {ID::undoAnnotation, "Ctrl+Alt+Z"},
        {ID::redoAnnotation, "Ctrl+Alt+Shift+Z"}, {ID::copy, "Ctrl+Shift+C"}, {ID::palette, "Ctrl+Shift+P"},
        {ID::help, "Ctrl+/"},
    };
    for (const auto &[id, text] : shortcuts) {
        const ReaderCommandSpec &spec = ReaderCommandRegistry::command(id);
        EXPECT_EQ(shortcutText(spec), QString::fromLatin1(text)) << rawValue(id).toStdString();
        EXPECT_EQ(spec.shortcutLabel(), spec.shortcut().toString(QKeySequence::NativeText));
        EXPECT_FALSE(spec.shortcutLabel().isEmpty());
    }
    for (ID id : {ID::close, ID::outline, ID::copyAnnotations, ID::exportAnnotations, ID::exportPDF}) {
        const ReaderCommandSpec &spec = ReaderCommandRegistry::command(id);
        EXPECT_FALSE(spec.key.has_value());
        EXPECT_TRUE(spec.shortcut().isEmpty());
        EXPECT_TRUE(spec.shortcutLabel().isEmpty());
        EXPECT_EQ(spec.modifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
    }
    QSet<QString> seen;
    for (const ReaderCommandSpec &spec : ReaderCommandRegistry::all()) {
        if (spec.shortcut().isEmpty())
            continue;
        EXPECT_FALSE(seen.contains(shortcutText(spec))) << shortcutText(spec).toStdString();
        seen.insert(shortcutText(spec));
    }
}

TEST_F(ReaderCommandRegistryTest, IdentifiersAreParsedExactly)
{
    EXPECT_EQ(readerCommandID(QStringLiteral("exportAnnotations")), ID::exportAnnotations);
    EXPECT_EQ(readerCommandID(QStringLiteral("open")), ID::open);
    EXPECT_FALSE(readerCommandID(QStringLiteral("Open")).has_value());
    EXPECT_FALSE(readerCommandID(QStringLiteral("zoom")).has_value());
    EXPECT_FALSE(readerCommandID(QString()).has_value());
    for (const ReaderCommandSpec &spec : ReaderCommandRegistry::all())
        EXPECT_EQ(readerCommandID(rawValue(spec.id)), spec.id);
}

TEST_F(ReaderCommandRegistryTest, EveryCommandCallsItsOneOperationWhenEnabled)
{
    const std::pair<ID, const char *> expected[] = {
        {ID::open, "open"}, {ID::pod, "pod"}, {ID::close, "close"}, {ID::rename, "rename"}, {ID::move, "move"},
        {ID::reveal, "reveal"}, {ID::external, "external"}, {ID::trash, "trash"}, {ID::reflow, "reflow"},
        {ID::newNote, "newNote"}, {ID::comparison, "toggleComparison"}, {ID::focusPane, "focusOtherPane"},
        {ID::back, "goBack"}, {ID::forward, "goForward"}, {ID::bookmark, "bookmark"}, {ID::find, "find"},
        {ID::nextMatch, "nextMatch true"}, {ID::previousMatch, "nextMatch false"}, {ID::mode, "switchMode"},
        {ID::zoomIn, "zoom 0.1"}, {ID::zoomOut, "zoom -0.1"}, {ID::reset, "resetView"}, {ID::outline, "outline"},
        {ID::notes, "notes"}, {ID::scholar, "scholar"}, {ID::copy, "copy"}, {ID::highlight, "highlight"},
        {ID::underline, "underline"}, {ID::undoAnnotation, "undoAnnotation"}, {ID::redoAnnotation, "redoAnnotation"},
        {ID::copyAnnotations, "copyAnnotations"}, {ID::exportAnnotations, "exportAnnotations"},
        {ID::exportPDF, "exportPDF"}, {ID::palette, "commandPalette"}, {ID::help, "help"},
    };
    for (const auto &[id, call] : expected) {
        RecordingActions actions(true);
        ReaderCommandRegistry::command(id).perform(actions.record);
        EXPECT_EQ(*actions.calls, QStringList{QString::fromLatin1(call)}) << rawValue(id).toStdString();
    }
}

TEST_F(ReaderCommandRegistryTest, EachRuleReadsItsOneFlag)
{
    const std::pair<bool folvan::window::ReaderActions::*, std::vector<ID>> rules[] = {
        {&folvan::window::ReaderActions::comparisonOpen, {ID::focusPane}},
        {&folvan::window::ReaderActions::canGoBack, {ID::back}},
        {&folvan::window::ReaderActions::canGoForward, {ID::forward}},
        {&folvan::window::ReaderActions::hasMatches, {ID::nextMatch, ID::previousMatch}},
        {&folvan::window::ReaderActions::hasSelection, {ID::copy, ID::highlight, ID::underline}},
        {&folvan::window::ReaderActions::canUndoAnnotation, {ID::undoAnnotation}},
        {&folvan::window::ReaderActions::canRedoAnnotation, {ID::redoAnnotation}},
        {&folvan::window::ReaderActions::hasAnnotations, {ID::copyAnnotations, ID::exportAnnotations}},
        {&folvan::window::ReaderActions::hasDocument,
         {ID::close, ID::rename, ID::move, ID::reveal, ID::external, ID::trash, ID::reflow, ID::newNote,
          ID::bookmark, ID::find, ID::mode, ID::zoomIn, ID::zoomOut, ID::reset, ID::outline, ID::exportPDF}},
        {&folvan::window::ReaderActions::isBook, {}},
        {&folvan::window::ReaderActions::searchVisible, {}},
    };
    const QSet<ID> always{ID::open, ID::pod, ID::comparison, ID::notes, ID::scholar, ID::radio, ID::palette, ID::help};
    for (const auto &[flag, commands] : rules) {
        RecordingActions actions(false);
        actions.record.*flag = true;
        for (const ReaderCommandSpec &spec : ReaderCommandRegistry::all()) {
            const bool expected = always.contains(spec.id)
                || std::find(commands.begin(), commands.end(), spec.id) != commands.end();
            EXPECT_EQ(spec.isEnabled(actions.record), expected) << rawValue(spec.id).toStdString();
        }
    }
}

TEST_F(ReaderCommandRegistryTest, ADisabledCommandDoesNothingAtAll)
{
    RecordingActions actions(false);
    for (const ReaderCommandSpec &spec : ReaderCommandRegistry::all())
        if (spec.id != ID::radio)
            spec.perform(actions.record);
    EXPECT_EQ(*actions.calls, QString("open pod toggleComparison notes scholar commandPalette help").split(' '));

    // The document-free commands keep acting; zoom and the export of a
    // document without annotations follow their own flags.
    RecordingActions document(false);
    document.record.hasDocument = true;
    ReaderCommandRegistry::command(ID::exportPDF).perform(document.record);
    ReaderCommandRegistry::command(ID::copyAnnotations).perform(document.record);
    ReaderCommandRegistry::command(ID::exportAnnotations).perform(document.record);
    EXPECT_EQ(*document.calls, QStringList{QStringLiteral("exportPDF")});
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
