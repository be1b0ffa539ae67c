#include <gtest/gtest.h>

#include "RecordingActions.h"
#include "engine/PdfFixtureWriter.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "window/ContentView.h"
#include "workspace/ReaderCommandPalette.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellDialogs.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace folvan::workspace;
using folvan::window::ReaderPane;
using folvan::window::ReaderPaneSnapshot;

namespace {

class ReaderWorkspaceTest : public folvan::test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        folvan::platform::Preferences::resetSharedForTesting();
        folvan::platform::Preferences::shared().setValue(QStringLiteral("folvan.resumeLastDocument"), false);
        shellDialogs().chooseFile = [this](QWidget *, const FileChoice &choice) {
            choices.append(choice);
            return chosen;
        };
        workspace = std::make_unique<ReaderWorkspace>();
        workspace->setPaneArguments({QStringLiteral("folvan")});
        QApplication::processEvents();
    }
    void TearDown() override
    {
        workspace.reset();
        QApplication::processEvents();
        resetShellDialogs();
        folvan::platform::Preferences::resetSharedForTesting();
        TempHomeTest::TearDown();
    }
    // Opens the reference pane on a one-page paper.
    void openComparison()
    {
        chosen = path(QStringLiteral("right.pdf"));
        if (!QFile::exists(chosen)) {
            folvan::engine::PdfFixtureWriter writer;
            writer.addText(writer.addPage(), QPointF(72, 700), QStringLiteral("Reference"));
            ASSERT_TRUE(writer.save(chosen));
        }
        workspace->toggleComparison();
        QApplication::processEvents();
    }
    static QUrl file(const QString &name) { return QUrl::fromLocalFile(QStringLiteral("/papers/") + name); }

    std::unique_ptr<ReaderWorkspace> workspace;
    QString chosen;
    QList<FileChoice> choices;
};

TEST(ReaderWorkspaceRouting, ASnapshotOfThePaneElseOfThePrimaryElseNone)
{
    ReaderPaneSnapshot primary{ReaderPane::primary, reinterpret_cast<const void *>(1), std::nullopt, {}};
    ReaderPaneSnapshot reference{ReaderPane::reference, reinterpret_cast<const void *>(2), std::nullopt, {}};
    EXPECT_EQ(selectedSnapshot(ReaderPane::reference, {primary, reference}), reference);
    EXPECT_EQ(selectedSnapshot(ReaderPane::reference, {primary}), primary);
    EXPECT_EQ(selectedSnapshot(ReaderPane::primary, {reference, primary}), primary);
    EXPECT_FALSE(selectedSnapshot(ReaderPane::primary, {reference}).has_value());
    EXPECT_FALSE(selectedSnapshot(ReaderPane::primary, {}).has_value());
}

TEST_F(ReaderWorkspaceTest, AWindowStartsWithThePrimaryPaneAloneAndPublishesItsRecord)
{
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 0);
    EXPECT_EQ(workspace->referenceView(), nullptr);
    ASSERT_EQ(workspace->panes().size(), 1);
    const auto actions = workspace->actions();
    ASSERT_TRUE(actions.has_value());
    EXPECT_FALSE(actions->comparisonOpen);
    EXPECT_FALSE(actions->hasDocument);
    EXPECT_EQ(workspace->minimumWidth(), 900);
    EXPECT_EQ(workspace->minimumHeight(), 620);
}

TEST_F(ReaderWorkspaceTest, FilesFromOutsideGoToThePrimaryUnlessTheReferenceIsActiveAndShown)
{
    workspace->openExternalURL(QUrl(QStringLiteral("https://example.org/a.pdf")));
    workspace->openExternalURL(file(QStringLiteral("notes.txt")));
    EXPECT_FALSE(workspace->primaryRequest().has_value());

    workspace->openExternalURL(file(QStringLiteral("A.PDF")));
    ASSERT_TRUE(workspace->primaryRequest().has_value());
    const QUuid first = workspace->primaryRequest()->id;
    EXPECT_EQ(workspace->primaryView()->openRequest(), workspace->primaryRequest());
    workspace->openExternalURL(file(QStringLiteral("A.PDF")));
    EXPECT_NE(workspace->primaryRequest()->id, first);

    openComparison();
    ASSERT_EQ(workspace->activePane(), ReaderPane::reference);
    workspace->openExternalURL(file(QStringLiteral("b.pdf")));
    EXPECT_EQ(workspace->referenceRequest()->url, file(QStringLiteral("b.pdf")));
    EXPECT_EQ(workspace->referenceView()->openRequest(), workspace->referenceRequest());

    workspace->activate(ReaderPane::primary);
    workspace->openExternalURL(file(QStringLiteral("c.pdf")));
    EXPECT_EQ(workspace->primaryRequest()->url, file(QStringLiteral("c.pdf")));
    EXPECT_EQ(workspace->referenceRequest()->url, file(QStringLiteral("b.pdf")));
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_TRUE(workspace->isSplit());
}

TEST_F(ReaderWorkspaceTest, OpeningTheComparisonAsksForAPdfAndActivatesTheReferencePane)
{
    workspace->toggleComparison();
    ASSERT_EQ(choices.size(), 1);
    EXPECT_EQ(choices[0].title, QStringLiteral("在右侧打开 PDF"));
    EXPECT_EQ(choices[0].prompt, QStringLiteral("打开到右侧"));
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->referenceView(), nullptr);

    openComparison();
    EXPECT_TRUE(workspace->isSplit());
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    EXPECT_EQ(workspace->focusToken(), 0);
    ASSERT_NE(workspace->referenceView(), nullptr);
    EXPECT_EQ(workspace->referenceRequest()->url, QUrl::fromLocalFile(chosen));
    EXPECT_TRUE(workspace->primaryView()->isSplit());
    EXPECT_FALSE(workspace->primaryView()->isActive());
    EXPECT_TRUE(workspace->referenceView()->isActive());
    EXPECT_EQ(workspace->minimumWidth(), 1000);
    EXPECT_EQ(workspace->primaryView()->minimumWidth(), 420);
    EXPECT_TRUE(workspace->actions()->comparisonOpen);
}

TEST_F(ReaderWorkspaceTest, ClosingTheComparisonReturnsToThePrimaryAndDropsTheRequest)
{
    openComparison();
    QPointer<folvan::window::ContentView> reference = workspace->referenceView();
    workspace->toggleComparison();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_FALSE(workspace->referenceRequest().has_value());
    EXPECT_EQ(workspace->focusToken(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(reference.isNull());
    EXPECT_EQ(choices.size(), 1);

    // The reference pane's own comparison command closes it.
    openComparison();
    workspace->referenceView()->toggleComparison()();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_EQ(workspace->focusToken(), 2);
}

TEST_F(ReaderWorkspaceTest, SwitchingPanesNeedsTwoPanesAndMovesTheFocusToken)
{
    QSignalSpy changes(workspace.get(), &ReaderWorkspace::actionsChanged);
    workspace->focusOther();
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 0);

    openComparison();
    changes.clear();
    workspace->actions()->focusOtherPane();
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 1);
    EXPECT_GE(changes.count(), 1);
    workspace->focusOther();
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    EXPECT_EQ(workspace->focusToken(), 2);
    EXPECT_EQ(workspace->referenceView()->focusToken(), 2);
    EXPECT_EQ(workspace->primaryView()->focusToken(), 2);

    // A pane's own record switches nothing; activating by a click keeps
    // the token.
    workspace->referenceView()->readerActions().focusOtherPane();
    EXPECT_EQ(workspace->activePane(), ReaderPane::reference);
    workspace->primaryView()->activate()();
    EXPECT_EQ(workspace->activePane(), ReaderPane::primary);
    EXPECT_EQ(workspace->focusToken(), 2);
}

TEST_F(ReaderWorkspaceTest, EachPaneIsToldTheOtherPanesDocument)
{
    openComparison();
    EXPECT_TRUE(workspace->primaryView()->peerURL().isEmpty());
    EXPECT_TRUE(workspace->referenceView()->peerURL().isEmpty());
    // The published record follows the active pane: the reference pane's
    // model is not the primary pane's.
    const auto active = selectedSnapshot(ReaderPane::reference, workspace->panes());
    ASSERT_TRUE(active.has_value());
    EXPECT_EQ(active->pane, ReaderPane::reference);
    EXPECT_EQ(workspace->panes().size(), 2);
}

TEST_F(ReaderWorkspaceTest, ThePalettesPaneSwitchActsThroughTheWorkspace)
{
    openComparison();
    workspace->resize(1200, 800);
    workspace->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace.get()));
    folvan::window::ContentView *reference = workspace->referenceView();
    reference->setShowCommandPalette(true);
    auto *palette = reference->findChild<ReaderCommandPalette *>();
    ASSERT_NE(palette, nullptr);
    palette->setQuery(QStringLiteral("focusPane"));
    palette->submit();
    EXPECT_TRUE(QTest::qWaitFor([&] { return workspace->activePane() == ReaderPane::primary; }, 1000));
    EXPECT_FALSE(reference->showCommandPalette());
}

} // namespace
