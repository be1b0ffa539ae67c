#pragma once

// The layers of one pane, from the back: the wallpaper (or a plain tinted
// background), the reading row with the reading area between the rooms of
// the side panels, the side panels and the welcome column, the header with
// the search bar under it, the help and onboarding overlays, the command
// palette sheet and the drop highlight. It places them by hand on every
// change of the pane's width or of the panels' flags.

#include <QPointer>
#include <QWidget>

#include <functional>

class QScrollArea;
class QVariantAnimation;

namespace folvan::annotationsview {
class VisualEffect;
}

namespace folvan::window {

class ContentView;
class PaneErrorLine;
class ReadingArea;
class SearchBar;
class SingleHeader;
class SplitHeader;
class WelcomeView;

class PaneLayout : public QWidget {
    Q_OBJECT
public:
    explicit PaneLayout(ContentView *pane, QWidget *parent = nullptr);

    // The tinted background, shown while the pane has no wallpaper.
    annotationsview::VisualEffect *tintedBackground() const { return m_tint; }

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
    PaneErrorLine *errorLine() const { return m_errorLine; }

    // The next change of a side panel's flag slides the panel in or out
    // over 0.18 s instead of at once (the single header's panel buttons).
    void animateNextPanelChange() { m_animateNext = true; }
    // How far each side panel is in (0...1): Scholar, outline, notes.
    double panelPresence(int panel) const { return m_motion[panel].presence; }

    // The help overlay's hand-over to the onboarding: hides the overlay,
    // forgets that the onboarding was seen and shows it 0.35 s later.
    void replayOnboarding();

    // The pane's reading view (the page view, or the book or reflow view)
    // while a paper shows; null otherwise.
    QWidget *readerView() const;
    // Gives the keyboard to the reading view while the pane is active and no
    // overlay covers it, unless the user types in a field of the window
    // (`evenFromAField`: the field is one the focus chain moved into).
    // Closing an overlay, a popover or the palette and opening a paper call it.
    void returnKeyboard(bool evenFromAField = false);

public slots:
    // Places every layer for the pane's current state.
    void relayout();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Where the reading row's parts start: the search bar's leading edge,
    // and the rooms kept free for the left-hand panels and the notes panel.
    struct ReadingRow {
        double leading;
        int leftRoom;
        int rightRoom;
    };
    // The decisions of a relayout, in the order it takes them.
    ReadingRow placeSidePanels(bool split, bool hasDocument);
    void placeErrorLine(const ReadingRow &row, int top);
    int readingAreaTop(int top, bool split, bool hasDocument) const;
    void placeReadingArea(const ReadingRow &row, int readingTop, bool hasDocument);
    void placeWelcomeColumn(const ReadingRow &row, int top, bool hasDocument);
    QWidget *placeHeader(bool split);
    void followSearchBar(double leading, const QWidget *header);
    void stackLayers(QWidget *header);

    void scheduleRelayout();
    void followPanels(const bool (&shown)[3]);
    void followMotion(int panel, bool shown);
    void followOverlays();
    void followCommandPalette();
    void followRadio();
    // Takes an overlay away; the keyboard it held goes back to the reading
    // view.
    void closeOverlay(QPointer<QWidget> &overlay);
    // A search bar or side panel about to go: the keyboard it holds, or
    // that nobody holds, goes to the reading view.
    void handBackKeys(const QWidget *leaving);

    QPointer<ContentView> m_pane;
    annotationsview::VisualEffect *m_tint;
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
    PaneErrorLine *m_errorLine;
    // A side panel's place: in (1), out (0), or moving between.
    struct PanelMotion {
        double presence = 0;
        double target = 0;
        QPointer<QVariantAnimation> animation;
    };
    PanelMotion m_motion[3];
    bool m_animateNext = false;
    bool m_relayoutScheduled = false;
};

} // namespace folvan::window
