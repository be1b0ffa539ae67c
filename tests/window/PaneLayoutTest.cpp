// The pane's layers: the welcome column, the side panels and their
// error cards, the reading area with its tilt and width, the dock's place,
// the overlays and the command palette sheet.

#include "support/SharedPDFViewModelTestPeer.h"
#include "PaneTestSupport.h"

#include "historyview/RecentReadingList.h"
#include "notesview/PaperNotesView.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/OutlineView.h"
#include "platform/Clock.h"
#include "window/PaneLayout.h"
#include "window/PaneRules.h"
#include "window/PanelCard.h"
#include "dock/DockPopover.h"
#include "window/ReadingArea.h"
#include "window/PaneControls.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "window/PanePanels.h"
#include "window/RenameField.h"
#include "window/SearchBar.h"
#include "window/SingleHeader.h"
#include "window/SplitHeader.h"
#include "window/WelcomeView.h"
#include "scholar/GGView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QToolButton>
#include <QTest>
#include <QPushButton>

namespace folvan::window::test {

namespace {

class PaneLayoutTest : public OnePaneTest {
protected:
    void SetUp() override
    {
        OnePaneTest::SetUp();
        pane->resize(1400, 900);
    }
    PaneLayout &layout() { return *pane->paneLayout(); }
    void openPaper() { ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Layout Paper.pdf"), 3))); }
    // Slides and delayed overlays move with this clock.
    platform::ManualClock clock;
};

} // namespace

TEST_F(PaneLayoutTest, WelcomeColumnShowsDateGreetingButtonHintAndRecentPapers)
{
    WelcomeView &welcome = *layout().welcomeView();
    welcome.setClock([] { return QDateTime(QDate(2026, 1, 5), QTime(11, 59)); });
    EXPECT_EQ(welcome.dateLabel()->text(), QStringLiteral("1月5日 星期一"));
    EXPECT_EQ(welcome.greetingLabel()->text(), kMorningGreeting);
    welcome.setClock([] { return QDateTime(QDate(2026, 1, 5), QTime(12, 0)); });
    EXPECT_EQ(welcome.greetingLabel()->text(), QStringLiteral("下午好"));
    EXPECT_EQ(welcome.openButton()->text(), QStringLiteral("打开 PDF"));
    EXPECT_TRUE(welcome.hintLabel()->text().startsWith(QStringLiteral("拖放论文到窗口，也可按 ")));
    EXPECT_NE(welcome.recentList(), nullptr);
    EXPECT_LE(welcome.maximumWidth() - 2 * WelcomeView::kSideMargin, WelcomeView::kMaxWidth);

    const QString file = paper(QStringLiteral("chosen.pdf"), 2);
    chooser->answers.push_back(QUrl::fromLocalFile(file));
    welcome.openButton()->click();
    ASSERT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocument() != nullptr; }));
    waitForIdle();
    EXPECT_FALSE(layout().welcomeColumn()->isVisibleTo(pane.get()));
    EXPECT_TRUE(layout().readingArea()->isVisibleTo(pane.get()));
}

TEST_F(PaneLayoutTest, RecentListReopensAPaperInThisPane)
{
    openPaper();
    const QUrl url = pane->viewModel()->pdfDocumentURL();
    pane->controller()->closePDF();
    waitForIdle();
    EXPECT_TRUE(layout().welcomeColumn()->isVisibleTo(pane.get()));
    const auto rows = layout().welcomeView()->recentList()->findChildren<historyview::RecentReadingRow *>();
    ASSERT_FALSE(rows.isEmpty());
    rows.front()->click();
    EXPECT_TRUE(waitFor([&] { return pane->viewModel()->pdfDocumentURL() == url; }));
}

TEST_F(PaneLayoutTest, WelcomeColumnStandsLowerInTheComparisonLayout)
{
    waitForIdle();
    EXPECT_EQ(layout().welcomeColumn()->y(), 65);
    pane->controller()->setIsSplit(true);
    waitForIdle();
    EXPECT_EQ(layout().welcomeColumn()->y(), 99);
}

// Without a paper the welcome column stands between the side panels: over
// the Scholar panel it would hide the page and take the toolbar's clicks.
TEST_F(PaneLayoutTest, WelcomeColumnStandsBetweenTheSidePanelsAndLeavesThemTheirClicks)
{
    pane->show();
    pane->controller()->panelToggled(pane::PanePanel::scholar);
    pane->controller()->panelToggled(pane::PanePanel::notes);
    for (const char *widthClass : {"Extended", "Compact"}) {
        platform::Preferences::shared().setValue(QStringLiteral("ggViewWidth"), QString::fromLatin1(widthClass));
        for (int paneWidth : {1400, 1000}) {
            SCOPED_TRACE(std::string(widthClass) + " " + std::to_string(paneWidth));
            pane->resize(paneWidth, 800);
            waitForIdle();
            QWidget *welcome = layout().welcomeColumn();
            auto *scholar = qobject_cast<scholar::GGView *>(layout().scholarPanel());
            ASSERT_NE(scholar, nullptr);
            ASSERT_TRUE(welcome->isVisibleTo(pane.get()));
            EXPECT_GE(welcome->geometry().left(), scholar->geometry().right() + 1);
            EXPECT_LE(welcome->geometry().right(), layout().notesPanel()->geometry().left() - 1);
            // Centred in the room between them (the notes panel keeps a
            // margin of its own).
            const int leftGap = welcome->x() - scholar->width();
            const int rightGap = layout().notesPanel()->x() - (welcome->x() + welcome->width());
            EXPECT_NEAR(leftGap, rightGap, 12);
            for (auto which : {scholar::GGView::Button::save, scholar::GGView::Button::replace}) {
                QPushButton *button = scholar->button(which);
                const QPoint centre = button->mapTo(&layout(), button->rect().center());
                EXPECT_EQ(layout().childAt(centre), button);
            }
        }
    }
}

TEST_F(PaneLayoutTest, OutlinePanelNeedsAPaperButTheScholarPanelOpensOnTheRootPage)
{
    pane->controller()->panelToggled(pane::PanePanel::outline);
    pane->controller()->panelToggled(pane::PanePanel::scholar);
    waitForIdle();
    EXPECT_EQ(layout().outlinePanel(), nullptr);
    ASSERT_NE(layout().scholarPanel(), nullptr);
    auto *scholar = qobject_cast<scholar::GGView *>(layout().scholarPanel());
    ASSERT_NE(scholar, nullptr);
    EXPECT_EQ(scholar->searchURL(), googleScholarRoot());
    EXPECT_EQ(scholar->urlBarText(), QStringLiteral("https://scholar.google.com/"));

    // The same panel follows the paper the pane opens.
    openPaper();
    waitForIdle();
    ASSERT_NE(layout().outlinePanel(), nullptr);
    EXPECT_EQ(layout().scholarPanel(), scholar);
    EXPECT_TRUE(waitFor([&] { return scholar->searchURL().toEncoded().contains("q=Layout%20Paper&"); }));
    EXPECT_EQ(scholar->urlBarText(), scholar->searchURL().toString(QUrl::FullyEncoded));
}

// Where the web engine would end the process, the Scholar panel is a card
// that says the engine did not start; the rest of the pane goes on.
TEST_F(PaneLayoutTest, WithoutAWebEngineTheScholarPanelSaysSo)
{
    folvan::test::WithoutWebEngine missing;
    openPaper();
    pane->controller()->panelToggled(pane::PanePanel::scholar);
    waitForIdle();
    auto *card = qobject_cast<MessageCard *>(layout().scholarPanel());
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->title(), QStringLiteral("无法打开 Scholar"));
    EXPECT_EQ(card->detail(), QStringLiteral("网页引擎未能启动。"));
    EXPECT_NE(layout().readerView(), nullptr);
}

TEST_F(PaneLayoutTest, SidePanelsShrinkOnANarrowPaneAndVanishInTheComparisonLayout)
{
    openPaper();
    pane->show();
    pane->resize(1000, 800);
    pane->controller()->panelToggled(pane::PanePanel::scholar);
    pane->controller()->panelToggled(pane::PanePanel::outline);
    pane->controller()->panelToggled(pane::PanePanel::notes);
    waitForIdle();
    const double scale = 580.0 / 980.0;
    EXPECT_EQ(layout().scholarPanel()->width(), int(420 * scale));
    EXPECT_EQ(layout().outlinePanel()->x(), int(420 * scale));
    // The outline itself is the panel, with the panel's whole width.
    EXPECT_NE(qobject_cast<pdfview::OutlineView *>(layout().outlinePanel()), nullptr);
    EXPECT_EQ(layout().outlinePanel()->width(), int(200 * scale));
    EXPECT_EQ(layout().notesPanel()->width(), int(360 * scale));
    EXPECT_NE(layout().notesPanel()->findChild<notesview::PaperNotesView *>(), nullptr);
    // The reading area keeps the room between the panels.
    EXPECT_EQ(layout().readingArea()->x(), int((420 + 200) * scale));

    pane->controller()->setIsSplit(true);
    waitForIdle();
    EXPECT_EQ(layout().scholarPanel(), nullptr);
    EXPECT_EQ(layout().outlinePanel(), nullptr);
    EXPECT_EQ(layout().notesPanel(), nullptr);
    EXPECT_EQ(layout().readingArea()->x(), 0);
}

TEST_F(PaneLayoutTest, ANewNoteFromTheCommandTakesTheKeyboardInItsTitle)
{
    openPaper();
    pane->show();
    waitForIdle();
    ReadingArea &area = *layout().readingArea();
    area.setFocus();
    pane->controller()->readerActions().newNote();
    waitForIdle();
    ASSERT_NE(layout().notesPanel(), nullptr);
    auto *title = layout().notesPanel()->findChild<QLineEdit *>(QStringLiteral("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(pane->window()->focusWidget(), title);

    // Again with the panel already open: the keyboard leaves the page.
    area.setFocus();
    pane->controller()->readerActions().newNote();
    waitForIdle();
    EXPECT_EQ(pane->window()->focusWidget(), title);
    EXPECT_TRUE(title->text().isEmpty());
}

TEST_F(PaneLayoutTest, ReadingAreaChoosesReflowThenBookThenPage)
{
    openPaper();
    waitForIdle();
    ReadingArea &area = *layout().readingArea();
    pane->controller()->readingModeChosen(true);
    EXPECT_EQ(area.chosenView(), ReadingArea::View::book);
    ASSERT_NE(area.bookView(), nullptr);
    EXPECT_EQ(area.currentView(), area.bookView());
    pane->controller()->readingModeChosen(false);
    EXPECT_FALSE(pane->controller()->flipBookMode());
    waitForIdle();
    EXPECT_EQ(area.chosenView(), ReadingArea::View::page);
    EXPECT_EQ(area.currentView(), area.pageSlot());
    ASSERT_NE(pane->pageView(), nullptr);
    EXPECT_EQ(pane->pageView()->parentWidget(), area.pageSlot());

    pane->controller()->toggleReflow();
    EXPECT_EQ(area.chosenView(), ReadingArea::View::reflow);
    ASSERT_NE(area.reflowView(), nullptr);
    EXPECT_EQ(area.reflowView()->parentWidget(), area.currentView());
    EXPECT_FALSE(area.dockShown());
    EXPECT_EQ(area.dock(), nullptr);
    waitForIdle();
    EXPECT_EQ(pane->pageView(), nullptr); // replaced, not hidden
    // Leaving reflow for a place brings the page view and the dock back.
    model::ReadingLocation place;
    place.page = 0;
    pane->controller()->showOriginal(place);
    EXPECT_FALSE(pane->controller()->reflowMode());
    EXPECT_EQ(area.reflowView(), nullptr);
    EXPECT_EQ(area.currentView(), area.pageSlot());
    EXPECT_TRUE(area.dockShown());
    waitForIdle();
    EXPECT_NE(pane->pageView(), nullptr);
}

TEST_F(PaneLayoutTest, DockIsAbsentWhileTheBookViewShowsItsError)
{
    openPaper();
    ReadingArea &area = *layout().readingArea();
    pane->controller()->readingModeChosen(true);
    EXPECT_TRUE(area.dockShown());
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setBookError(QStringLiteral("无法显示"));
    EXPECT_FALSE(area.dockShown());
    EXPECT_EQ(area.dock(), nullptr);
    pane->controller()->readingModeChosen(false);
    EXPECT_TRUE(area.dockShown());
    EXPECT_NE(area.dock(), nullptr);
}

TEST_F(PaneLayoutTest, PageViewIsTiltedHeldToTheReadingWidthAndFlatWhileSelecting)
{
    platform::Preferences::shared().setValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Medium"));
    pane->show();
    openPaper();
    pane->controller()->readingModeChosen(false);
    waitForIdle();
    ASSERT_NE(pane->pageView(), nullptr);
    ReadingArea &area = *layout().readingArea();
    EXPECT_EQ(area.currentView()->width(), 910);

    pane->controller()->rotationChosen(40);
    waitForIdle();
    const QTransform tilted = pane->pageView()->pdfView()->viewTransform();
    EXPECT_FALSE(tilted.isAffine());
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setTextSelectionMode(true);
    waitForIdle();
    EXPECT_TRUE(pane->pageView()->pdfView()->viewTransform().isIdentity());
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setTextSelectionMode(false);
    waitForIdle();
    EXPECT_EQ(pane->pageView()->pdfView()->viewTransform(), tilted);

    platform::Preferences::shared().setValue(QStringLiteral("pdfViewWidth"), QStringLiteral("Auto"));
    waitForIdle();
    EXPECT_EQ(area.currentView()->width(), area.width());
    const QTransform automatic = pane->pageView()->pdfView()->viewTransform();
    EXPECT_NE(automatic, tilted);
    // A stored text that names no width is Auto, as the settings show it.
    for (const char *unknown : {"Huge", "medium"}) {
        platform::Preferences::shared().setValue(QStringLiteral("pdfViewWidth"), QString::fromLatin1(unknown));
        waitForIdle();
        EXPECT_EQ(area.currentView()->width(), area.width()) << unknown;
        EXPECT_EQ(pane->pageView()->pdfView()->viewTransform(), automatic) << unknown;
    }
    pane->controller()->resetView();
    waitForIdle();
    EXPECT_TRUE(pane->pageView()->pdfView()->viewTransform().isIdentity());
}

TEST_F(PaneLayoutTest, HelpOverlayClosesItselfAndHandsOverToTheOnboarding)
{
    pane->controller()->helpRequested();
    ASSERT_NE(layout().helpOverlay(), nullptr);
    QPushButton *replay = nullptr;
    for (QPushButton *button : layout().helpOverlay()->findChildren<QPushButton *>())
        if (button->text() == QStringLiteral("重新查看入门引导"))
            replay = button;
    ASSERT_NE(replay, nullptr);
    replay->click();
    EXPECT_FALSE(pane->controller()->showShortcuts());
    EXPECT_FALSE(pane->controller()->hasSeenOnboarding());
    EXPECT_FALSE(pane->controller()->showOnboarding());
    clock.advance(0.35);
    ASSERT_TRUE(pane->controller()->showOnboarding());
    ASSERT_NE(layout().onboardingOverlay(), nullptr);
    for (QPushButton *button : layout().onboardingOverlay()->findChildren<QPushButton *>())
        button->click();
    EXPECT_FALSE(pane->controller()->showOnboarding());
    EXPECT_TRUE(pane->controller()->hasSeenOnboarding());
}

TEST_F(PaneLayoutTest, CommandPaletteSheetGetsThePanesRecordAndDismissesItself)
{
    // Without a palette the request is taken back, so that it can be made
    // again once there is one.
    pane->controller()->readerActions().commandPalette();
    EXPECT_FALSE(pane->controller()->showCommandPalette());

    std::function<void()> dismiss;
    bool hadDocument = true;
    palette = [&](ContentView *, pane::ReaderActions actions, std::function<void()> done) {
        hadDocument = actions.hasDocument;
        dismiss = done;
        return new QLabel(QStringLiteral("palette"));
    };
    pane->controller()->readerActions().commandPalette();
    EXPECT_TRUE(pane->controller()->showCommandPalette());
    ASSERT_NE(layout().commandPaletteSheet(), nullptr);
    EXPECT_FALSE(hadDocument);
    dismiss();
    EXPECT_FALSE(pane->controller()->showCommandPalette());
    EXPECT_EQ(layout().commandPaletteSheet(), nullptr);
}

TEST_F(PaneLayoutTest, TheReadingViewTakesTheKeyboardBackAfterOverlaysAndWhenAPaperOpens)
{
    platform::Preferences::shared().setValue(QStringLiteral("folvan.defaultBookMode"), false);
    pane->show();
    openPaper();
    waitForIdle();
    ASSERT_FALSE(pane->controller()->flipBookMode());
    ASSERT_NE(pane->pageView(), nullptr);
    QWidget *reader = pane->pageView()->pdfView();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(layout().readerView(), reader);
    EXPECT_EQ(pane->focusWidget(), reader);

    // An overlay whose button had the keyboard.
    QWidget *button = layout().singleHeader()->openButton;
    pane->controller()->onboardingReplayRequested();
    clock.advance(pane::PaneController::kOnboardingReplayDelaySeconds);
    QPushButton *close = layout().onboardingOverlay()->findChild<QPushButton *>();
    ASSERT_NE(close, nullptr);
    close->setFocus();
    close->click();
    EXPECT_EQ(pane->focusWidget(), reader);

    // The palette, with the keyboard in its field; and a field the focus
    // chain would move into is not taken for the user's typing.
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setShowSearch(true);
    waitForIdle();
    palette = [](ContentView *, pane::ReaderActions, std::function<void()>) {
        auto *sheet = new QWidget;
        new QLineEdit(sheet);
        return sheet;
    };
    pane->controller()->readerActions().commandPalette();
    auto *field = layout().commandPaletteSheet()->findChild<QLineEdit *>();
    field->setFocus();
    ASSERT_EQ(pane->focusWidget(), field);
    pane->controller()->commandPaletteDismissed();
    EXPECT_EQ(pane->focusWidget(), reader);

    // A user typing in the search field keeps the keyboard; another paper
    // closes the search, and the keyboard goes to the new paper rather than
    // on to the next control (the dock's).
    layout().searchBar()->field()->setFocus();
    pane->controller()->helpRequested();
    pane->controller()->shortcutsHelpDismissed();
    EXPECT_EQ(pane->focusWidget(), layout().searchBar()->field());
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Second.pdf"), 2)));
    waitForIdle();
    EXPECT_FALSE(layout().searchBar()->isVisible());
    EXPECT_EQ(pane->focusWidget(), pane->pageView()->pdfView());

    // A field that stays keeps the keyboard when a paper opens.
    QLineEdit typing(pane.get());
    typing.show();
    typing.setFocus();
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Fourth.pdf"), 2)));
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), &typing);
    typing.hide();

    // Escape in the search field gives the keyboard back to the paper.
    pane->controller()->findInPDF();
    waitForIdle();
    ASSERT_EQ(pane->focusWidget(), layout().searchBar()->field());
    pane->controller()->closeSearch();
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), pane->pageView()->pdfView());

    // A popover closing, and another paper opening, with the keyboard on a
    // control of the header.
    model::SharedPDFViewModelTestPeer(pane->viewModel()).setShowSearch(false);
    waitForIdle();
    button->setFocus();
    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Third.pdf"), 2)));
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), pane->pageView()->pdfView());

    // A panel of the dock closing hands the keyboard back the same way: not
    // under the help, which keeps it.
    dock::ReaderDock *dock = layout().readingArea()->dock();
    ASSERT_NE(dock, nullptr);
    dock->setPanel(dock::DockPanel::library);
    ASSERT_TRUE(dock->popover() && dock->popover()->isVisible());
    button->setFocus();
    dock->popover()->hide();
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), pane->pageView()->pdfView());
    pane->controller()->helpRequested();
    waitForIdle();
    ASSERT_NE(layout().helpOverlay(), nullptr);
    QPushButton *helpButton = layout().helpOverlay()->findChild<QPushButton *>();
    ASSERT_NE(helpButton, nullptr);
    dock->setPanel(dock::DockPanel::library);
    helpButton->setFocus();
    dock->popover()->hide();
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), helpButton);
    pane->controller()->shortcutsHelpDismissed();
    pane->controller()->setIsSplit(true);
    waitForIdle();
    SplitHeader &split = *layout().splitHeader();
    split.outlinePopover->popUp(split.outlineButton);
    button->setFocus();
    split.outlinePopover->hide();
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), pane->pageView()->pdfView());
}

// A click on an outline entry or a note's source hands the keys to the page, and so does a panel
// closing with them, but not a field outside the panel.
TEST_F(PaneLayoutTest, SidePanelsHandTheKeysToThePage)
{
    platform::Preferences::shared().setValue(QStringLiteral("folvan.defaultBookMode"), false);
    pane->show();
    engine::PdfFixtureWriter writer;
    for (int page = 0; page < 3; ++page)
        writer.addPage();
    writer.setOutline({{QStringLiteral("One"), 0, {}, {}}, {QStringLiteral("Three"), 2, {}, {}}});
    ASSERT_TRUE(writer.save(path(QStringLiteral("Outlined.pdf"))));
    ASSERT_TRUE(openAndWait(*pane, path(QStringLiteral("Outlined.pdf"))));
    waitForIdle();
    QWidget *reader = pane->pageView()->pdfView();
    pane->controller()->panelToggled(pane::PanePanel::outline);
    waitForIdle();
    auto *outline = qobject_cast<pdfview::OutlineView *>(layout().outlinePanel());
    QTest::mouseClick(outline->topLevelViews().at(1)->titleLabel(), Qt::LeftButton);
    waitForIdle();
    EXPECT_EQ(model().currentPageIndex(), 2);
    EXPECT_EQ(pane->focusWidget(), reader);

    for (auto which : {pane::PanePanel::outline, pane::PanePanel::notes, pane::PanePanel::scholar}) {
        if (which != pane::PanePanel::outline)
            pane->controller()->panelToggled(which);
        waitForIdle();
        QWidget *panel = which == pane::PanePanel::notes     ? layout().notesPanel()
                         : which == pane::PanePanel::scholar ? layout().scholarPanel()
                                                             : outline;
        QWidget *inside = panel->findChild<QLineEdit *>();
        (inside ? inside : panel->findChild<QScrollArea *>())->setFocus();
        pane->controller()->panelToggled(which);
        waitForIdle();
        EXPECT_EQ(pane->focusWidget(), reader) << int(which);
    }

    pane->controller()->readerActions().newNote();
    waitForIdle();
    ASSERT_TRUE(qobject_cast<QLineEdit *>(pane->focusWidget()));
    model().navigate(model::ReadingLocation(), true);
    layout().notesPanel()->findChild<QToolButton *>(QStringLiteral("source"))->click();
    waitForIdle();
    EXPECT_EQ(model().currentPageIndex(), 2);
    EXPECT_EQ(pane->focusWidget(), reader);
    pane->controller()->findInPDF();
    waitForIdle();
    pane->controller()->panelToggled(pane::PanePanel::notes);
    waitForIdle();
    EXPECT_EQ(pane->focusWidget(), layout().searchBar()->field());
}

TEST_F(PaneLayoutTest, TheCommandPaletteLeavesTheHeaderInReachAndEscapeClosesItWhereverTheKeyboardIs)
{
    platform::Preferences::shared().setValue(QStringLiteral("folvan.defaultBookMode"), false);
    pane->show();
    openPaper();
    waitForIdle();
    palette = [](ContentView *, pane::ReaderActions, std::function<void()>) {
        auto *sheet = new QWidget;
        sheet->setFixedSize(300, 200);
        new QLineEdit(sheet);
        return sheet;
    };
    // A header button gets its click; the palette closes.
    pane->controller()->readerActions().commandPalette();
    waitForIdle();
    SingleHeader &header = *layout().singleHeader();
    ASSERT_TRUE(layout().commandPaletteSheet()->isVisible());
    const QPoint onSearch = header.searchButton->mapTo(pane.get(), header.searchButton->rect().center());
    EXPECT_EQ(pane->childAt(onSearch), header.searchButton);
    QTest::mouseClick(header.searchButton, Qt::LeftButton);
    EXPECT_FALSE(pane->controller()->showCommandPalette());
    EXPECT_TRUE(pane->viewModel()->showSearch());

    // Escape with the keyboard outside the palette's field.
    pane->controller()->readerActions().commandPalette();
    waitForIdle();
    ASSERT_TRUE(pane->controller()->showCommandPalette());
    pane->pageView()->pdfView()->setFocus();
    QTest::keyClick(pane->pageView()->pdfView(), Qt::Key_Escape);
    EXPECT_FALSE(pane->controller()->showCommandPalette());

    // A click in the palette keeps it open; one on the dimmed pane closes it.
    pane->controller()->readerActions().commandPalette();
    waitForIdle();
    QWidget *sheet = layout().commandPaletteSheet()->findChild<QLineEdit *>()->parentWidget();
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(pane->controller()->showCommandPalette());
    QTest::mouseClick(layout().commandPaletteSheet(), Qt::LeftButton, {}, QPoint(20, pane->height() - 20));
    EXPECT_FALSE(pane->controller()->showCommandPalette());
}

TEST_F(PaneLayoutTest, MinimumSizeFollowsTheLayout)
{
    EXPECT_EQ(layout().minimumWidth(), 900);
    EXPECT_EQ(layout().minimumHeight(), 620);
    pane->controller()->setIsSplit(true);
    waitForIdle();
    EXPECT_EQ(layout().minimumWidth(), 420);
}

} // namespace folvan::window::test

namespace folvan::window::test {

TEST_F(PaneLayoutTest, HeaderPanelButtonsSlideTheirPanelInAndOut)
{
    pane->show();
    openPaper();
    waitForIdle();
    SingleHeader &header = *layout().singleHeader();
    header.outlineButton->click();
    waitForIdle();
    clock.advance(0.09);
    // Under way: the panel stands partly in, and the reading area follows.
    ASSERT_NE(layout().outlinePanel(), nullptr);
    EXPECT_GT(layout().panelPresence(1), 0.0);
    EXPECT_LT(layout().panelPresence(1), 1.0);
    EXPECT_LT(layout().outlinePanel()->x(), 0);
    clock.advance(0.09);
    EXPECT_EQ(layout().panelPresence(1), 1.0);
    waitForIdle();
    EXPECT_EQ(layout().outlinePanel()->x(), 0);
    EXPECT_EQ(layout().readingArea()->x(), 200);

    header.outlineButton->click();
    waitForIdle();
    EXPECT_NE(layout().outlinePanel(), nullptr) << "the panel slides out before it goes";
    clock.advance(0.18);
    waitForIdle();
    EXPECT_EQ(layout().outlinePanel(), nullptr);

    EXPECT_EQ(layout().readingArea()->x(), 0);

    // A command changes the flag at once.
    pane->controller()->readerActions().notes();
    waitForIdle();
    EXPECT_EQ(layout().panelPresence(2), 1.0);
}

// With a popover of the comparison header open, the window's menu shortcuts
// still work: the popover's own one closes it, any other closes it and runs.
// Entering the comparison opens no popover by itself.
TEST_F(PaneLayoutTest, MenuShortcutsWorkWithAPopoverOpenAndTheComparisonOpensNone)
{
    pane->show();
    openPaper();
    int finds = 0;
    int notesToggles = 0;
    auto addAction = [this](const char *name, QKeySequence key, std::function<void()> run) {
        auto *action = new QAction(pane.get());
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(key);
        QObject::connect(action, &QAction::triggered, pane.get(), run);
        pane->addAction(action);
    };
    addAction("find", QKeySequence(Qt::CTRL | Qt::Key_F), [&finds] { ++finds; });
    addAction("notes", QKeySequence(Qt::CTRL | Qt::Key_5), [this, &notesToggles] {
        ++notesToggles;
        pane->controller()->readerActions().notes();
    });

    pane->controller()->readerActions().notes();
    waitForIdle();
    ASSERT_TRUE(pane->controller()->showNotes());
    pane->controller()->setIsSplit(true);
    waitForIdle();
    SplitHeader &split = *layout().splitHeader();
    EXPECT_FALSE(split.notesPopover->isVisible());
    EXPECT_FALSE(pane->controller()->showNotes());

    pane->controller()->readerActions().notes();
    waitForIdle();
    ASSERT_TRUE(split.notesPopover->isVisible());
    QWidget *keyboard = QApplication::focusWidget();
    ASSERT_TRUE(keyboard && split.notesPopover->isAncestorOf(keyboard));
    QTest::keyClick(keyboard, Qt::Key_5, Qt::ControlModifier);
    waitForIdle();
    EXPECT_FALSE(split.notesPopover->isVisible());
    EXPECT_FALSE(pane->controller()->showNotes());
    EXPECT_EQ(notesToggles, 0);

    pane->controller()->readerActions().notes();
    waitForIdle();
    ASSERT_TRUE(split.notesPopover->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    waitForIdle();
    EXPECT_EQ(finds, 1);
    EXPECT_FALSE(split.notesPopover->isVisible());
    EXPECT_FALSE(pane->controller()->showNotes());

    // The note's editor keeps the keys it uses; the others reach the menus.
    int modeSwitches = 0;
    addAction("mode", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), [&modeSwitches] { ++modeSwitches; });
    pane->controller()->readerActions().newNote(); // shows the notes
    waitForIdle();
    ASSERT_TRUE(split.notesPopover->isVisible());
    auto *editor = split.notesPopover->findChild<QPlainTextEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("b"));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("b"));
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    waitForIdle();
    EXPECT_EQ(modeSwitches, 1);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("b"));
}

TEST_F(PaneLayoutTest, DropHighlightAndWallpaperFollowThePane)
{
    pane->show();
    waitForIdle();
    QWidget *highlight = nullptr;
    for (QWidget *child : layout().findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->testAttribute(Qt::WA_TransparentForMouseEvents))
            highlight = child;
    ASSERT_NE(highlight, nullptr);
    EXPECT_FALSE(highlight->isVisible());
    pane->controller()->dragEntered();
    waitForIdle();
    EXPECT_TRUE(highlight->isVisible());
    pane->controller()->dragLeft();
    waitForIdle();
    EXPECT_FALSE(highlight->isVisible());

    // A wallpaper fills the pane behind everything.
    QImage wallpaper(40, 30, QImage::Format_RGB32);
    wallpaper.fill(QColor(200, 30, 40));
    ASSERT_TRUE(wallpaper.save(path(QStringLiteral("wallpaper.png"))));
    platform::Preferences::shared().setValue(platform::prefkey::backgroundImagePath, path(QStringLiteral("wallpaper.png")));
    waitForIdle();
    const QImage drawn = layout().grab().toImage();
    EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, drawn.height() - 5), QColor(200, 30, 40));
    platform::Preferences::shared().setValue(platform::prefkey::backgroundImagePath, QString());
    waitForIdle();
    EXPECT_NE(layout().grab().toImage().pixelColor(drawn.width() / 2, drawn.height() - 5), QColor(200, 30, 40));
}

} // namespace folvan::window::test

namespace folvan::window::test {

TEST_F(PaneLayoutTest, TheControlsAndPopoversFollowTheInterfaceTextSizeAtOnce)
{
    pane->show();
    waitForIdle();
    SplitHeader &split = *layout().splitHeader();
    platform::Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), 20.0);
    const double body = 20 * 0.75;
    EXPECT_DOUBLE_EQ(layout().singleHeader()->font().pointSizeF(), body);
    EXPECT_DOUBLE_EQ(layout().searchBar()->field()->font().pointSizeF(), body);
    EXPECT_DOUBLE_EQ(split.renameField->font().pointSizeF(), body);
    // A popover is a window of its own, in the interface's font all the same.
    EXPECT_DOUBLE_EQ(split.outlinePopover->font().pointSizeF(), body);
    // The header's buttons, titles and symbols alike (the symbol is 16 px
    // at the default size of 15).
    SingleHeader &single = *layout().singleHeader();
    for (PaneButton *button : {single.openButton, single.reflowButton, single.searchButton, split.outlineButton}) {
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), body) << button->accessibleName().toStdString();
        EXPECT_EQ(button->iconSize(), QSize(21, 21)) << button->accessibleName().toStdString();
    }
    const int wide = single.openButton->sizeHint().width();
    platform::Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), 15.0);
    EXPECT_EQ(single.openButton->iconSize(), QSize(16, 16));
    EXPECT_LT(single.openButton->sizeHint().width(), wide);
}

} // namespace folvan::window::test

#include "historyview/RecentReadingList.h"
#include "notes/PaperNotesStore.h"
#include "platform/Paths.h"
#include "window/PaneErrorLine.h"
#include "window/WelcomeView.h"

#include <QToolButton>

namespace folvan::window::test {

class PaneErrorLineTest : public PaneTest {};

// A history that could not be read is said in the pane, as the other stores
// are, and stays said once the next save has set the file aside.
TEST_F(PaneErrorLineTest, AnUnreadableHistoryStaysSaidAfterTheNextSave)
{
    ASSERT_TRUE(folvan::test::writeTestFile(platform::folvanDataPath(QStringLiteral("reading-history.json")), "[{\"id\": broken"));
    std::unique_ptr<ContentView> pane = makePane();
    pane->resize(1400, 900);
    pane->show();
    PaneErrorLine *line = pane->paneLayout()->errorLine();
    ASSERT_TRUE(waitFor([&] { return line->isVisible(); }));
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("无法读取阅读记录："))) << line->text().toStdString();

    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("After.pdf"), 1)));
    pane->controller()->history().flush();
    ASSERT_TRUE(pane->controller()->history().error().isEmpty()) << "the list was written";
    EXPECT_TRUE(line->isVisible());
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("无法读取阅读记录："))) << line->text().toStdString();
    EXPECT_TRUE(line->text().contains(QStringLiteral("reading-history.json.unreadable-"))) << line->text().toStdString();
    pane.reset();
    pane::PaneController::readingSearchQueue().waitForDone();
}

// Two stores that cannot read their files: the line's two messages stand
// clear of the welcome screen's date, and the reader can close them; the
// history's error still stands under the recent papers.
TEST_F(PaneErrorLineTest, ATallLineKeepsClearOfTheDateAndCanBeClosed)
{
    ASSERT_TRUE(folvan::test::writeTestFile(platform::folvanDataPath(QStringLiteral("reading-history.json")), "[{\"id\": broken"));
    ASSERT_TRUE(folvan::test::writeTestFile(notes::PaperNotesStore::defaultFilePath(), "{broken"));
    std::unique_ptr<ContentView> pane = makePane();
    pane->resize(1400, 900);
    pane->show();
    PaneLayout *layout = pane->paneLayout();
    PaneErrorLine *line = layout->errorLine();
    ASSERT_TRUE(waitFor([&] { return line->isVisible() && line->errors().size() == 2; })) << line->text().toStdString();
    auto *welcome = layout->welcomeColumn()->findChild<WelcomeView *>();
    ASSERT_NE(welcome, nullptr);
    const auto dateTop = [&] { return welcome->dateLabel()->mapTo(layout, QPoint(0, 0)).y(); };
    ASSERT_TRUE(waitFor([&] { return dateTop() > line->geometry().bottom(); }))
        << dateTop() << " " << line->geometry().bottom();
    EXPECT_TRUE(line->rect().contains(line->closeButton()->geometry()));

    line->closeButton()->click();
    EXPECT_TRUE(line->errors().isEmpty());
    EXPECT_FALSE(line->isVisible());
    // The column is back in its place.
    ASSERT_TRUE(waitFor([&] { return layout->welcomeColumn()->y() == int(readingTopInset(false)); }))
        << layout->welcomeColumn()->y();
    auto *listed = welcome->recentList()->findChild<QLabel *>(QStringLiteral("recentReadingError"));
    ASSERT_NE(listed, nullptr);
    EXPECT_TRUE(listed->text().startsWith(QStringLiteral("无法读取阅读记录："))) << listed->text().toStdString();
    pane.reset();
    pane::PaneController::readingSearchQueue().waitForDone();
}

// A damaged paper that opens only repaired is said while it is open, by
// its name; a whole paper opened next is not.
TEST_F(PaneErrorLineTest, ARepairedPaperIsSaidWhileItIsOpen)
{
    const QString repaired = repairedPaper(QStringLiteral("Damaged.pdf"));
    ASSERT_FALSE(repaired.isEmpty());
    std::unique_ptr<ContentView> pane = makePane();
    pane->resize(1400, 900);
    pane->show();
    PaneErrorLine *line = pane->paneLayout()->errorLine();
    ASSERT_TRUE(openAndWait(*pane, repaired));
    EXPECT_EQ(line->errors(), QStringList{PaneErrorLine::repairedPaperText(QStringLiteral("Damaged.pdf"))});
    EXPECT_TRUE(line->isVisible());

    ASSERT_TRUE(openAndWait(*pane, paper(QStringLiteral("Whole.pdf"), 1)));
    EXPECT_TRUE(line->errors().isEmpty());
    EXPECT_FALSE(line->isVisible());
    pane.reset();
    pane::PaneController::readingSearchQueue().waitForDone();
}

} // namespace folvan::window::test
