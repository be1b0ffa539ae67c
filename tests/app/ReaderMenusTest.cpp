#include <gtest/gtest.h>

#include "app/ReaderMenus.h"
#include "history/ReadingHistory.h"
#include "notes/PaperNotesStore.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "workspace/RecordingActions.h"
#include "workspace/ShellDialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace folvan;
using app::ReaderMenus;
using workspace::ReaderCommandID;

namespace {

QStringList texts(const QMenu *menu)
{
    QStringList list;
    for (const QAction *action : menu->actions())
        list.append(action->isSeparator() ? QStringLiteral("|") : action->text());
    return list;
}

QStringList checked(const QMenu *menu)
{
    QStringList list;
    for (const QAction *action : menu->actions()) {
        if (action->menu())
            list += checked(action->menu());
        else if (action->isChecked())
            list.append(action->text());
    }
    return list;
}

QAction *item(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class ReaderMenusTest : public test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        platform::Preferences::resetSharedForTesting();
        workspace::shellDialogs().confirm = [this](QWidget *, const QString &message, const QString &,
                                                   const QString &, const QString &) {
            confirmations.append(message);
            return confirmAnswer;
        };
        menus = new ReaderMenus(&bar, [this] { return reader; }, nullptr);
    }
    void TearDown() override
    {
        workspace::resetShellDialogs();
        platform::Preferences::resetSharedForTesting();
        TempHomeTest::TearDown();
    }
    void setReader(std::optional<window::ReaderActions> record)
    {
        reader = std::move(record);
        menus->refresh();
    }
    QString paper(const QString &name)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
        return file.fileName();
    }
    static platform::Preferences &defaults() { return platform::Preferences::shared(); }

    QMenuBar bar;
    ReaderMenus *menus = nullptr;
    std::optional<window::ReaderActions> reader;
    test::RecordingActions recording{false};
    QStringList confirmations;
    bool confirmAnswer = false;
};

TEST_F(ReaderMenusTest, TheMenusStandInTheirOrderWithTheTableCommands)
{
    QStringList titles;
    for (QAction *action : bar.actions())
        titles.append(action->text());
    EXPECT_EQ(titles, QString("文件 编辑 重命名 布局 笔记 壁纸 阅读 批注 帮助").split(' '));

    const QStringList file = texts(menus->menu(QStringLiteral("文件")));
    ASSERT_GE(file.size(), 9);
    EXPECT_EQ(file.mid(0, 9), (QStringList{QStringLiteral("打开 PDF…"), QStringLiteral("最近阅读"),
                                          QStringLiteral("每日论文…"),
                                          workspace::ReaderCommandRegistry::command(ReaderCommandID::close).title,
                                          QStringLiteral("重命名论文…"), QStringLiteral("移动论文…"),
                                          workspace::ReaderCommandRegistry::command(ReaderCommandID::reveal).title,
                                          QStringLiteral("用默认阅读器打开"), QStringLiteral("移到废纸篓…")}));
    EXPECT_EQ(menus->settingsAction()->menuRole(), QAction::PreferencesRole);
    EXPECT_FALSE(menus->settingsAction()->shortcut().isEmpty());
    EXPECT_EQ(menus->quitAction()->shortcut(), QKeySequence(QKeySequence::Quit));

    const QStringList reading = texts(menus->menu(QStringLiteral("阅读")));
    ASSERT_EQ(reading.size(), 19);
    EXPECT_EQ(reading[0], QStringLiteral("返回阅读位置"));
    EXPECT_EQ(reading[16], QStringLiteral("播放／停止广播"));
    EXPECT_EQ(reading.mid(17), (QStringList{QStringLiteral("|"), QStringLiteral("翻书版式")}));
    EXPECT_EQ(texts(menus->menu(QStringLiteral("批注"))).size(), 7);
    EXPECT_EQ(texts(menus->menu(QStringLiteral("编辑"))), QStringList{QStringLiteral("复制所选正文")});
    EXPECT_EQ(texts(menus->menu(QStringLiteral("帮助"))),
              (QStringList{workspace::ReaderCommandRegistry::command(ReaderCommandID::palette).title,
                           QStringLiteral("Folvan 使用帮助")}));
    EXPECT_EQ(texts(menus->menu(QStringLiteral("笔记"))),
              (QStringList{QStringLiteral("新建本篇论文笔记"), QStringLiteral("撤销删除笔记")}));
    EXPECT_EQ(menus->commandAction(ReaderCommandID::previousMatch)->shortcut(),
              workspace::ReaderCommandRegistry::command(ReaderCommandID::previousMatch).shortcut());
}

TEST_F(ReaderMenusTest, WithoutAPaneEveryCommandIsGreyAndDoesNothing)
{
    for (const workspace::ReaderCommandSpec &spec : workspace::ReaderCommandRegistry::all()) {
        QAction *action = menus->commandAction(spec.id);
        ASSERT_NE(action, nullptr) << workspace::rawValue(spec.id).toStdString();
        EXPECT_FALSE(action->isEnabled()) << workspace::rawValue(spec.id).toStdString();
    }
    // A shortcut whose item is stale still finds no record.
    menus->commandAction(ReaderCommandID::open)->setEnabled(true);
    menus->commandAction(ReaderCommandID::open)->trigger();
    EXPECT_TRUE(recording.calls->isEmpty());
}

TEST_F(ReaderMenusTest, ItemsFollowTheRecordsRulesAndActOnIt)
{
    setReader(recording.record);
    EXPECT_TRUE(menus->commandAction(ReaderCommandID::open)->isEnabled());
    EXPECT_TRUE(menus->commandAction(ReaderCommandID::radio)->isEnabled());
    EXPECT_FALSE(menus->commandAction(ReaderCommandID::zoomIn)->isEnabled());
    EXPECT_FALSE(menus->commandAction(ReaderCommandID::focusPane)->isEnabled());
    menus->commandAction(ReaderCommandID::open)->trigger();
    menus->commandAction(ReaderCommandID::palette)->trigger();
    EXPECT_EQ(*recording.calls, (QStringList{QStringLiteral("open"), QStringLiteral("commandPalette")}));

    recording.record.hasDocument = true;
    setReader(recording.record);
    EXPECT_TRUE(menus->commandAction(ReaderCommandID::zoomIn)->isEnabled());
    EXPECT_TRUE(menus->commandAction(ReaderCommandID::exportPDF)->isEnabled());
    EXPECT_FALSE(menus->commandAction(ReaderCommandID::exportAnnotations)->isEnabled());
    menus->commandAction(ReaderCommandID::zoomOut)->trigger();
    EXPECT_EQ(recording.calls->constLast(), QStringLiteral("zoom -0.1"));
}

TEST_F(ReaderMenusTest, AnEmptyHistoryGivesAPlaceholderAndNoClearing)
{
    menus->rebuildRecentMenu();
    const QStringList recent = texts(menus->recentMenu());
    EXPECT_EQ(recent, (QStringList{QStringLiteral("暂无阅读记录"), QStringLiteral("|"),
                                   QStringLiteral("清空最近阅读列表…")}));
    EXPECT_FALSE(menus->recentMenu()->actions()[0]->isEnabled());
    EXPECT_FALSE(menus->recentMenu()->actions()[2]->isEnabled());
}

TEST_F(ReaderMenusTest, TheRecentListShowsTheTwentyNewestAndOpensThroughThePane)
{
    ReadingHistory &history = ReadingHistory::shared();
    for (int i = 0; i < 25; ++i) {
        DocumentReadingState state;
        state.page = i;
        history.opened(paper(QStringLiteral("paper%1.pdf").arg(i)), state);
    }
    QFile::remove(path(QStringLiteral("paper23.pdf")));
    menus->rebuildRecentMenu();
    QList<QAction *> items = menus->recentMenu()->actions();
    ASSERT_EQ(items.size(), 22);
    EXPECT_EQ(items[0]->text(), QStringLiteral("paper24 · 第 25 页"));
    EXPECT_EQ(items[19]->text(), QStringLiteral("paper5 · 第 6 页"));
    EXPECT_EQ(items[0]->toolTip(), QDir::cleanPath(path(QStringLiteral("paper24.pdf"))));
    EXPECT_FALSE(items[0]->isEnabled()); // no pane

    setReader(recording.record);
    menus->rebuildRecentMenu();
    items = menus->recentMenu()->actions();
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_FALSE(items[1]->isEnabled()); // paper23 is gone
    items[0]->trigger();
    EXPECT_EQ(*recording.calls, QStringList{QStringLiteral("openRecent ") + QDir::cleanPath(path("paper24.pdf"))});

    // The file goes between building the menu and choosing the item.
    QFile::remove(path(QStringLiteral("paper22.pdf")));
    items[2]->trigger();
    EXPECT_EQ(recording.calls->size(), 1);
}

TEST_F(ReaderMenusTest, ClearingTheHistoryAsksFirstAndWritesAnEmptyList)
{
    ReadingHistory &history = ReadingHistory::shared();
    history.opened(paper(QStringLiteral("a.pdf")), DocumentReadingState());
    confirmAnswer = false;
    app::confirmClearHistory(history);
    EXPECT_EQ(confirmations, QStringList{QStringLiteral("清空最近阅读列表？")});
    EXPECT_EQ(history.records().size(), 1);

    confirmAnswer = true;
    app::confirmClearHistory(history);
    EXPECT_TRUE(history.records().isEmpty());
    QFile file(history.file());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().trimmed(), QByteArray("[]"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("a.pdf"))));
}

TEST_F(ReaderMenusTest, TheLayoutPickerShowsThePanesLayoutAndStoresEveryChoice)
{
    defaults().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    QMenu *layout = menus->layoutMenu();
    EXPECT_EQ(checked(layout), QStringList{QStringLiteral("单页")});
    item(layout, QStringLiteral("双页"))->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("spread"));

    defaults().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    setReader(recording.record); // its layout is "spread"
    EXPECT_EQ(checked(layout), QStringList{QStringLiteral("双页")});
    item(layout, QStringLiteral("单页"))->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
    EXPECT_EQ(*recording.calls, QStringList{QStringLiteral("setPageLayout single")});
}

TEST_F(ReaderMenusTest, RenameRulesAndWidthsEditTheirPreferences)
{
    QMenu *rename = menus->menu(QStringLiteral("重命名"));
    QMenu *widths = menus->menu(QStringLiteral("布局"));
    EXPECT_EQ(checked(rename), QStringList{QStringLiteral("合并连续空格")});
    EXPECT_EQ(checked(widths), (QStringList{QStringLiteral("紧凑"), QStringLiteral("适合窗口")}));

    QAction *colon = rename->actions().constFirst();
    colon->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("replacementForColon")), QStringLiteral("_"));
    EXPECT_TRUE(colon->isChecked());
    colon->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("replacementForColon")), QStringLiteral("-"));
    defaults().setValue(QStringLiteral("replacementForColon"), QStringLiteral("+"));
    EXPECT_FALSE(colon->isChecked());

    item(rename, QStringLiteral("去掉开头编号"))->trigger();
    EXPECT_TRUE(defaults().boolValue(QStringLiteral("removeLeadingNumbers")));

    QMenu *scholar = item(widths, QStringLiteral("Scholar 栏宽度"))->menu();
    QMenu *page = item(widths, QStringLiteral("滚动阅读宽度"))->menu();
    EXPECT_EQ(texts(scholar), QString("紧凑 标准 宽 加宽").split(' '));
    EXPECT_EQ(texts(page), QString("窄 标准 宽 适合窗口").split(' '));
    scholar->actions()[3]->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("ggViewWidth")), QStringLiteral("Extended"));
    defaults().setValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Huge"));
    EXPECT_TRUE(checked(page).isEmpty());
    EXPECT_EQ(app::widthLabel(QStringLiteral("Three Rows")), QStringLiteral("三栏"));
    EXPECT_EQ(app::widthLabel(QStringLiteral("Huge")), QStringLiteral("Huge"));
}

TEST_F(ReaderMenusTest, UndoingANoteDeletionFollowsTheNotesTrash)
{
    PaperNotesStore &notes = PaperNotesStore::shared();
    EXPECT_FALSE(menus->undoDeleteNoteAction()->isEnabled());
    PaperNote note;
    note.id = QUuid::createUuid();
    note.title = QStringLiteral("笔记");
    notes.setNotes({note});
    notes.trash(note.id);
    EXPECT_TRUE(menus->undoDeleteNoteAction()->isEnabled());
    menus->undoDeleteNoteAction()->trigger();
    EXPECT_TRUE(notes.note(note.id).has_value());
    EXPECT_FALSE(menus->undoDeleteNoteAction()->isEnabled());
}

} // namespace
