#pragma once

// The dialogs of a fetched PDF: its alerts, the confirmation of a replace
// and the save panel. The browser asks through this interface so that a test
// can answer in their place; the default uses QMessageBox and QFileDialog,
// each run modally.

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWidget;

namespace folvan::scholar {

class DownloadPrompts {
public:
    virtual ~DownloadPrompts() = default;
    // A warning with the title as its message, the message as its
    // informative text and one button "确定".
    virtual void alert(QWidget *parent, const QString &title, const QString &message) = 0;
    // The same, of informational style.
    virtual void inform(QWidget *parent, const QString &title, const QString &message) = 0;
    // A warning with the buttons "替换" (first, the default) and "取消"; true
    // when "替换" was chosen.
    virtual bool confirmReplace(QWidget *parent, const QString &message, const QString &informativeText) = 0;
    // A warning with the buttons "仍然保存" and "取消" (the default); true
    // when "仍然保存" was chosen.
    virtual bool confirmIncompleteSave(QWidget *parent, const QString &message, const QString &informativeText) = 0;
    // A save panel for one PDF file, with `suggestedName` in its name field,
    // opened in `startFolder` when that is set; the chosen path, or none
    // when cancelled.
    virtual std::optional<QString> chooseSavePath(QWidget *parent, const QString &suggestedName,
                                                  const QUrl &startFolder) = 0;
};

std::shared_ptr<DownloadPrompts> makeDefaultDownloadPrompts();

} // namespace folvan::scholar
