#pragma once

// Shared helpers of the pane widget tests: a pane with a fake presenter and
// file chooser (the fixture papers, fakes and waiting are those of the
// controller tests).

#include "../pane/PaneControllerTestSupport.h"
#include "scholar/WebView.h"
#include "PaneServiceStubs.h"
#include "window/ContentView.h"

namespace folvan::window::test {

using namespace folvan::pane::test;

// A test with its own data folder and preferences, and panes that report to
// fakes.
class PaneTest : public PaneFakesTest {
protected:
    void SetUp() override
    {
        // The Scholar browsers' lasting profile is made once, in the folder
        // of the whole run, which outlives each test's own.
        scholar::scholarProfile();
        PaneFakesTest::SetUp();
    }

    std::unique_ptr<ContentView> makePane(pane::ReaderPane pane = pane::ReaderPane::primary)
    {
        auto view = std::make_unique<ContentView>(pane, services);
        useFakes(*view);
        return view;
    }

    // What the panes made here take from the application: the stand-ins,
    // the reading history's older names of a paper, and the command palette
    // of `palette` while there is one.
    PaneServices services = [this] {
        PaneServices made = stubPaneServices();
        made.formerPaths = &PaneFakesTest::formerPaths;
        made.commandPalette = [this](ContentView *pane, pane::ReaderActions actions, std::function<void()> dismiss) {
            return palette ? palette(pane, std::move(actions), std::move(dismiss)) : nullptr;
        };
        return made;
    }();
    std::function<QWidget *(ContentView *pane, pane::ReaderActions actions, std::function<void()> dismiss)> palette;

    // A paper of one page, damaged so that it opens only repaired, at
    // `name` in the test's folder; its path, or empty.
    QString repairedPaper(const QString &name)
    {
        engine::PdfFixtureWriter writer;
        writer.addPage();
        writer.addText(0, QPointF(72, 700), QStringLiteral("Page 1"));
        QByteArray damaged = writer.data();
        damaged.replace(0, 5, "%PXF-");
        const QString written = path(name);
        return writeBytes(written, damaged) ? written : QString();
    }

    // Opens `path` and waits until the pane shows it.
    static bool openAndWait(ContentView &view, const QString &path)
    {
        const QUrl url = QUrl::fromLocalFile(path);
        view.controller()->loadPDF(url);
        return waitFor([&] { return view.viewModel()->pdfDocumentURL() == url; });
    }
};

// A test around one primary pane, gone with its searches before the data
// folder goes.
class OnePaneTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        pane = makePane();
    }
    void TearDown() override
    {
        pane.reset();
        pane::PaneController::readingSearchQueue().waitForDone();
        PaneTest::TearDown();
    }
    model::SharedPDFViewModel &model() { return *pane->viewModel(); }
    bool searchSettles() { return waitFor([&] { return !pane->controller()->searchRunning(); }); }

    std::unique_ptr<ContentView> pane;
};

} // namespace folvan::window::test
