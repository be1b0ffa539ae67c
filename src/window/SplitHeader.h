#pragma once

// The compact two-row strip at the top of each pane in the comparison
// layout. Row 1: the pane button (a dot that shows the active pane and the
// pane's word), the file name (or the rename field) and the file commands.
// Row 2: daily paper, reflow, search, the three panels (as popovers under
// their buttons), the radio, the help and closing the comparison. A rule
// along the bottom edge is in the accent colour while the pane is active.

#include <QPointer>
#include <QWidget>

#include <functional>

class QStackedLayout;
class QToolButton;

namespace folvan::window {

class ContentView;
class PaneButton;
class PanePopover;
class RenameField;
class TitleButton;

class SplitHeader : public QWidget {
    Q_OBJECT
public:
    explicit SplitHeader(ContentView *pane, QWidget *parent = nullptr);

    // The word next to the pane's dot: "左侧" for the primary pane.
    QString paneWord() const;

    QToolButton *paneButton;
    TitleButton *fileNameButton;
    RenameField *renameField;
    PaneButton *openButton, *renameButton, *moveButton, *revealButton, *externalButton, *trashButton, *closeButton;
    PaneButton *dailyPaperButton, *reflowButton, *searchButton, *outlineButton, *notesButton, *scholarButton,
        *radioButton, *helpButton, *closeComparisonButton;
    PanePopover *outlinePopover, *notesPopover, *scholarPopover;

public slots:
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The header's parts, in the order they are made.
    void buildPaneButton(ContentView *pane);
    void buildFileName(ContentView *pane);
    void buildFileCommands(ContentView *pane);
    void buildReadingCommands(ContentView *pane);
    PaneButton *command(ContentView *pane, const QString &symbol, const QString &help, const QString &label,
                        std::function<void(ContentView *)> action);
    void buildPanelPopovers(ContentView *pane);
    void arrangeRows();
    void followPane(ContentView *pane);
    void followPopovers();

    QPointer<ContentView> m_pane;
    QStackedLayout *m_nameStack;
    bool m_wasSplit;
};

} // namespace folvan::window
