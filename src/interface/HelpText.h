#pragma once

// The fixed text of the reader's help: five groups of short rows, the
// commands listed under "菜单与快捷键", and the rule that prints the help's
// shortcuts and places the way the running platform names them.

#include <QList>
#include <QString>

namespace folvan::interface {

struct HelpRow {
    QString key;
    QString text;
};

struct HelpGroup {
    QString symbol;
    QString title;
    QList<HelpRow> rows;
};

// A command of the command table as the help lists it.
struct HelpCommand {
    QString shortcutLabel;
    QString title;
};

// The five groups, in display order, with their texts already in the
// platform's words (platformHelpText).
QList<HelpGroup> helpGroups();

// `text` with every shortcut written in key symbols ("⌘⇧B", "⌘−", "⇧Enter")
// in the platform's own form ("Ctrl+Shift+B", "Ctrl+-", "Shift+Enter" on
// Linux), the data folder named where it really is, and the file manager
// named as the platform calls it.
QString platformHelpText(const QString &text);

// `text` for display with each key combination kept on one line: a word
// joiner after every "+" that stands between two keys.
QString unbrokenShortcuts(const QString &text);

// The commands that have a shortcut, in table order; the others are left
// out.
QList<HelpCommand> commandsWithShortcut(const QList<HelpCommand> &table);

} // namespace folvan::interface
