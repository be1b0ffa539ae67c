#include <gtest/gtest.h>

#include "app/QuitGuard.h"
#include "app/ReaderMenus.h"
#include "app/ReaderWindow.h"
#include "fixtures/PdfFixtureWriter.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "pane/PaneController.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "platform/UnsavedChanges.h"
#include "window/ContentView.h"
#include "workspace/ReaderWorkspace.h"
#include "workspace/ShellTestSupport.h"
#include "workspace/ShellDialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
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
        test::waitForIdle();
    }
    void TearDown() override
    {
        window.reset();
        test::waitForIdle();
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
    ASSERT_TRUE(test::waitFor([&] { return workspace->isSplit(); }));
    ASSERT_TRUE(workspace->isSplit());
    EXPECT_TRUE(command(ReaderCommandID::focusPane)->isEnabled());
    command(ReaderCommandID::focusPane)->trigger();
    EXPECT_EQ(workspace->activePane(), pane::ReaderPane::primary);

    // The palette command reaches the active pane only.
    command(ReaderCommandID::palette)->trigger();
    EXPECT_TRUE(workspace->primaryView()->controller()->showCommandPalette());
    EXPECT_FALSE(workspace->referenceView()->controller()->showCommandPalette());
    workspace->primaryView()->controller()->commandPaletteDismissed();

    command(ReaderCommandID::comparison)->trigger();
    EXPECT_FALSE(workspace->isSplit());
    EXPECT_FALSE(command(ReaderCommandID::focusPane)->isEnabled());
}

// A pane gets every view it shows but does not make: a pane left without
// one would show nothing there.
TEST_F(ReaderWindowTest, EachPaneIsHandedItsReadingViewsAndOverlays)
{
    command(ReaderCommandID::comparison)->trigger();
    ASSERT_TRUE(test::waitFor([&] { return window->workspace()->isSplit(); }));
    ASSERT_TRUE(window->workspace()->isSplit());
    for (window::ContentView *pane : {window->workspace()->primaryView(), window->workspace()->referenceView()}) {
        ASSERT_NE(pane, nullptr);
        const window::PaneServices &services = pane->services();
        EXPECT_TRUE(services.bookView && services.reflowView);
        EXPECT_TRUE(services.shortcutsHelp && services.onboarding && services.commandPalette);
    }
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

// Every window asks for the one settings window, which does not keep the
// program running once the reading windows are closed.
TEST_F(ReaderWindowTest, WindowsShareOneSettingsWindow)
{
    app::ReaderWindows windows;
    app::ReaderWindow *first = windows.open(QStringList{QStringLiteral("folvan")});
    app::ReaderWindow *second = windows.open(QStringList{QStringLiteral("folvan")});
    emit first->settingsRequested();
    QWidget *settings = windows.settingsWindow();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    settings->hide();
    emit second->settingsRequested();
    EXPECT_EQ(windows.settingsWindow(), settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->testAttribute(Qt::WA_QuitOnClose));
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
    ASSERT_TRUE(test::waitFor([&] { return second->workspace()->isSplit(); }));
    EXPECT_TRUE(second->workspace()->isSplit());
    EXPECT_FALSE(first->workspace()->isSplit());

    // A closed window is gone from the list; the other one stays.
    second->close();
    EXPECT_TRUE(test::waitFor([&] { return windows.windows().size() == 1; }));
    EXPECT_EQ(windows.current(), first);
}

// A menu of the bar opened with the mouse and closed with Escape hands the
// keys back to where they were: to the page, or to the search field.
TEST_F(ReaderWindowTest, EscapeOnAMenuOpenedWithTheMouseGivesTheKeysBack)
{
    engine::PdfFixtureWriter writer;
    for (int index = 0; index < 3; ++index)
        writer.addText(writer.addPage(), QPointF(72, 700), QStringLiteral("Page"));
    ASSERT_TRUE(writer.save(path(QStringLiteral("pages.pdf"))));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window::ContentView *pane = window->workspace()->primaryView();
    window->openExternalPaths({path(QStringLiteral("pages.pdf"))});
    ASSERT_TRUE(test::waitFor([&] { return pane->viewModel()->pdfDocument() != nullptr; }));
    pane->controller()->readingModeChosen(false);
    ASSERT_TRUE(test::waitFor([&] { return pane->pageView() != nullptr; }));
    QScrollBar *scroll = pane->pageView()->pdfView()->verticalScrollBar();
    test::waitForIdle();
    pane->pageView()->pdfView()->setFocus();
    // Clicks and keys as the window system delivers them: keys to the open
    // menu while there is one, else to the window's focus.
    const auto escapeFromFileMenu = [&] {
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().first()).center());
        ASSERT_TRUE(QApplication::activePopupWidget());
        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    };
    escapeFromFileMenu();
    const int top = scroll->value();
    QTest::keyClick(window->windowHandle(), Qt::Key_Space);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_GT(scroll->value(), top);

    command(ReaderCommandID::find)->trigger();
    ASSERT_TRUE(test::waitFor([&] { return qobject_cast<QLineEdit *>(window->focusWidget()) != nullptr; }));
    auto *field = static_cast<QLineEdit *>(window->focusWidget());
    escapeFromFileMenu();
    QTest::keyClick(window->windowHandle(), Qt::Key_A);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
}

// A note typed while the notes library cannot be read stays in memory
// only: quitting names it and lets the reader stay; the library's file is
// never written over.
class QuitTest : public test::ShellTest {
protected:
    // A note typed into the shared library, to be written.
    static void addNote(const QString &title)
    {
        notes::PaperNotesStore &store = notes::PaperNotesStore::shared();
        notes::PaperNote note;
        note.id = QUuid::createUuid();
        note.title = title;
        store.setNotes(store.notes() << note);
        store.schedule();
    }
};

TEST_F(QuitTest, QuittingWithUnwritableNotesAsksAndMayStay)
{
    const QString library = notes::PaperNotesStore::defaultFilePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(library).absolutePath()));
    const QByteArray damaged = "{\"version\": 1, \"papers\": [";
    {
        QFile file(library);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    notes::PaperNotesStore &store = notes::PaperNotesStore::shared();
    ASSERT_EQ(store.filePath(), library);
    ASSERT_TRUE(store.hasError());
    addNote(QStringLiteral("typed while unwritable"));

    QStringList asked;
    bool answer = false;
    app::setQuitQuestion([&](const QStringList &unsaved, QWidget *) {
        asked = unsaved;
        return answer;
    });
    app::ReaderWindows windows;
    app::ReaderWindow *shown = windows.open(QStringList{QStringLiteral("folvan")});
    shown->menus()->quitAction()->trigger();
    EXPECT_TRUE(test::waitFor([&] { return !asked.isEmpty(); }));
    EXPECT_TRUE(asked.contains(QStringLiteral("笔记")));
    test::waitForIdle();
    EXPECT_TRUE(shown->isVisible());
    // Closing the last window asks too.
    asked.clear();
    shown->close();
    EXPECT_TRUE(asked.contains(QStringLiteral("笔记")));
    EXPECT_TRUE(shown->isVisible());

    answer = true;
    shown->close();
    EXPECT_TRUE(test::waitFor([&] { return windows.windows().size() == 0; }));
    // Told once: the end of the program names it no more.
    EXPECT_FALSE(platform::unsavedDescriptions(true).contains(QStringLiteral("笔记")));
    app::setQuitQuestion({});
    QFile file(library);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged);
}

// A form still open when the program quits (an annotation's note) hands
// what is typed in it over before the stores write their files.
TEST_F(QuitTest, QuittingConfirmsAnOpenFormBeforeTheStoresWrite)
{
    app::ReaderWindows windows;
    app::ReaderWindow *shown = windows.open(QStringList{QStringLiteral("folvan")});
    QObject form;
    int confirmed = 0;
    platform::confirmAtQuit(&form, [&] {
        ++confirmed;
        addNote(QStringLiteral("typed before quitting"));
    });
    {
        QObject dismissed;
        platform::confirmAtQuit(&dismissed, [&] { confirmed += 10; });
    }
    shown->menus()->quitAction()->trigger();
    EXPECT_TRUE(test::waitFor([&] { return windows.windows().isEmpty(); }));
    EXPECT_EQ(confirmed, 1);
    QFile file(notes::PaperNotesStore::defaultFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("typed before quitting"));
}

// A popup of a window (a dock panel, the annotation editor) holds the
// keys while it is open: Ctrl+Q quits from there as from the page, in
// whichever of two windows it stands.
TEST_F(QuitTest, CtrlQQuitsWhileAPopupHoldsTheKeys)
{
    app::ReaderWindows windows;
    app::ReaderWindow *shown = windows.open(QStringList{QStringLiteral("folvan")});
    windows.open();
    ASSERT_EQ(windows.windows().size(), 2);
    shown->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
    int quits = 0;
    for (app::ReaderWindow *window : windows.windows())
        QObject::connect(window->menus()->quitAction(), &QAction::triggered, window, [&] { ++quits; });

    auto *popup = new QFrame(shown, Qt::Popup);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    auto *editor = new QPlainTextEdit(popup);
    popup->resize(200, 120);
    popup->show();
    editor->setFocus(Qt::PopupFocusReason);
    ASSERT_EQ(QApplication::activePopupWidget(), popup);
    QTest::keyClick(editor, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    EXPECT_TRUE(test::waitFor([&] { return windows.windows().isEmpty(); }));
}

// The program told to end while a pane's alert is open: the window closes
// from inside the alert's own event loop, and is deleted only after that
// loop has ended, not with the alert still on the stack.
TEST_F(QuitTest, AWindowClosedUnderAnOpenAlertOutlivesIt)
{
    app::ReaderWindows windows;
    QPointer<app::ReaderWindow> shown = windows.open();
    QWidget *pane = shown->workspace()->primaryView();
    bool returned = false;
    QEventLoop program;
    QTimer::singleShot(0, &program, [&] {
        QMessageBox alert(QMessageBox::Warning, QStringLiteral("无法打开"), QStringLiteral("文件已损坏"),
                          QMessageBox::Ok, pane);
        QTimer::singleShot(0, &alert, [&] {
            QApplication::closeAllWindows();
            // What the alert's loop may deliver before it returns.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(shown);
        });
        alert.exec();
        returned = true;
        program.quit();
    });
    program.exec();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(test::waitFor([&] { return !shown; }));
}

// As the program ends, what is connected to aboutToQuit (the panes' last
// saves) runs with the windows still there, even when it runs an event loop
// of its own: a window closed as the program's loop ended is not deleted
// under it.
TEST_F(QuitTest, ClosedWindowsOutliveThePanesLastSaves)
{
    app::ReaderWindows windows;
    QPointer<app::ReaderWindow> shown = windows.open();
    bool deletedDuringSave = false;
    bool aliveAtSave = false;
    QObject pane;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &pane, [&] {
        aliveAtSave = !shown.isNull();
        QEventLoop wait;
        QTimer::singleShot(0, &wait, &QEventLoop::quit);
        wait.exec();
        deletedDuringSave = aliveAtSave && shown.isNull();
    });
    // Quit closes the windows from the program's loop, which then ends.
    QEventLoop program;
    QTimer::singleShot(0, &program, [&] {
        program.exit();
        shown->close();
    });
    program.exec();
    QMetaObject::invokeMethod(qApp, "aboutToQuit");
    EXPECT_FALSE(deletedDuringSave);
}

} // namespace
