#include "app/ReaderMenus.h"
#include "app/QuitGuard.h"

#include "app/BackgroundImageCommands.h"
#include "history/ReadingHistory.h"
#include "notes/PaperNotesStore.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReadingModes.h"
#include "platform/ShownText.h"
#include "workspace/ShellDialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace folvan::app {

using workspace::ReaderCommandGroup;
using workspace::ReaderCommandID;
using workspace::ReaderCommandRegistry;

namespace {

constexpr int kRecentLimit = 20;
// The widest name a recent item shows, in pixels.
constexpr int kRecentTitleWidth = 480;

namespace prefkey = platform::prefkey;

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

// The menu item of a record: the file's name, cut in the middle to what a
// menu row shows (a stored path may be of any length), and its page. An
// "&" in the name is shown as it is, not taken as a mnemonic.
QString recentTitle(const history::RecentReading &record, const QFontMetrics &metrics)
{
    QString name = metrics.elidedText(platform::rowText(QFileInfo(record.path).completeBaseName()), Qt::ElideMiddle,
                                      kRecentTitleWidth);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("%1 · 第 %2 页").arg(name).arg(record.state.page + 1);
}

} // namespace

void confirmClearHistory(history::ReadingHistory &history, QWidget *dialogParent)
{
    const bool confirmed = workspace::shellDialogs().confirm(
        dialogParent, QStringLiteral("清空最近阅读列表？"),
        QStringLiteral("只移除阅读记录与视角记忆，不删除 PDF、批注、书签或笔记。"), QStringLiteral("清空记录"),
        QStringLiteral("取消"));
    if (confirmed)
        history.clear();
}

QString widthLabel(platform::ScholarWidth value)
{
    switch (value) {
    case platform::ScholarWidth::Compact:
        return QStringLiteral("紧凑");
    case platform::ScholarWidth::Regular:
        return QStringLiteral("标准");
    case platform::ScholarWidth::Large:
        return QStringLiteral("宽");
    case platform::ScholarWidth::Extended:
        return QStringLiteral("加宽");
    }
    return {};
}

QString widthLabel(platform::ReadingWidth value)
{
    switch (value) {
    case platform::ReadingWidth::Small:
        return QStringLiteral("窄");
    case platform::ReadingWidth::Medium:
        return QStringLiteral("标准");
    case platform::ReadingWidth::Large:
        return QStringLiteral("宽");
    case platform::ReadingWidth::Auto:
        return QStringLiteral("适合窗口");
    }
    return {};
}

QString widthLabel(platform::TextEditorsLayout value)
{
    switch (value) {
    case platform::TextEditorsLayout::OneRow:
        return QStringLiteral("一栏");
    case platform::TextEditorsLayout::TwoRows:
        return QStringLiteral("两栏");
    case platform::TextEditorsLayout::ThreeRows:
        return QStringLiteral("三栏");
    case platform::TextEditorsLayout::FourRows:
        return QStringLiteral("四栏");
    }
    return {};
}

ReaderMenus::ReaderMenus(QMenuBar *bar, ReaderSource reader, QWidget *dialogParent)
    : QObject(bar), m_reader(std::move(reader)), m_dialogParent(dialogParent), m_bar(bar)
{
    addFileMenu(bar);
    QMenu *edit = bar->addMenu(QStringLiteral("编辑"));
    addCommand(edit, ReaderCommandID::copy);
    addReplacementMenu(bar);
    addWidthMenu(bar);
    addNotesMenu(bar);
    BackgroundImageCommands(dialogParent).addMenu(bar);
    addReadingMenu(bar);
    addCommands(bar->addMenu(QStringLiteral("批注")), ReaderCommandGroup::annotation);
    QMenu *help = bar->addMenu(QStringLiteral("帮助"));
    addCommand(help, ReaderCommandID::palette);
    addCommand(help, ReaderCommandID::help);
    for (QAction *title : bar->actions())
        if (QMenu *menu = title->menu())
            menu->installEventFilter(this);

    connect(&defaults(), &platform::Preferences::valueChanged, this, &ReaderMenus::refreshChecks);
    connect(&history::ReadingHistory::shared(), &history::ReadingHistory::recordsChanged, this, &ReaderMenus::scheduleRecentRebuild);
    refresh();
}

bool ReaderMenus::eventFilter(QObject *watched, QEvent *event)
{
    // The bar holds its window's keys while its keyboard navigation runs,
    // from before the menu opened; otherwise the menu came from a click.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && m_bar->window()->focusWidget() != m_bar) {
        static_cast<QMenu *>(watched)->hide();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QAction *ReaderMenus::addCommand(QMenu *menu, ReaderCommandID id)
{
    const workspace::ReaderCommand &row = ReaderCommandRegistry::command(id);
    QAction *action = menu->addAction(row.title);
    action->setObjectName(workspace::rawValue(id));
    action->setShortcuts(row.shortcuts());
    action->setMenuRole(QAction::NoRole);
    connect(action, &QAction::triggered, this, [this, id] {
        if (const std::optional<pane::ReaderActions> reader = m_reader())
            ReaderCommandRegistry::command(id).perform(*reader);
    });
    m_commands[id] = action;
    return action;
}

void ReaderMenus::addCommands(QMenu *menu, ReaderCommandGroup group)
{
    for (const workspace::ReaderCommand &row : ReaderCommandRegistry::commands(group))
        addCommand(menu, row.id);
}

QMenu *ReaderMenus::addFileMenu(QMenuBar *bar)
{
    QMenu *file = bar->addMenu(QStringLiteral("文件"));
    m_newWindow = file->addAction(QStringLiteral("新建窗口"));
    m_newWindow->setShortcut(QKeySequence::New);
    m_newWindow->setMenuRole(QAction::NoRole);
    connect(m_newWindow, &QAction::triggered, this, &ReaderMenus::newWindowRequested);
    addCommand(file, ReaderCommandID::open);
    m_recent = file->addMenu(QStringLiteral("最近阅读"));
    m_recent->setToolTipsVisible(true);
    connect(m_recent, &QMenu::aboutToShow, this, &ReaderMenus::rebuildRecentMenu);
    for (const workspace::ReaderCommand &row : ReaderCommandRegistry::commands(ReaderCommandGroup::file))
        if (row.id != ReaderCommandID::open)
            addCommand(file, row.id);
    file->addSeparator();
    m_settings = file->addAction(QStringLiteral("设置…"));
    // The platform's own settings shortcut; where it has none, the
    // command key with a comma, as on the desktop that names one.
    const QKeySequence preferences(QKeySequence::Preferences);
    m_settings->setShortcut(preferences.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : preferences);
    m_settings->setMenuRole(QAction::PreferencesRole);
    connect(m_settings, &QAction::triggered, this, &ReaderMenus::settingsRequested);
    m_quit = file->addAction(QStringLiteral("退出 Folvan"));
    // The platform's own quit shortcut; where it has none, Ctrl+Q.
    const QKeySequence quit(QKeySequence::Quit);
    m_quit->setShortcut(quit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quit);
    m_quit->setMenuRole(QAction::QuitRole);
    // Quitting asks first while some change cannot be written.
    connect(
        m_quit, &QAction::triggered, this,
        [this] {
            if (mayQuit(m_dialogParent))
                QApplication::closeAllWindows();
        },
        Qt::QueuedConnection);
    return file;
}

QAction *ReaderMenus::addPreferenceSwitch(QMenu *menu, const QString &title, const QString &key)
{
    QAction *action = menu->addAction(title);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [key](bool on) { defaults().setValue(key, on); });
    m_checkRefreshers.push_back([action, key] { action->setChecked(defaults().boolValue(key)); });
    return action;
}

void ReaderMenus::addReplacementMenu(QMenuBar *bar)
{
    QMenu *menu = bar->addMenu(QStringLiteral("重命名"));
    // The colon switch is on exactly while the stored replacement is "_".
    QAction *colon = menu->addAction(QStringLiteral("冒号替换为下划线（否则为连字符）"));
    colon->setCheckable(true);
    connect(colon, &QAction::triggered, this,
            [](bool on) { defaults().setValue(prefkey::replacementForColon, on ? QStringLiteral("_") : QStringLiteral("-")); });
    m_checkRefreshers.push_back(
        [colon] { colon->setChecked(defaults().stringValue(prefkey::replacementForColon) == QLatin1String("_")); });
    menu->addSeparator();
    addPreferenceSwitch(menu, QStringLiteral("全大写标题转为词首大写"), prefkey::capitalizeTitles);
    addPreferenceSwitch(menu, QStringLiteral("全小写标题转为词首大写"), prefkey::capitalizeLowercaseTitles);
    addPreferenceSwitch(menu, QStringLiteral("the、and、of 等小词保留小写"), prefkey::keepSmallWordsLowercase);
    menu->addSeparator();
    addPreferenceSwitch(menu, QStringLiteral("去掉方括号与圆括号中的内容"), prefkey::removeBracketedText);
    addPreferenceSwitch(menu, QStringLiteral("合并连续空格"), prefkey::collapseSpaces);
    addPreferenceSwitch(menu, QStringLiteral("去掉开头编号"), prefkey::removeLeadingNumbers);
}

template <typename Width>
void ReaderMenus::addWidthPicker(QMenu *menu, const QString &title, const QString &key, std::initializer_list<Width> values)
{
    QMenu *picker = menu->addMenu(title);
    auto *group = new QActionGroup(picker);
    for (const Width value : values) {
        QAction *option = picker->addAction(widthLabel(value));
        option->setCheckable(true);
        option->setData(platform::toText(value));
        group->addAction(option);
        connect(option, &QAction::triggered, this, [key, value] { defaults().setValue(key, platform::toText(value)); });
        m_checkRefreshers.push_back([option, key, value] {
            option->setChecked(defaults().enumValue<Width>(key) == value);
        });
    }
}

void ReaderMenus::addWidthMenu(QMenuBar *bar)
{
    QMenu *menu = bar->addMenu(QStringLiteral("布局"));
    using platform::ReadingWidth;
    using platform::ScholarWidth;
    addWidthPicker(menu, QStringLiteral("Scholar 栏宽度"), prefkey::ggViewWidth,
                   {ScholarWidth::Compact, ScholarWidth::Regular, ScholarWidth::Large, ScholarWidth::Extended});
    addWidthPicker(menu, QStringLiteral("滚动阅读宽度"), prefkey::pdfViewWidth,
                   {ReadingWidth::Small, ReadingWidth::Medium, ReadingWidth::Large, ReadingWidth::Auto});
}

void ReaderMenus::addNotesMenu(QMenuBar *bar)
{
    QMenu *menu = bar->addMenu(QStringLiteral("笔记"));
    notes::PaperNotesStore &notes = notes::PaperNotesStore::shared();
    addCommand(menu, ReaderCommandID::newNote);
    m_undoDeleteNote = menu->addAction(QStringLiteral("撤销删除笔记"));
    connect(m_undoDeleteNote, &QAction::triggered, this, [] { notes::PaperNotesStore::shared().undoDelete(); });
    connect(&notes, &notes::PaperNotesStore::notesChanged, this, &ReaderMenus::refresh);
}

void ReaderMenus::addReadingMenu(QMenuBar *bar)
{
    QMenu *reading = bar->addMenu(QStringLiteral("阅读"));
    addCommands(reading, ReaderCommandGroup::reading);
    reading->addSeparator();
    m_layout = reading->addMenu(QStringLiteral("翻书版式"));
    auto *group = new QActionGroup(m_layout);
    const std::pair<QString, platform::BookLayout> options[] = {{QStringLiteral("双页"), platform::BookLayout::Spread},
                                                                {QStringLiteral("单页"), platform::BookLayout::Single}};
    for (const auto &[label, value] : options) {
        QAction *option = m_layout->addAction(label);
        option->setCheckable(true);
        option->setData(platform::toText(value));
        group->addAction(option);
        connect(option, &QAction::triggered, this, [this, value = value] {
            // The preference always takes the last choice; the active pane
            // alone is told.
            defaults().setValue(prefkey::pageLayout, platform::toText(value));
            if (const std::optional<pane::ReaderActions> reader = m_reader(); reader && reader->setPageLayout)
                reader->setPageLayout(value);
            refreshChecks();
        });
        m_checkRefreshers.push_back([this, option, value = value] {
            const std::optional<pane::ReaderActions> reader = m_reader();
            const platform::BookLayout shown =
                reader ? reader->pageLayout : defaults().enumValue<platform::BookLayout>(prefkey::pageLayout);
            option->setChecked(shown == value);
        });
    }
}

void ReaderMenus::refreshChecks()
{
    for (const std::function<void()> &refresher : m_checkRefreshers)
        refresher();
}

void ReaderMenus::refresh()
{
    const std::optional<pane::ReaderActions> reader = m_reader();
    for (const auto &[id, action] : m_commands)
        action->setEnabled(reader && ReaderCommandRegistry::command(id).isEnabled(*reader));
    m_undoDeleteNote->setEnabled(notes::PaperNotesStore::shared().canUndoDelete());
    refreshChecks();
    scheduleRecentRebuild();
}

void ReaderMenus::scheduleRecentRebuild()
{
    // Later, not now: the change may come from an item of this very menu,
    // which a rebuild would delete while it is still being handled.
    if (m_recentRebuildScheduled)
        return;
    m_recentRebuildScheduled = true;
    QTimer::singleShot(0, this, &ReaderMenus::rebuildRecentMenu);
}

void ReaderMenus::rebuildRecentMenu()
{
    m_recentRebuildScheduled = false;
    history::ReadingHistory &history = history::ReadingHistory::shared();
    const bool hasReader = m_reader().has_value();
    m_recent->clear();
    const QList<history::RecentReading> &records = history.records();
    if (records.isEmpty())
        m_recent->addAction(QStringLiteral("暂无阅读记录"))->setEnabled(false);
    for (qsizetype i = 0; i < std::min<qsizetype>(records.size(), kRecentLimit); ++i) {
        const history::RecentReading record = records[i];
        QAction *item = m_recent->addAction(recentTitle(record, m_recent->fontMetrics()));
        item->setToolTip(platform::rowText(record.path, 3));
        item->setData(record.id);
        item->setEnabled(hasReader && !history.resolve(record).isEmpty());
        connect(item, &QAction::triggered, this, [this, record] {
            // The file may have gone since the menu was built.
            const QString path = history::ReadingHistory::shared().resolve(record);
            const std::optional<pane::ReaderActions> reader = m_reader();
            if (!path.isEmpty() && reader && reader->openRecent)
                reader->openRecent(QUrl::fromLocalFile(path));
        });
    }
    m_recent->addSeparator();
    QAction *clear = m_recent->addAction(QStringLiteral("清空最近阅读列表…"));
    clear->setEnabled(!records.isEmpty());
    connect(clear, &QAction::triggered, this,
            [this] { confirmClearHistory(history::ReadingHistory::shared(), m_dialogParent); });
}

QAction *ReaderMenus::commandAction(ReaderCommandID id) const
{
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second;
}

QMenu *ReaderMenus::menu(const QString &title) const
{
    for (QAction *action : m_bar->actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return nullptr;
}

} // namespace folvan::app
