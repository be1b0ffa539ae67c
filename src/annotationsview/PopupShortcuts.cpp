#include "annotationsview/PopupShortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>

namespace folvan::annotationsview {

QAction *windowShortcutAction(QWidget *window, const QKeyEvent *key)
{
    if (!window || key->key() == Qt::Key_unknown || key->key() == 0)
        return nullptr;
    const QKeySequence pressed(key->keyCombination());
    const QKeySequence unshifted(QKeyCombination(key->modifiers() & ~Qt::ShiftModifier, Qt::Key(key->key())));
    for (const bool shiftless : {false, true}) {
        if (shiftless && (!(key->modifiers() & Qt::ShiftModifier) || (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)))
            break;
        for (QAction *action : window->findChildren<QAction *>()) {
            if (!action->isEnabled() || action->shortcutContext() == Qt::WidgetShortcut)
                continue;
            for (const QKeySequence &shortcut : action->shortcuts())
                if (shortcut == (shiftless ? unshifted : pressed))
                    return action;
        }
    }
    return nullptr;
}

} // namespace folvan::annotationsview
