#pragma once

// The fixed text of the reader's help: five groups of short rows, the
// commands listed under "菜单与快捷键", and how the words that differ by
// platform (shortcuts, the data folder, the file manager) are filled in.

#include <QList>
#include <QString>

#include <stdexcept>

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

// A help text that cannot be filled: it names a placeholder nobody fills,
// leaves one open, or still writes a shortcut in key symbols ("⌘F").
class HelpTextError : public std::logic_error {
public:
    HelpTextError(const QString &what, const QString &text);
};

// A help text as shown. The texts are written in this platform's words,
// with a placeholder in braces for each word that differs by platform:
// a shortcut in Qt's portable form ("{Ctrl+Shift+B}", "{Shift+Enter}")
// becomes the platform's own form ("Ctrl+Shift+B" here, "⇧⌘B" on macOS;
// the key Enter keeps its name), "{dataFolder}" is where the data folder
// is ("~/.local/share/Folvan"), and "{reveal}" what showing a file in the
// file manager is called ("在文件管理器中显示"). Throws HelpTextError for a
// text that cannot be filled, so that a changed wording fails at once
// rather than show its braces.
QString platformHelpText(const QString &text);

// `text` for display with each key combination kept on one line: a word
// joiner after every "+" that stands between two keys.
QString unbrokenShortcuts(const QString &text);

// The commands that have a shortcut, in table order; the others are left
// out.
QList<HelpCommand> commandsWithShortcut(const QList<HelpCommand> &table);

} // namespace folvan::interface
