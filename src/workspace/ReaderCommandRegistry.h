#pragma once

// The table of the reader's 36 commands: identifier, title, menu group,
// keyboard shortcut and its printed form. Menus, the command palette and the
// help page are built from it; every command is carried out by
// ReaderCommand::perform against a pane's ReaderActions record, after
// the command's enable rule.

#include "pane/ReaderActions.h"

#include <QKeySequence>
#include <QString>

#include <optional>
#include <vector>

namespace folvan::workspace {

enum class ReaderCommandID {
    open, pod, close, rename, move, reveal, external, trash, reflow, newNote, comparison, focusPane,
    back, forward, bookmark, find, nextMatch, previousMatch, mode, zoomIn, zoomOut, reset, outline,
    notes, scholar, radio, copy, highlight, underline, undoAnnotation, redoAnnotation,
    copyAnnotations, exportAnnotations, exportPDF, palette, help
};

// The identifier's name ("zoomIn"); it is also its stored form.
QString rawValue(ReaderCommandID id);
// The identifier of exactly one of the 36 names, case-sensitive.
std::optional<ReaderCommandID> readerCommandID(const QString &raw);

enum class ReaderCommandGroup { file, reading, annotation, other };

struct ReaderCommand {
    ReaderCommandID id;
    QString title;
    ReaderCommandGroup group;
    // One character, letters in lower case; none for commands without a
    // shortcut.
    std::optional<QString> key;
    // Qt::ControlModifier (the command key), Qt::AltModifier (option),
    // Qt::ShiftModifier.
    Qt::KeyboardModifiers modifiers;

    // The shortcut; empty for commands without a key.
    QKeySequence shortcut() const;
    // The shortcut first, then the keys that also stand for it: the
    // platform's copy keys for the copy command, and Ctrl+= for a "+" (the
    // key that carries "+" without Shift on common keyboards).
    QList<QKeySequence> shortcuts() const;
    // The shortcut as the platform prints it ("Ctrl+Shift+P", "⇧⌘P"); empty
    // for commands without a key.
    QString shortcutLabel() const;

    // Whether the command may act on `reader`: each command reads one flag
    // of the record, or none when it is always enabled.
    bool isEnabled(const pane::ReaderActions &reader) const;
    // Carries the command out on `reader` when it is enabled; otherwise does
    // nothing, silently.
    void perform(const pane::ReaderActions &reader) const;
};

struct ReaderCommandRegistry {
    ReaderCommandRegistry() = delete;

    // The 36 rows in table order (the order of menus and palette).
    static const std::vector<ReaderCommand> &all();
    // The rows of one group, in table order.
    static std::vector<ReaderCommand> commands(ReaderCommandGroup group);
    // The row of an identifier.
    static const ReaderCommand &command(ReaderCommandID id);
};

} // namespace folvan::workspace
