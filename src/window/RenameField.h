#pragma once

// The headers' rename field: it edits the pane's editableFileName, takes the
// keyboard focus when the pane's filenameFocused asks for it, renames on
// Return and leaves editing on Escape. Losing the focus changes nothing.

#include <QLineEdit>
#include <QPointer>

namespace folvan::window {

class ContentView;

class RenameField : public QLineEdit {
    Q_OBJECT
public:
    explicit RenameField(ContentView *pane, QWidget *parent = nullptr);

    // Called by the header before it puts the name back in the field's
    // place: the keys the field holds go to the pane's reading view. Left
    // to the header's stack, they would go to the name, where Space starts
    // another rename.
    void letGoOfKeys();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void followPane();

    QPointer<ContentView> m_pane;
};

} // namespace folvan::window
