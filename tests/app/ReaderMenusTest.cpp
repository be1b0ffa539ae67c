#include <gtest/gtest.h>

#include "app/ReaderMenus.h"
#include "history/ReadingHistory.h"
#include "notes/PaperNotesStore.h"
#include "platform/Preferences.h"
#include "workspace/RadioPlayer.h"
#include "workspace/ShellTestSupport.h"
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
using workspace::ReaderCommandRegistry;

namespace {

// A menu's items, "|" for a divider; checked items only when asked, with
// those of submenus.
QStringList texts(const QMenu *menu, bool checkedOnly = false)
{
    QStringList list;
    for (const QAction *action : menu->actions()) {
        if (checkedOnly && action->menu())
            list += texts(action->menu(), true);
        else if (!checkedOnly || action->isChecked())
            list.append(action->isSeparator() ? QStringLiteral("|") : action->text());
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

class ReaderMenusTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        workspace::shellDialogs().confirm = [this](QWidget *, const QString &message, const QString &,
                                                   const QString &, const QString &) {
            confirmations.append(message);
            return confirmAnswer;
        };
        menus = new ReaderMenus(&bar, [this] { return reader; }, nullptr);
    }
    void setReader(std::optional<pane::ReaderActions> record)
    {
        reader = std::move(record);
        menus->refresh();
    }
    QString paper(const QString &name)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    }
    QMenu *menu(const char *title) const { return menus->menu(QString::fromUtf8(title)); }

    QMenuBar bar;
    ReaderMenus *menus = nullptr;
    std::optional<pane::ReaderActions> reader;
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
    EXPECT_EQ(texts(menu("文件")).mid(0, 3),
              (QStringList{QStringLiteral("新建窗口"), ReaderCommandRegistry::command(ReaderCommandID::open).title,
                           QStringLiteral("最近阅读")}));
    EXPECT_EQ(menus->newWindowAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(menus->settingsAction()->menuRole(), QAction::PreferencesRole);
    EXPECT_FALSE(menus->settingsAction()->shortcut().isEmpty());
    // The platform's quit key, Ctrl+Q where the platform names none.
    const QKeySequence platformQuit(QKeySequence::Quit);
    EXPECT_EQ(menus->quitAction()->shortcut(),
              platformQuit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : platformQuit);

    QStringList reading;
    for (const workspace::ReaderCommand &row : ReaderCommandRegistry::commands(workspace::ReaderCommandGroup::reading))
        reading.append(row.title);
    EXPECT_EQ(texts(menu("阅读")), (reading + QStringList{QStringLiteral("|"), QStringLiteral("翻书版式")}));
}

TEST_F(ReaderMenusTest, EveryItemFollowsItsRuleAndActsOnlyOnTheRecordInForce)
{
    workspace::RadioPlayer::shared().setStreamUrlForTesting(QUrl::fromLocalFile(QStringLiteral("/nonexistent.mp3")));
    for (const workspace::ReaderCommand &row : ReaderCommandRegistry::all()) {
        SCOPED_TRACE(workspace::rawValue(row.id).toStdString());
        QAction *action = menus->commandAction(row.id);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), row.shortcut());
        // Without a pane every item is grey, and a stale shortcut does nothing.
        setReader(std::nullopt);
        EXPECT_FALSE(action->isEnabled());
        action->setEnabled(true);
        action->trigger();
        EXPECT_TRUE(recording.calls->isEmpty());

        setReader(recording.record);
        EXPECT_EQ(action->isEnabled(), row.isEnabled(recording.record));
        test::RecordingActions all(true);
        setReader(all.record);
        action->trigger();
        EXPECT_EQ(all.calls->join(QString()), test::expectedCall(row.id));
    }
    if (workspace::RadioPlayer::shared().isPlaying())
        workspace::RadioPlayer::shared().toggle();
}

TEST_F(ReaderMenusTest, ThePlatformCopyKeyCopiesAndCtrlEqualsZoomsIn)
{
    // The keys as a reader types them, to the window the menus belong to.
    test::RecordingActions all(true);
    setReader(all.record);
    bar.show();
    bar.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    QTest::keyClick(&bar, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(all.calls->join(QString()), test::expectedCall(ReaderCommandID::copy));
    all.calls->clear();
    QTest::keyClick(&bar, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(all.calls->join(QString()), test::expectedCall(ReaderCommandID::zoomIn));
}

TEST_F(ReaderMenusTest, TheRecentListShowsTheTwentyNewestAndOpensThroughThePane)
{
    menus->rebuildRecentMenu();
    EXPECT_EQ(texts(menus->recentMenu()),
              (QStringList{QStringLiteral("暂无阅读记录"), QStringLiteral("|"), QStringLiteral("清空最近阅读列表…")}));
    for (QAction *action : menus->recentMenu()->actions())
        EXPECT_TRUE(action->isSeparator() || !action->isEnabled());

    history::ReadingHistory &history = history::ReadingHistory::shared();
    for (int i = 0; i < 25; ++i) {
        history::DocumentReadingState state;
        state.page = i;
        history.opened(paper(QStringLiteral("paper%1.pdf").arg(i)), state);
    }
    history.opened(paper(QStringLiteral("plain")), history::DocumentReadingState());
    QFile::remove(path(QStringLiteral("paper23.pdf")));
    menus->rebuildRecentMenu();
    QList<QAction *> items = menus->recentMenu()->actions();
    ASSERT_EQ(items.size(), 22);
    EXPECT_EQ(items[0]->text(), QStringLiteral("plain · 第 1 页"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("paper24 · 第 25 页"));
    EXPECT_EQ(items[19]->text(), QStringLiteral("paper6 · 第 7 页"));
    EXPECT_EQ(items[1]->toolTip(), QDir::cleanPath(path(QStringLiteral("paper24.pdf"))));
    EXPECT_FALSE(items[1]->isEnabled()); // no pane

    setReader(recording.record);
    menus->rebuildRecentMenu();
    items = menus->recentMenu()->actions();
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_FALSE(items[2]->isEnabled()); // paper23 is gone
    EXPECT_TRUE(items[21]->isEnabled());
    items[1]->trigger();
    EXPECT_EQ(*recording.calls, QStringList{QStringLiteral("openRecent ") + QDir::cleanPath(path("paper24.pdf"))});
    // The file goes between building the menu and choosing the item.
    QFile::remove(path(QStringLiteral("paper22.pdf")));
    items[3]->trigger();
    EXPECT_EQ(recording.calls->size(), 1);
}

// A name of any length stands in one menu row, cut in its middle; an "&"
// in it is shown, not taken for a mnemonic.
TEST_F(ReaderMenusTest, ARecentItemShowsItsNameInOneRow)
{
    history::ReadingHistory &history = history::ReadingHistory::shared();
    history.opened(paper(QStringLiteral("R&D notes.pdf")), history::DocumentReadingState());
    history.opened(QStringLiteral("/gone/start") + QString(1'000'000, QLatin1Char('x')) + QStringLiteral("end.pdf"),
                   history::DocumentReadingState());
    menus->rebuildRecentMenu();
    const QList<QAction *> items = menus->recentMenu()->actions();
    ASSERT_GE(items.size(), 2);
    const QString huge = items[0]->text();
    EXPECT_TRUE(huge.startsWith(QStringLiteral("start"))) << huge.left(40).toStdString();
    EXPECT_TRUE(huge.endsWith(QStringLiteral(" · 第 1 页")));
    EXPECT_LE(menus->recentMenu()->fontMetrics().horizontalAdvance(huge), 700);
    EXPECT_LE(items[0]->toolTip().size(), 10000);
    EXPECT_EQ(items[1]->text(), QStringLiteral("R&&D notes · 第 1 页"));
}

TEST_F(ReaderMenusTest, ClearingTheHistoryAsksFirstAndWritesAnEmptyList)
{
    history::ReadingHistory &history = history::ReadingHistory::shared();
    history.opened(paper(QStringLiteral("a.pdf")), history::DocumentReadingState());
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
    EXPECT_EQ(texts(layout), (QStringList{QStringLiteral("双页"), QStringLiteral("单页")}));
    EXPECT_EQ(texts(layout, true), QStringList{QStringLiteral("单页")});
    item(layout, QStringLiteral("双页"))->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("spread"));
    // Without a pane, a stored text that names neither layout is the one
    // a new paper gets.
    defaults().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    defaults().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("Single"));
    EXPECT_EQ(texts(layout, true), QStringList{QStringLiteral("双页")});

    defaults().setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    setReader(recording.record); // its layout is "spread"
    EXPECT_EQ(texts(layout, true), QStringList{QStringLiteral("双页")});
    item(layout, QStringLiteral("单页"))->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
    EXPECT_EQ(*recording.calls, QStringList{QStringLiteral("setPageLayout single")});
}

TEST_F(ReaderMenusTest, RenameRulesAndWidthsEditTheirPreferences)
{
    QMenu *rename = menu("重命名");
    EXPECT_EQ(texts(rename, true), QStringList{QStringLiteral("合并连续空格")});
    EXPECT_EQ(texts(menu("布局"), true), (QStringList{QStringLiteral("紧凑"), QStringLiteral("适合窗口")}));

    QAction *colon = rename->actions().constFirst();
    defaults().setValue(QStringLiteral("replacementForColon"), QStringLiteral("+"));
    EXPECT_FALSE(colon->isChecked());
    colon->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("replacementForColon")), QStringLiteral("_"));
    colon->trigger();
    EXPECT_EQ(defaults().stringValue(QStringLiteral("replacementForColon")), QStringLiteral("-"));
    item(rename, QStringLiteral("去掉开头编号"))->trigger();
    EXPECT_TRUE(defaults().boolValue(QStringLiteral("removeLeadingNumbers")));

    QMenu *scholar = item(menu("布局"), QStringLiteral("Scholar 栏宽度"))->menu();
    QMenu *page = item(menu("布局"), QStringLiteral("滚动阅读宽度"))->menu();
    scholar->actions()[3]->trigger();

    EXPECT_EQ(defaults().stringValue(QStringLiteral("ggViewWidth")), QStringLiteral("Extended"));
    // A stored text that names no width marks the default, which the pane
    // goes by.
    defaults().setValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Small"));
    defaults().setValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Huge"));
    EXPECT_EQ(texts(page, true), QStringList{QStringLiteral("适合窗口")});
    EXPECT_EQ(app::widthLabel(platform::TextEditorsLayout::ThreeRows), QStringLiteral("三栏"));
}

TEST_F(ReaderMenusTest, UndoingANoteDeletionFollowsTheNotesTrash)
{
    notes::PaperNotesStore &notes = notes::PaperNotesStore::shared();
    EXPECT_FALSE(menus->undoDeleteNoteAction()->isEnabled());
    notes::PaperNote note;
    note.id = QUuid::createUuid();
    notes.setNotes({note});
    notes.trash(note.id);
    EXPECT_TRUE(menus->undoDeleteNoteAction()->isEnabled());
    menus->undoDeleteNoteAction()->trigger();
    EXPECT_TRUE(notes.note(note.id).has_value());
    EXPECT_FALSE(menus->undoDeleteNoteAction()->isEnabled());
}

} // namespace
