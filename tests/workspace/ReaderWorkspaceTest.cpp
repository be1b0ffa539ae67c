#include <gtest/gtest.h>

#include "../window/PaneServiceStubs.h"
#include "ShellTestSupport.h"
#include "model/SharedPDFViewModel.h"
#include "pane/PanePresenter.h"
#include "window/ContentView.h"
#include "workspace/ReaderCommandPalette.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellDialogs.h"

#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QTest>

using namespace folvan::workspace;
using folvan::window::ContentView;
using folvan::pane::ReaderPane;
using folvan::pane::ReaderPaneSnapshot;

namespace {

class ReaderWorkspaceTest : public folvan::test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        shellDialogs().chooseFile = [this](QWidget *, const FileChoice &choice) {
            choices.append(choice);
            return chosen;
        };
        workspace = std::make_unique<ReaderWorkspace>(folvan::window::test::stubPaneServices());
        workspace->primaryView()->setPresenter(std::make_unique<Unanswered>(alerts));
        workspace->resize(1200, 800);
        workspace->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace.get()));
    }
    void TearDown() override
    {
        workspace.reset();
        folvan::test::waitForIdle();
        ShellTest::TearDown();
    }
    // Opens the reference pane on a one-page paper and waits until it shows
    // it.
    void openComparison()
    {
        chosen = folvan::test::writePaper(path(QStringLiteral("right.pdf")));
        workspace->toggleComparison();
        ASSERT_TRUE(workspace->referenceView());
        workspace->referenceView()->setPresenter(std::make_unique<Unanswered>(alerts));
        ASSERT_TRUE(folvan::test::waitFor([&] {
            return workspace->referenceView()->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(chosen);
        }));
    }
    // Waits until the workspace has the pane's report of a paper.
    bool showsPaper(ReaderPane pane) const
    {
        return folvan::test::waitFor([&] { return urlOf(selectedSnapshot(pane, workspace->panes())).isValid(); });
    }
    static QUrl urlOf(const std::optional<ReaderPaneSnapshot> &snapshot)
    {
        return snapshot ? snapshot->url.value_or(QUrl()) : QUrl();
    }
    static QUrl file(const char *name) { return QUrl::fromLocalFile(QStringLiteral("/papers/") + name); }

    // Takes the panes' alerts (of papers that are not there) off the screen.
    class Unanswered : public folvan::pane::PanePresenter {
    public:
        explicit Unanswered(QStringList &alerts) : m_alerts(alerts) {}
        void showAlert(const QString &, const QString &message, const QString &) override { m_alerts << message; }
        bool confirm(const QString &, const QString &, const QString &, const QString &) override { return false; }

    private:
        QStringList &m_alerts;
    };

    QStringList alerts;
    std::unique_ptr<ReaderWorkspace> workspace;
    QString chosen;
    QList<FileChoice> choices;
};

TEST(ReaderWorkspaceRouting, ASnapshotOfThePaneElseOfThePrimaryElseNone)
{
    const ReaderPaneSnapshot primary{ReaderPane::primary, &primary, std::nullopt, {}};
    const ReaderPaneSnapshot reference{ReaderPane::reference, &reference, std::nullopt, {}};
    EXPECT_EQ(selectedSnapshot(ReaderPane::reference, {primary, reference}), reference);
    EXPECT_EQ(selectedSnapshot(ReaderPane::reference, {primary}), primary);
    EXPECT_EQ(selectedSnapshot(ReaderPane::primary, {reference, primary}), primary);
    EXPECT_FALSE(selectedSnapshot(ReaderPane::primary, {reference}).has_value());
}

TEST_F(ReaderWorkspaceTest, FilesFromOutsideGoToThePrimaryUnlessTheReferenceIsActiveAndShown)
{
    workspace->openExternalURL(QUrl(QStringLiteral("https://example.org/a.pdf")));
    workspace->openExternalURL(file("notes.txt"));
    EXPECT_FALSE(workspace->primaryRequest().has_value());

    workspace->openExternalURL(file("A.PDF"));
    ASSERT_TRUE(workspace->primaryRequest().has_value());
    const QUuid first = workspace->primaryRequest()->id;
    EXPECT_EQ(workspace->primaryView()->controller()->openRequest(), workspace->primaryRequest());
    workspace->openExternalURL(file("A.PDF"));
    EXPECT_NE(workspace->primaryRequest()->id, first);

    openComparison();
    workspace->openExternalURL(file("b.pdf"));
    EXPECT_EQ(workspace->referenceRequest()->url, file("b.pdf"));
    EXPECT_EQ(workspace->referenceView()->controller()->openRequest(), workspace->referenceRequest());
    workspace->activate(ReaderPane::primary);
    workspace->openExternalURL(file("c.pdf"));
    EXPECT_EQ(workspace->primaryRequest()->url, file("c.pdf"));
    EXPECT_EQ(workspace->referenceRequest()->url, file("b.pdf"));
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
}

TEST_F(ReaderWorkspaceTest, TheCommandLinePaperIsOpenedByThePrimaryPaneWhateverItsName)
{
    const QString named = folvan::test::writePaper(path(QStringLiteral("papers/cli")));
    openComparison();
    workspace->openCommandLinePaper(named);
    ASSERT_TRUE(workspace->primaryRequest().has_value());
    EXPECT_EQ(workspace->primaryRequest()->url, QUrl::fromLocalFile(named));
    ASSERT_TRUE(folvan::test::waitFor(
        [&] { return workspace->primaryView()->viewModel()->pdfDocumentURL() == QUrl::fromLocalFile(named); }));
    EXPECT_EQ(workspace->referenceView()->viewModel()->pdfDocumentURL(), QUrl::fromLocalFile(chosen));
}

TEST_F(ReaderWorkspaceTest, TheComparisonOpensOnAChosenPdfAndClosesBackToThePrimary)
{
    EXPECT_EQ(workspace->minimumSize(), QSize(900, 620));
    EXPECT_FALSE(workspace->actions()->comparisonOpen);
    workspace->toggleComparison(); // cancelled
    ASSERT_EQ(choices.size(), 1);
    EXPECT_EQ(choices[0].title, QStringLiteral("在右侧打开 PDF"));
    EXPECT_EQ(choices[0].prompt, QStringLiteral("打开到右侧"));
    EXPECT_EQ(choices[0].nameFilters, QStringList{QStringLiteral("PDF 文件 (*.[pP][dD][fF])")});
    EXPECT_FALSE(workspace->isSplit());

    openComparison();
    EXPECT_TRUE(workspace->isSplit());
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    EXPECT_EQ(workspace->focusToken(), 0);
    EXPECT_EQ(workspace->referenceRequest()->url, QUrl::fromLocalFile(chosen));
    EXPECT_FALSE(workspace->primaryView()->controller()->isActive());
    EXPECT_TRUE(workspace->referenceView()->controller()->isActive());
    EXPECT_EQ(workspace->minimumWidth(), 1000);
    EXPECT_EQ(workspace->primaryView()->minimumWidth(), 420);
    EXPECT_TRUE(workspace->actions()->comparisonOpen);
    EXPECT_EQ(workspace->panes().size(), 2);

    QPointer<ContentView> reference = workspace->referenceView();
    workspace->actions()->toggleComparison();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_FALSE(workspace->referenceRequest().has_value());
    EXPECT_EQ(workspace->focusToken(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(reference.isNull());

    // The reference pane's own comparison command closes it; opened again
    // before the closed pane is gone, the two panes share the width.
    openComparison();
    workspace->referenceView()->controller()->toggleComparison()();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->focusToken(), 2);
    workspace->toggleComparison();
    folvan::test::waitForIdle();
    EXPECT_NEAR(workspace->referenceView()->width(), workspace->primaryView()->width(), 40);
}

// The keys in the reference pane as it closes, on its reader or on a control,
// go straight to the primary pane's reader, not along the focus chain to a
// control of the primary pane (a dock button, a web page's first control).
TEST_F(ReaderWorkspaceTest, ClosingTheComparisonHandsTheKeysStraightToThePrimarysReader)
{
    defaults().setValue(QStringLiteral("folvan.defaultBookMode"), false);
    workspace->openCommandLinePaper(folvan::test::writePaper(path(QStringLiteral("left.pdf"))));
    ContentView *primary = workspace->primaryView();
    ASSERT_TRUE(folvan::test::waitFor([&] { return primary->pageView(); }));
    for (const bool onReader : {true, false}) {
        openComparison();
        ContentView *reference = workspace->referenceView();
        ASSERT_TRUE(folvan::test::waitFor([&] { return reference->pageView(); }));
        folvan::test::waitForIdle();
        QWidget *held = reference->pageView()->pdfView();
        for (QAbstractButton *button : reference->findChildren<QAbstractButton *>())
            if (!onReader && button->isVisible() && (button->focusPolicy() & Qt::TabFocus))
                held = button;
        held->setFocus(Qt::MouseFocusReason);
        QList<QWidget *> focused;
        const auto watch = QObject::connect(qApp, &QApplication::focusChanged, [&](QWidget *, QWidget *now) { focused << now; });
        workspace->closeComparison();
        folvan::test::waitForIdle();
        QObject::disconnect(watch);
        EXPECT_EQ(focused, QList<QWidget *>{primary->pageView()->pdfView()}) << onReader;
    }
}

TEST_F(ReaderWorkspaceTest, SwitchingPanesNeedsTwoPanesAndMovesTheFocusToken)
{
    workspace->actions()->focusOtherPane();
    EXPECT_EQ(workspace->focusToken(), 0);

    openComparison();
    workspace->actions()->focusOtherPane();
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 1);
    workspace->focusOther();
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    EXPECT_EQ(workspace->primaryView()->controller()->focusToken(), 2);

    // A pane's own record switches nothing; a click activates without a
    // new token.
    workspace->referenceView()->controller()->readerActions().focusOtherPane();
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    workspace->primaryView()->controller()->activate()();
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 2);
}

TEST_F(ReaderWorkspaceTest, EachPaneIsToldTheOtherPanesPaperAndTheWindowClosesCleanly)
{
    const QString left = folvan::test::writePaper(path(QStringLiteral("papers/left.pdf")));
    workspace->openExternalURL(QUrl::fromLocalFile(left));
    ASSERT_TRUE(showsPaper(ReaderPane::primary));
    openComparison();
    EXPECT_EQ(choices.constLast().startFolder, QFileInfo(left).absolutePath());
    ASSERT_TRUE(showsPaper(ReaderPane::reference));
    EXPECT_TRUE(folvan::test::waitFor([&] {
        return workspace->referenceView()->controller()->peerURL() == QUrl::fromLocalFile(left)
               && workspace->primaryView()->controller()->peerURL() == QUrl::fromLocalFile(chosen);
    }));
    EXPECT_EQ(workspace->actions()->hasDocument, true);
    // Both panes save their reading state as the workspace goes.
    workspace.reset();
}

TEST_F(ReaderWorkspaceTest, ThePalettesPaneSwitchActsThroughTheWorkspace)
{
    openComparison();
    ContentView *reference = workspace->referenceView();
    reference->controller()->readerActions().commandPalette();
    auto *palette = reference->findChild<ReaderCommandPalette *>();
    ASSERT_NE(palette, nullptr);
    palette->setQuery(QStringLiteral("focusPane"));
    palette->submit();
    EXPECT_TRUE(folvan::test::waitFor([&] { return workspace->activePane() == ReaderPane::primary; }));
    EXPECT_FALSE(reference->controller()->showCommandPalette());
}

} // namespace
