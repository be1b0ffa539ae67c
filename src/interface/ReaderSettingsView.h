#pragma once

#include "interface/HelpText.h"

#include <QTabWidget>

#include <functional>

namespace folvan::interface {

// What the settings window asks of the application shell.
struct SettingsServices {
    // Asks whether to clear the recent-reading list and clears it.
    std::function<void(QWidget *dialogParent)> clearHistory;
    // The wallpaper commands: pick and copy an image; clear it.
    std::function<void(QWidget *dialogParent)> selectWallpaper;
    std::function<void(QWidget *dialogParent)> clearWallpaper;
    // The command table in menu order, for the help tab.
    QList<HelpCommand> commands;
};

// The content of the settings window: the tabs "阅读", "操作", "界面",
// "文件" and "帮助". Every control writes its preference at once and follows
// the preference when it is written elsewhere; there is no apply step. The
// view keeps a fixed size, its width following the interface text size.
class ReaderSettingsView : public QTabWidget {
    Q_OBJECT
public:
    explicit ReaderSettingsView(SettingsServices services, QWidget *parent = nullptr);

    static constexpr int kHeight = 580;
    // max(580 + 18 × (size − smallest size), 640) for the clamped interface
    // text size.
    static int widthForInterfaceSize();

private:
    QWidget *readingTab();
    QWidget *operationTab();
    QWidget *interfaceTab();
    QWidget *fileTab();

    SettingsServices m_services;
};

} // namespace folvan::interface
