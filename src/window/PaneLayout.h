#pragma once

// The layers of one pane, from the back: the wallpaper (or a plain tinted
// background), the reading row with the reading area between the rooms of
// the side panels, the side panels and the welcome column, the header with
// the search bar under it, the help and onboarding overlays, the command
// palette sheet and the drop highlight. It places them by hand on every
// change of the pane's width or of the panels' flags.

#include <QPointer>
#include <QWidget>

class QScrollArea;

namespace folvan::window {

class ContentView;
class PanelPlaceholder;
class ReadingArea;
class SearchBar;
class SingleHeader;
class SplitHeader;
class WelcomeView;

class PaneLayout : public QWidget {
    Q_OBJECT
public:
    explicit PaneLayout(ContentView *pane, QWidget *parent = nullptr);

    ReadingArea *readingArea() const { return m_readingArea; }
    SingleHeader *singleHeader() const { return m_singleHeader; }
    SplitHeader *splitHeader() const { return m_splitHeader; }
    SearchBar *searchBar() const { return m_searchBar; }
    WelcomeView *welcomeView() const { return m_welcome; }
    QWidget *welcomeColumn() const;
    QWidget *scholarPanel() const { return m_scholar; }
    QWidget *outlinePanel() const { return m_outline; }
    QWidget *notesPanel() const { return m_notes; }
    QWidget *helpOverlay() const { return m_help; }
    QWidget *onboardingOverlay() const { return m_onboarding; }
    QWidget *commandPaletteSheet() const { return m_palette; }

    // The help overlay's hand-over to the onboarding: hides the overlay,
    // forgets that the onboarding was seen and shows it 0.35 s later.
    void replayOnboarding();

public slots:
    // Places every layer for the pane's current state.
    void relayout();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRelayout();
    void followPanels();
    void followOverlays();
    void followCommandPalette();
    void followRadio();

    QPointer<ContentView> m_pane;
    ReadingArea *m_readingArea;
    QScrollArea *m_welcomeScroll;
    WelcomeView *m_welcome;
    SingleHeader *m_singleHeader;
    SplitHeader *m_splitHeader;
    SearchBar *m_searchBar;
    QPointer<QWidget> m_scholar;
    QPointer<QWidget> m_outline;
    QPointer<QWidget> m_notes;
    QPointer<QWidget> m_help;
    QPointer<QWidget> m_onboarding;
    QPointer<QWidget> m_palette;
    QWidget *m_dropHighlight;
    bool m_relayoutScheduled = false;
};

} // namespace folvan::window
