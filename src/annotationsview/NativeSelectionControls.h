#pragma once

// The row of controls for the text selected in a pane, whichever of its
// views holds it: copy, the colour of new markups, highlight, underline, a
// text note, and the pane's latest markup error. It acts only through the
// pane model; it never clears the selection or closes itself.

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

class QLabel;
class QToolButton;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::annotations {
class PaneAnnotations;
}

namespace folvan::annotationsview {

class NativeSelectionControls : public QWidget {
    Q_OBJECT
public:
    explicit NativeSelectionControls(model::SharedPDFViewModel *model, QWidget *parent = nullptr);
    ~NativeSelectionControls() override;

    QToolButton *copyButton() const { return m_copy; }
    QToolButton *colorButton() const { return m_color; }
    QToolButton *highlightButton() const { return m_highlight; }
    QToolButton *underlineButton() const { return m_underline; }
    QToolButton *noteButton() const { return m_noteButton; }
    QLabel *errorLabel() const { return m_error; }

    // The note popover, while open, and its parts.
    QWidget *notePopover() const { return m_popover; }
    QPlainTextEdit *noteEditor() const { return m_noteEditor; }
    QPushButton *saveNoteButton() const { return m_saveNote; }
    // The text typed in the note popover; kept after it closes.
    const QString &note() const { return m_note; }

    void openNote();
    void saveNote();

private:
    void refresh();

    QPointer<model::SharedPDFViewModel> m_model;
    // The annotations of the model's pane; null when it has none.
    QPointer<annotations::PaneAnnotations> m_annotations;
    QToolButton *m_copy;
    QToolButton *m_color;
    QToolButton *m_highlight;
    QToolButton *m_underline;
    QToolButton *m_noteButton;
    QLabel *m_error;
    QString m_note;
    QPointer<QWidget> m_popover;
    QPointer<QPlainTextEdit> m_noteEditor;
    QPointer<QPushButton> m_saveNote;
};

} // namespace folvan::annotationsview
