#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace folvan::workspace {

// What an open panel is asked for.
struct FileChoice {
    QString title;          // window title; empty for the default
    QString prompt;         // the accepting button's text; empty for the default
    QString startFolder;    // empty: the panel's own default
    QStringList nameFilters; // e.g. "PDF (*.pdf *.PDF)"
};

// The modal panels and alerts of the shell, replaceable as a whole (tests
// put answers in place of the dialogs).
struct ShellDialogs {
    // The chosen file's path; empty when the user cancels.
    std::function<QString(QWidget *parent, const FileChoice &choice)> chooseFile;
    // A message with an informative text and one button "确定".
    std::function<void(QWidget *parent, const QString &message, const QString &informative)> alert;
    // A confirmation whose first button confirms; true when it was chosen.
    std::function<bool(QWidget *parent, const QString &message, const QString &informative,
                       const QString &confirmButton, const QString &cancelButton)>
        confirm;
};

// The dialogs in use; the platform's own by default.
ShellDialogs &shellDialogs();
// Puts the platform's own dialogs back.
void resetShellDialogs();

} // namespace folvan::workspace
