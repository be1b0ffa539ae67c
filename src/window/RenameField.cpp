#include "window/RenameField.h"

#include "platform/InterfaceFont.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"

#include <QKeyEvent>

namespace folvan::window {

RenameField::RenameField(ContentView *pane, QWidget *parent)
    : QLineEdit(parent)
    , m_pane(pane)
{
    setPlaceholderText(QStringLiteral("输入新文件名"));
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_pane)
            m_pane->controller()->renameTextEdited(text);
    });
    connect(pane->controller(), &pane::PaneController::editableFileNameChanged, this, &RenameField::followPane);
    connect(pane->controller(), &pane::PaneController::filenameFocusedChanged, this, &RenameField::followPane);
    followPane();
}

void RenameField::followPane()
{
    if (!m_pane)
        return;
    if (text() != m_pane->controller()->editableFileName())
        setText(m_pane->controller()->editableFileName());
    if (m_pane->controller()->filenameFocused() && !hasFocus() && isVisible())
        setFocus(Qt::OtherFocusReason);
    else if (!m_pane->controller()->filenameFocused() && hasFocus())
        clearFocus();
}

void RenameField::letGoOfKeys()
{
    if (!hasFocus())
        return;
    clearFocus();
    if (m_pane && m_pane->paneLayout())
        m_pane->paneLayout()->returnKeyboard(true);
}

void RenameField::keyPressEvent(QKeyEvent *event)
{
    if (!m_pane)
        return QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_pane->controller()->renameTextEdited(text());
        m_pane->controller()->commitRename();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        m_pane->controller()->renameCancelled();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void RenameField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (m_pane)
        m_pane->controller()->renameFieldFocusChanged(true);
}

void RenameField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (m_pane)
        m_pane->controller()->renameFieldFocusChanged(false);
}

} // namespace folvan::window
