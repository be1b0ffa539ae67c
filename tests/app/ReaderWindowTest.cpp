#include <gtest/gtest.h>

#include "app/ReaderMenus.h"
#include "app/ReaderWindow.h"
#include "window/ContentView.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellTestSupport.h"
#include "workspace/ShellDialogs.h"

#include <QAction>
#include <QFileOpenEvent>
#include <QTest>

using namespace folvan;
using workspace::ReaderCommandID;

namespace {

class ReaderWindowTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        test::writePaper(path(QStringLiteral("right.pdf")));
        workspace::shellDialogs().chooseFile = [this](QWidget *, const workspace::FileChoice &) {
            return path(QStringLiteral("right.pdf"));
        };
        window = std::make_unique<app::ReaderWindow>();
        window->workspace()->setPaneArguments({QStringLiteral("folvan")});
        QApplication::processEvents();
    }
    void TearDown() override
    {
        window.reset();
        QApplication::processEvents();
        ShellTest::TearDown();
    }
    QAction *command(ReaderCommandID id) const { return window->menus()->commandAction(id); }

    std::unique_ptr<app::ReaderWindow> window;
};

TEST_F(ReaderWindowTest, TheMenusActOnTheActivePaneThroughTheWorkspace)
{
    workspace::ReaderWorkspace *workspace = window->workspace();
    EXPECT_TRUE(command(ReaderCommandID::comparison)->isEnabled());
    EXPECT_FALSE(command(ReaderCommandID::focusPane)->isEnabled());

    command(ReaderCommandID::comparison)->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(workspace->isSplit());
    EXPECT_TRUE(command(ReaderCommandID::focusPane)->isEnabled());
    command(ReaderCommandID::focusPane)->trigger();
    EXPECT_EQ(workspace->activePane(), window::ReaderPane::primary);

    // The palette command reaches the active pane only.
    command(ReaderCommandID::palette)->trigger();
    EXPECT_TRUE(workspace->primaryView()->showCommandPalette());
    EXPECT_FALSE(workspace->referenceView()->showCommandPalette());
    workspace->primaryView()->setShowCommandPalette(false);

    command(ReaderCommandID::comparison)->trigger();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_FALSE(command(ReaderCommandID::focusPane)->isEnabled());
}

TEST_F(ReaderWindowTest, PathsFromOutsideBecomeOpenRequestsOfTheActivePane)
{
    window->openExternalPaths({path(QStringLiteral("right.pdf")), path(QStringLiteral("notes.txt"))});
    ASSERT_TRUE(window->workspace()->primaryRequest().has_value());
    EXPECT_EQ(window->workspace()->primaryRequest()->url, QUrl::fromLocalFile(path(QStringLiteral("right.pdf"))));

    // A file opened with the program from the file manager.
    QFileOpenEvent open(QUrl::fromLocalFile(QStringLiteral("/papers/other.PDF")));
    QApplication::sendEvent(qApp, &open);
    EXPECT_EQ(window->workspace()->primaryRequest()->url, QUrl::fromLocalFile(QStringLiteral("/papers/other.PDF")));
}

TEST_F(ReaderWindowTest, NewWindowOpensAnotherReadingWindowWithItsOwnWorkspace)
{
    app::ReaderWindows windows;
    app::ReaderWindow *first = windows.open(QStringList{QStringLiteral("folvan")});
    first->menus()->newWindowAction()->trigger();
    ASSERT_EQ(windows.windows().size(), 2);
    app::ReaderWindow *second = windows.windows().last();
    EXPECT_NE(second, first);
    EXPECT_TRUE(second->isVisible());
    EXPECT_NE(second->workspace(), first->workspace());

    // Each window's commands act on its own workspace.
    second->menus()->commandAction(ReaderCommandID::comparison)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(second->workspace()->isSplit());
    EXPECT_FALSE(first->workspace()->isSplit());

    // A closed window is gone from the list; the other one stays.
    second->close();
    QTRY_COMPARE(windows.windows().size(), 1);
    EXPECT_EQ(windows.current(), first);
}

} // namespace
