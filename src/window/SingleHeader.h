#pragma once

// The bar at the top of a pane shown alone: file commands, the paper's
// title (or the rename field in its place), the comparison switch, reflow,
// search, the three panels, the radio and the help, with a thin reading
// progress line along its bottom edge.

#include <QPointer>
#include <QWidget>

class QStackedLayout;

namespace folvan::window {

class ContentView;
class PaneButton;
class RenameField;
class TitleButton;

class SingleHeader : public QWidget {
    Q_OBJECT
public:
    explicit SingleHeader(ContentView *pane, QWidget *parent = nullptr);

    static constexpr int kHeight = 36;

    // The controls, for the pane's tests and its keyboard handling.
    PaneButton *openButton, *dailyPaperButton, *renameButton, *moveButton, *revealButton, *externalButton,
        *trashButton, *closeButton, *comparisonButton, *reflowButton, *searchButton, *outlineButton,
        *notesButton, *scholarButton, *radioButton, *helpButton;
    TitleButton *titleButton;
    RenameField *renameField;

public slots:
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<ContentView> m_pane;
    QStackedLayout *m_titleStack;
};

} // namespace folvan::window
