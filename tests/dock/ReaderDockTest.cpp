// The reading dock: turning pages, when its tools hide by themselves and
// what holds them, the readout, where the tools stand, the panel popover and
// the selection strip.

#include "support/SharedPDFViewModelTestPeer.h"
#include "support/OpenInModel.h"
#include "annotations/AnnotationTestSupport.h"
#include "annotationsview/NativeSelectionControls.h"
#include "book/PaperReadingView.h"
#include "dock/DockPopover.h"
#include "dock/ReaderAppearancePanel.h"
#include "dock/ReaderDock.h"
#include "dock/ReaderLibraryPanel.h"
#include "dock/ReaderPageJump.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Clock.h"
#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <limits>

namespace folvan::test {
namespace {

using dock::DockPanel;
using dock::ReaderDock;

class DockTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        clock = std::make_unique<platform::ManualClock>();
        host.resize(900, 600);
        host.show();
    }
    void TearDown() override
    {
        delete dock;
        clock.reset();
        TempHomeTest::TearDown();
    }

    // A model showing a document of `pages` pages, and the dock over it.
    void open(int pages = 5)
    {
        engine::PdfFixtureWriter writer;
        for (int i = 0; i < pages; ++i)
            writer.addPage();
        ASSERT_TRUE(writer.save(path(QStringLiteral("paper.pdf"))));
        openAndShowInModel(model, engine::PdfDocument::open(path(QStringLiteral("paper.pdf"))),
                           QUrl::fromLocalFile(path(QStringLiteral("paper.pdf"))));
        ASSERT_TRUE(model.pdfDocument());
        dock::DockPane pane;
        pane.isBook = [this] { return book; };
        pane.setBook = [this](bool value) { book = value; };
        pane.angle = [this] { return angle; };
        pane.zoom = [this] { return zoom; };
        pane.availableWidth = [this] { return width; };
        pane.focusReadingView = [this] {
            ++readingViewFocused;
            if (readingView)
                readingView->setFocus();
        };
        dock = new ReaderDock(&model, pane, &host);
        dock->show();
    }
    void expand()
    {
        if (!dock->expanded())
            dock->moreButton()->click();
        ASSERT_TRUE(dock->expanded());
    }
    // Whether the tools are still out `seconds` later.
    bool expandedAfter(double seconds)
    {
        clock->advance(seconds);
        return dock->expanded();
    }
    static void store(const QString &key, const QVariant &value) { platform::Preferences::shared().setValue(key, value); }

    std::unique_ptr<platform::ManualClock> clock;
    QWidget host;
    model::SharedPDFViewModel model;
    ReaderDock *dock = nullptr;
    bool book = false;
    double angle = 0;
    double zoom = 1;
    double width = 800;
    int readingViewFocused = 0;
    QWidget *readingView = nullptr;
};

TEST_F(DockTest, PageTurnButtonsFollowThePageBoundsInThePageViewAndTheBookFlagsInTheBook)
{
    open(3);
    EXPECT_FALSE(dock->previousButton()->isEnabled());
    EXPECT_TRUE(dock->nextButton()->isEnabled());
    EXPECT_EQ(dock->pageButton()->text(), QStringLiteral("1 / 3"));
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    model::SharedPDFViewModelTestPeer(&model).setBookCanForward(true); // the book's flag counts only in the book
    EXPECT_TRUE(dock->previousButton()->isEnabled());
    EXPECT_FALSE(dock->nextButton()->isEnabled());
    EXPECT_EQ(dock->pageButton()->accessibleName(), QStringLiteral("第 3 页，共 3 页；跳转页码"));

    book = true;
    dock->paneReadingModeChanged();
    model::SharedPDFViewModelTestPeer(&model).setBookCanBackward(false);
    EXPECT_FALSE(dock->previousButton()->isEnabled());
    EXPECT_TRUE(dock->nextButton()->isEnabled());
}

TEST_F(DockTest, AOnePageDocumentTurnsNeitherWay)
{
    open(1);
    EXPECT_FALSE(dock->canBackward());
    EXPECT_FALSE(dock->canForward());
    EXPECT_EQ(dock->pageButton()->text(), QStringLiteral("1 / 1"));
}

TEST_F(DockTest, TurningInThePageViewJumpsWithinTheDocumentAndDropsAPendingPoint)
{
    open(4);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(3);
    model.navigate(model::ReadingLocation{1, std::nullopt, QPointF(10, 20)}, false);
    dock->turn(true);
    EXPECT_EQ(model.jumpToPage(), 3); // held to the last page, still requested
    EXPECT_FALSE(model.pendingDestination());
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(0);
    dock->turn(false);
    EXPECT_EQ(model.jumpToPage(), 0);
    dock->nextButton()->click();
    EXPECT_EQ(model.jumpToPage(), 1);
    EXPECT_FALSE(model.bookTurnRequest());
}

TEST_F(DockTest, TurningInTheBookAsksForOneTurnPerPress)
{
    open(4);
    book = true;
    dock->turn(true);
    const auto first = model.bookTurnRequest();
    dock->turn(true);
    ASSERT_TRUE(first && model.bookTurnRequest());
    EXPECT_NE(first->id, model.bookTurnRequest()->id);
    EXPECT_TRUE(model.bookTurnRequest()->forward);
    dock->turn(false);
    EXPECT_FALSE(model.bookTurnRequest()->forward);
    EXPECT_FALSE(model.jumpToPage());
}

TEST_F(DockTest, ToolsHideAfterTheClampedDelay)
{
    open();
    EXPECT_FALSE(dock->expanded());
    const std::pair<QVariant, double> cases[] = {{QVariant(), 10},
                                                 {1.0, 3},
                                                 {100.0, 30},
                                                 {7.5, 7.5},
                                                 {std::numeric_limits<double>::infinity(), 10},
                                                 {std::numeric_limits<double>::quiet_NaN(), 10},
                                                 {QStringLiteral("soon"), 10}};
    for (const auto &[stored, delay] : cases) {
        if (stored.isValid())
            store(QStringLiteral("folvan.toolsHideDelay"), stored);
        expand();
        EXPECT_TRUE(expandedAfter(delay - 0.01)) << stored.toString().toStdString();
        EXPECT_FALSE(expandedAfter(0.02)) << stored.toString().toStdString();
    }
}

TEST_F(DockTest, HoverPanelFocusAndThePreferenceHoldTheToolsOpen)
{
    open();
    // The pointer over the dock brings the tools and holds them.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(dock, &enter);
    EXPECT_TRUE(dock->expanded());
    EXPECT_TRUE(expandedAfter(60));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(dock, &leave);
    EXPECT_FALSE(expandedAfter(10.01));

    // An open panel; closing it re-arms the full delay.
    expand();
    clock->advance(9);
    dock->setPanel(DockPanel::page);
    EXPECT_TRUE(expandedAfter(60));
    dock->setPanel(std::nullopt);
    EXPECT_TRUE(expandedAfter(9.9));
    EXPECT_FALSE(expandedAfter(0.2));

    // Keyboard focus on a dock control.
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    expand();
    dock->nextButton()->setFocus();
    EXPECT_EQ(dock->focusedControl(), dock::DockFocus::next);
    EXPECT_TRUE(expandedAfter(60));
    dock->nextButton()->clearFocus();
    EXPECT_FALSE(dock->focusedControl());
    EXPECT_FALSE(expandedAfter(10.01));

    // The stored preference expands at once and never collapses by itself;
    // the "more" button still does.
    store(QStringLiteral("folvan.keepReaderToolsExpanded"), true);
    EXPECT_TRUE(dock->expanded());
    EXPECT_TRUE(expandedAfter(60));
    dock->moreButton()->click();
    EXPECT_FALSE(dock->expanded());
    dock->moreButton()->click();
    store(QStringLiteral("folvan.keepReaderToolsExpanded"), false);
    EXPECT_FALSE(expandedAfter(10.01));
}

// The pointer on its way to "…" brings the tools out first: the click on
// "…" that follows leaves them out; the next one puts them away.
TEST_F(DockTest, AClickOnMoreAfterTheHoverOpenedTheToolsLeavesThemOpen)
{
    open();
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(dock, &enter);
    ASSERT_TRUE(dock->expanded());
    dock->moreButton()->click();
    EXPECT_TRUE(dock->expanded());
    dock->moreButton()->click();
    EXPECT_FALSE(dock->expanded());
    dock->moreButton()->click();
    EXPECT_TRUE(dock->expanded());

    // Tools already out when the pointer comes: "…" puts them away.
    QApplication::sendEvent(dock, &leave);
    QApplication::sendEvent(dock, &enter);
    dock->moreButton()->click();
    EXPECT_FALSE(dock->expanded());
    // Out by a hover that has ended: the same.
    QApplication::sendEvent(dock, &leave);
    QApplication::sendEvent(dock, &enter);
    ASSERT_TRUE(dock->expanded());
    QApplication::sendEvent(dock, &leave);
    dock->moreButton()->click();
    EXPECT_FALSE(dock->expanded());
}

TEST_F(DockTest, TheDockStartsAsThePreferenceKeepsItAndSwitchesAtOnceUnderReducedMotion)
{
    store(QStringLiteral("folvan.keepReaderToolsExpanded"), true);
    open();
    EXPECT_TRUE(dock->expanded());
    EXPECT_FALSE(dock->collapsePending());
    const int expandedWidth = dock->mainRow()->width();

    dock->setReduceMotion(true);
    dock->moreButton()->click();
    const int collapsedWidth = dock->mainRow()->width();
    EXPECT_LT(collapsedWidth, expandedWidth);

    dock->setReduceMotion(false);
    dock->moreButton()->click();
    clock->advance(0.09); // half way
    EXPECT_GT(dock->mainRow()->width(), collapsedWidth);
    EXPECT_LT(dock->mainRow()->width(), expandedWidth);
    clock->advance(0.1);
    EXPECT_EQ(dock->mainRow()->width(), expandedWidth);
}

TEST_F(DockTest, ToolsStandInlineFrom540PixelsOn)
{
    width = 540;
    open();
    expand();
    clock->advance(0.2); // the tools come in
    EXPECT_TRUE(dock->toolsInline());
    EXPECT_EQ(dock->tools()->parentWidget(), dock->mainRow());
    EXPECT_FALSE(dock->upperRow()->isVisible());
    width = 539.9;
    dock->paneWidthChanged();
    EXPECT_EQ(dock->tools()->parentWidget(), dock->upperRow());
    EXPECT_TRUE(dock->upperRow()->isVisible());
    EXPECT_LT(dock->upperRow()->geometry().bottom(), dock->mainRow()->y());
    // The selection tool is there in the book only.
    EXPECT_TRUE(dock->selectionTool()->isHidden());
    book = true;
    dock->paneReadingModeChanged();
    EXPECT_FALSE(dock->selectionTool()->isHidden());
    // The dock keeps 16 pixels from the pane's lower right corner.
    EXPECT_EQ(dock->geometry().right(), host.width() - 17);
    EXPECT_EQ(dock->geometry().bottom(), host.height() - 17);
}

TEST_F(DockTest, ReadoutRoundsHalvesAwayFromZeroAndHidesAfterTheLastChange)
{
    EXPECT_EQ(dock::readoutText(-2.5, 1.125), QStringLiteral("-3°  ·  113%"));
    EXPECT_EQ(dock::readoutText(2.5, 1), QStringLiteral("3°  ·  100%"));
    EXPECT_EQ(dock::readoutText(-0.4, 0.5), QStringLiteral("0°  ·  50%"));
    EXPECT_EQ(dock::readoutAccessibleText(12.5, 4), QStringLiteral("仰角 13 度，缩放 400%"));

    open();
    zoom = 1.5;
    dock->paneTiltOrZoomChanged();
    EXPECT_TRUE(dock->readout()->isVisible());
    EXPECT_EQ(dock->readout()->text(), QStringLiteral("0°  ·  150%"));
    clock->advance(1.7);
    angle = 12;
    dock->paneTiltOrZoomChanged();
    clock->advance(1.7);
    EXPECT_TRUE(dock->readout()->isVisible());
    // An open panel keeps it hidden.
    dock->setPanel(DockPanel::page);
    EXPECT_FALSE(dock->readout()->isVisible());
    dock->setPanel(std::nullopt);
    EXPECT_TRUE(dock->readout()->isVisible());
    clock->advance(0.11);
    EXPECT_FALSE(dock->readout()->isVisible());
    EXPECT_FALSE(dock->readoutShown());
}

// The readout is drawn over the pane (the dock's mask, which lets the
// pointer through beside the rows, must not clip it away) and lets the
// pointer through to the view below.
TEST_F(DockTest, TheReadoutIsPaintedOverThePaneAndLetsThePointerThrough)
{
    QPalette plain = host.palette();
    plain.setColor(QPalette::Window, Qt::white);
    host.setPalette(plain);
    host.setAutoFillBackground(true);
    open();
    zoom = 1.2;
    dock->paneTiltOrZoomChanged();
    ASSERT_TRUE(dock->readout()->isVisible());
    const QRect place(dock->readout()->mapTo(&host, QPoint(0, 0)), dock->readout()->size());
    ASSERT_TRUE(host.rect().contains(place));
    EXPECT_LT(place.bottom(), dock->mainRow()->mapTo(&host, QPoint(0, 0)).y());
    const QImage shot = host.grab().toImage();
    const double scale = shot.width() / double(host.width());
    int ink = 0;
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x)
            if (qGray(shot.pixel(int(x * scale), int(y * scale))) < 128)
                ++ink;
    EXPECT_GT(ink, 20) << "the readout's text is not on screen";
    EXPECT_EQ(host.childAt(place.center()), nullptr);
}

TEST_F(DockTest, PanelsHaveRawNames)
{
    EXPECT_EQ(dock::dockPanelFromRaw(QStringLiteral("page")), DockPanel::page);
    EXPECT_EQ(dock::dockPanelFromRaw(QStringLiteral("appearance")), DockPanel::appearance);
    EXPECT_EQ(dock::dockPanelFromRaw(QStringLiteral("library")), DockPanel::library);
    for (const QString &other : {QStringLiteral("pages"), QString(), QStringLiteral("Page"), QStringLiteral(" page")})
        EXPECT_FALSE(dock::dockPanelFromRaw(other));
}

TEST_F(DockTest, ThePageJumpGoesRemembersAndCloses)
{
    open(9);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    dock->pageButton()->click();
    ASSERT_TRUE(dock->popover() && dock->popover()->isVisible());
    auto *jump = qobject_cast<dock::ReaderPageJump *>(dock->popover()->content());
    ASSERT_NE(jump, nullptr);
    EXPECT_EQ(jump->field()->text(), QStringLiteral("3"));
    jump->field()->setText(QStringLiteral("7"));
    jump->go();
    EXPECT_EQ(model.jumpToPage(), 6);
    EXPECT_EQ(model.backLocations().size(), 1u);
    EXPECT_FALSE(dock->panel());
    EXPECT_FALSE(dock->popover()->isVisible());
    // The reading view takes the keyboard back.
    ASSERT_TRUE(test::waitFor([&] { return readingViewFocused > 0; }));
    EXPECT_EQ(readingViewFocused, 1);
}

TEST_F(DockTest, TheToolsOpenTheAppearanceAndLibraryPanelsWithThePanesValues)
{
    open();
    expand();
    dock->appearanceTool()->click();
    auto *appearance = qobject_cast<dock::ReaderAppearancePanel *>(dock->popover()->content());
    ASSERT_NE(appearance, nullptr);
    EXPECT_EQ(appearance->bookGroup(), nullptr); // the page view
    EXPECT_GE(dock->popover()->contentsRect().width(), 280); // the panel's whole width
    // The pane's new zoom shows in the open panel.
    zoom = 2.5;
    dock->paneTiltOrZoomChanged();
    EXPECT_EQ(appearance->zoomReadoutLabel()->text(), QStringLiteral("250%"));

    dock->libraryTool()->click();
    EXPECT_EQ(dock->panel(), DockPanel::library);
    auto *library = qobject_cast<dock::ReaderLibraryPanel *>(dock->popover()->content());
    ASSERT_NE(library, nullptr);
    library->bookmarkToggle()->click();
    EXPECT_EQ(model.bookmarks().size(), 1u);
    EXPECT_EQ(dock->panel(), DockPanel::library); // the toggle leaves it open
}

TEST_F(DockTest, APanelClosesOnEscapeAndOnASwitchBetweenBookAndPage)
{
    open();
    dock->setPanel(DockPanel::page);
    ASSERT_TRUE(dock->popover()->isVisible());
    QTest::keyClick(dock->popover(), Qt::Key_Escape);
    EXPECT_FALSE(dock->panel());
    EXPECT_FALSE(dock->popover()->isVisible());

    dock->setPanel(DockPanel::page);
    ASSERT_TRUE(dock->popover()->isVisible());
    book = true;
    dock->paneReadingModeChanged();
    EXPECT_FALSE(dock->panel());
    EXPECT_FALSE(dock->popover()->isVisible());
}

// With a panel open the window's shortcuts work: the popover makes way and the command runs.
TEST_F(DockTest, TheWindowsShortcutsWorkWithAPanelOpen)
{
    open();
    int resets = 0;
    auto *reset = new QAction(&host);
    reset->setShortcut(Qt::CTRL | Qt::Key_0);
    QObject::connect(reset, &QAction::triggered, &host, [&resets] { ++resets; });
    host.addAction(reset);
    for (DockPanel panel : {DockPanel::appearance, DockPanel::library, DockPanel::page}) {
        dock->setPanel(panel);
        ASSERT_TRUE(dock->popover()->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_0, Qt::ControlModifier);
        EXPECT_FALSE(dock->panel());
        EXPECT_FALSE(dock->popover()->isVisible());
    }
    EXPECT_EQ(resets, 3);
}

// Space, the arrows and the page keys move the reading with a panel open,
// unless the panel uses them (a field).
TEST_F(DockTest, TheKeysThatMoveTheReadingPassAPanelThatLeavesThemAlone)
{
    class KeyLog : public QWidget {
    public:
        using QWidget::QWidget;
        QList<int> keys;

    protected:
        void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
    } reader(&host);
    reader.setFocusPolicy(Qt::StrongFocus);
    reader.show();
    readingView = &reader;
    open();
    QList<int> sent;
    for (DockPanel panel : {DockPanel::appearance, DockPanel::library})
        for (int key : {Qt::Key_Space, Qt::Key_PageDown, Qt::Key_Right}) {
            dock->setPanel(panel);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            EXPECT_FALSE(dock->panel());
            sent.append(key);
            EXPECT_TRUE(test::waitFor([&] { return reader.keys == sent; })) << reader.keys.size();
        }
    dock->setPanel(DockPanel::page);
    ASSERT_TRUE(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    test::waitForIdle();
    EXPECT_TRUE(dock->panel());
    EXPECT_EQ(reader.keys, sent);
}

TEST_F(DockTest, ThePopoverStaysInsideThePane)
{
    // Above the anchor where it fits, below where it does not, and shrunk
    // to a pane smaller than itself.
    const QRect pane(0, 0, 400, 300);
    EXPECT_EQ(dock::dockPopoverPlace(QRect(300, 250, 80, 30), QSize(250, 120), pane, 6, 8),
              QRect(130, 124, 250, 120));
    EXPECT_EQ(dock::dockPopoverPlace(QRect(300, 20, 80, 30), QSize(250, 120), pane, 6, 8),
              QRect(130, 56, 250, 120));
    EXPECT_EQ(dock::dockPopoverPlace(QRect(10, 250, 80, 30), QSize(500, 400), pane, 6, 8), QRect(8, 8, 384, 284));

    host.resize(260, 140);
    open();
    dock->setPanel(DockPanel::page);
    const QRect bounds(host.mapToGlobal(QPoint(0, 0)), host.size());
    EXPECT_TRUE(bounds.contains(dock->popover()->frameGeometry())) << dock->popover()->frameGeometry().y();
}

TEST_F(DockTest, TheSelectionStripShowsTheToolbarOrTheBookHintAndEndsTheSelection)
{
    open();
    EXPECT_EQ(dock->selectionStrip(), nullptr);
    model::SharedPDFViewModelTestPeer(&model).setSelectionText(QStringLiteral("alpha"));
    ASSERT_NE(dock->selectionStrip(), nullptr);
    EXPECT_NE(dock->selectionStrip()->findChild<annotationsview::NativeSelectionControls *>(), nullptr);
    EXPECT_LT(dock->selectionStrip()->geometry().bottom(), dock->mainRow()->y());

    model::SharedPDFViewModelTestPeer(&model).setSelectionText(QString());
    EXPECT_EQ(dock->selectionStrip(), nullptr);
    book = true;
    dock->paneReadingModeChanged();
    expand();
    dock->selectionTool()->click();
    EXPECT_TRUE(model.bookTextMode());
    ASSERT_NE(dock->selectionStrip(), nullptr);
    auto *hint = dock->selectionStrip()->findChild<QLabel *>();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), QStringLiteral("拖选正文 · 双击选词"));
    dock->selectionStrip()->findChild<QToolButton *>(QStringLiteral("endSelectionButton"))->click();
    EXPECT_FALSE(model.bookTextMode());
    EXPECT_EQ(dock->selectionStrip(), nullptr);
}

TEST_F(DockTest, TextFollowsTheInterfaceSize)
{
    open();
    store(QStringLiteral("folvan.interfaceTextSize"), 20.0);
    const double large = dock->pageButton()->font().pointSizeF();
    store(QStringLiteral("folvan.interfaceTextSize"), 13.0);
    EXPECT_LT(dock->pageButton()->font().pointSizeF(), large);

    // The mode picker's segments too, each time the size changes.
    const auto segments = dock->modePicker()->findChildren<QAbstractButton *>();
    ASSERT_EQ(segments.size(), 2);
    for (const double size : {20.0, 13.0, 17.0}) {
        store(QStringLiteral("folvan.interfaceTextSize"), size);
        for (QAbstractButton *segment : segments)
            EXPECT_DOUBLE_EQ(segment->font().pointSizeF(),
                             platform::interfaceFont(platform::InterfaceTextRole::caption).pointSizeF())
                << size << " " << segment->text().toStdString();
    }
}

// Shortcuts in the dock's help texts are the platform's own.
TEST_F(DockTest, TheSelectionToolNamesThePlatformsCopyKey)
{
    open();
    const QString copy = QKeySequence(Qt::CTRL | Qt::Key_C).toString(QKeySequence::NativeText);
    EXPECT_EQ(dock->selectionTool()->toolTip(), QStringLiteral("选字与批注：拖选正文，%1 复制").arg(copy));
}

// The toolbar follows the selection: reading two pages further on, it is
// gone, with the selection kept; back at the selection, it is there again.
class DockSelectionTest : public PaneTest {};

TEST_F(DockSelectionTest, TheToolbarFollowsTheSelectionAcrossPages)
{
    model::SharedPDFViewModel &model = openPane(writePaper(path(QStringLiteral("paper.pdf")), 6));
    QWidget host;
    host.resize(900, 600);
    host.show();
    dock::DockPane pane;
    pane.isBook = [] { return false; };
    pane.angle = [] { return 0.0; };
    pane.zoom = [] { return 1.0; };
    ReaderDock readerDock(&model, pane, &host);
    readerDock.show();
    model::SharedPDFViewModelTestPeer(&model).setJumpToPage(std::nullopt);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(1);
    select(model, 1, 0, 0, 5);
    ASSERT_NE(readerDock.selectionStrip(), nullptr);

    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(2);
    EXPECT_NE(readerDock.selectionStrip(), nullptr);
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(4);
    EXPECT_EQ(readerDock.selectionStrip(), nullptr);
    EXPECT_FALSE(model.selectionText().isEmpty());
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(0);
    ASSERT_NE(readerDock.selectionStrip(), nullptr);
    EXPECT_NE(readerDock.selectionStrip()->findChild<annotationsview::NativeSelectionControls *>(), nullptr);
}

// A markup that cannot be saved says so at the end of the toolbar: the
// strip grows to show the whole (cut) line, and narrows again once the
// save goes through, with the same selection.
TEST_F(DockSelectionTest, TheStripFitsTheToolbarWhenTheSaveErrorComesAndGoes)
{
    platform::ManualClock clock;
    model::SharedPDFViewModel &model = openPane(writePaper(path(QStringLiteral("paper.pdf"))));
    QWidget host;
    host.resize(900, 600);
    host.show();
    dock::DockPane pane;
    pane.isBook = [] { return false; };
    pane.angle = [] { return 0.0; };
    pane.zoom = [] { return 1.0; };
    ReaderDock readerDock(&model, pane, &host);
    readerDock.show();
    select(model, 0, 0, 0, 5);
    QWidget *strip = readerDock.selectionStrip();
    ASSERT_NE(strip, nullptr);
    auto *toolbar = strip->findChild<annotationsview::NativeSelectionControls *>();
    const int bare = strip->width();

    // A file where the annotation folder should be.
    ASSERT_TRUE(writeTestFile(model.annotationDirectory(), "not a folder"));
    toolbar->highlightButton()->click();
    test::waitForIdle();
    ASSERT_TRUE(toolbar->errorLabel()->isVisible());
    QLabel *error = toolbar->errorLabel();
    EXPECT_TRUE(error->text().endsWith(QStringLiteral("…"))) << error->text().toStdString();
    EXPECT_GE(error->width(), error->sizeHint().width()) << "the line is cut by the strip";
    EXPECT_TRUE(strip->rect().contains(error->geometry().translated(toolbar->pos()))) << strip->width();
    EXPECT_GE(strip->width(), strip->sizeHint().width());

    ASSERT_TRUE(QFile::remove(model.annotationDirectory()));
    clock.advance(model::SharedPDFViewModel::kSideFileRetrySeconds);
    test::waitForIdle();
    ASSERT_FALSE(toolbar->errorLabel()->isVisible());
    EXPECT_EQ(readerDock.selectionStrip(), strip);
    EXPECT_EQ(strip->width(), bare);
}

} // namespace
} // namespace folvan::test
