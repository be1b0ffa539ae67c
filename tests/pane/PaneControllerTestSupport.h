#pragma once

// Shared helpers of the pane controller tests: fixture papers, a controller
// with a fake presenter and file chooser.

#include "annotations/PaneAnnotations.h"
#include "fixtures/PdfFixtureWriter.h"
#include "history/ReadingHistory.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "pane/PaneController.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <memory>

namespace folvan::pane::test {

using folvan::test::waitFor;
using folvan::test::waitForIdle;

// A PDF of `pages` Letter pages; page i holds "Page i" and `text`.
inline bool writePaper(const QString &path, int pages, const QString &text = QStringLiteral("alpha beta"))
{
    engine::PdfFixtureWriter writer;
    for (int i = 0; i < pages; ++i) {
        writer.addPage();
        writer.addText(i, QPointF(72, 700), QStringLiteral("Page %1").arg(i + 1));
        writer.addText(i, QPointF(72, 650), text);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writer.save(path);
}

// Writes `bytes` as the whole file at `path`.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct PresenterLog {
    QStringList alerts;
    bool confirmAnswer = true;
    int confirmations = 0;
};

class FakePresenter : public PanePresenter {
public:
    explicit FakePresenter(std::shared_ptr<PresenterLog> log) : m_log(std::move(log)) {}
    void showAlert(const QString &, const QString &message, const QString &) override
    {
        m_log->alerts << message;
    }
    bool confirm(const QString &, const QString &, const QString &, const QString &) override
    {
        ++m_log->confirmations;
        return m_log->confirmAnswer;
    }

private:
    std::shared_ptr<PresenterLog> m_log;
};

// Answers the panels with the queued URLs (none when the queue is empty)
// and records where each panel started.
struct ChooserScript {
    std::deque<std::optional<QUrl>> answers;
    QList<QUrl> startFolders;
};

class FakeChooser : public PaneFileChooser {
public:
    explicit FakeChooser(std::shared_ptr<ChooserScript> script) : m_script(std::move(script)) {}
    std::optional<QUrl> choosePDF(const QUrl &start) override { return next(start); }
    std::optional<QUrl> chooseFolder(const QString &, const QString &, const QUrl &start) override
    {
        return next(start);
    }

private:
    std::optional<QUrl> next(const QUrl &start)
    {
        m_script->startFolders << start;
        if (m_script->answers.empty())
            return std::nullopt;
        std::optional<QUrl> answer = m_script->answers.front();
        m_script->answers.pop_front();
        return answer;
    }
    std::shared_ptr<ChooserScript> m_script;
};

// A test with its own data folder and preferences (the guide already
// seen), its fixture papers, and fakes for what a pane asks the user.
class PaneFakesTest : public folvan::test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        platform::Preferences::shared().setValue(QStringLiteral("hasSeenOnboarding"), true);
    }

    // Hands `pane` (a controller or a pane on screen) the fakes.
    template <typename Pane>
    void useFakes(Pane &pane)
    {
        pane.setPresenter(std::make_unique<FakePresenter>(presented));
        pane.setFileChooser(std::make_unique<FakeChooser>(chooser));
    }

    // The reading history's older names of a paper, as the application
    // gives them to its panes.
    static std::vector<QString> formerPaths(const QString &standardizedPath)
    {
        return history::ReadingHistory::shared().formerPaths(standardizedPath);
    }

    QString paper(const QString &name, int pages, const QString &text = QStringLiteral("alpha beta"))
    {
        const QString file = path(QStringLiteral("papers/") + name);
        EXPECT_TRUE(writePaper(file, pages, text));
        return file;
    }

    static history::ReadingHistory &history() { return history::ReadingHistory::shared(); }

    std::shared_ptr<PresenterLog> presented = std::make_shared<PresenterLog>();
    std::shared_ptr<ChooserScript> chooser = std::make_shared<ChooserScript>();
};

// Controllers that report to the fakes.
class ControllerTest : public PaneFakesTest {
protected:
    std::unique_ptr<PaneController> makePane(ReaderPane pane = ReaderPane::primary)
    {
        auto controller = std::make_unique<PaneController>(pane, services);
        useFakes(*controller);
        return controller;
    }

    // What the controllers made here take from the application.
    model::PaneModelServices services = [] {
        model::PaneModelServices made;
        made.formerPaths = &PaneFakesTest::formerPaths;
        return made;
    }();

    // Opens `path` and waits until the controller shows it.
    static bool openAndWait(PaneController &pane, const QString &path)
    {
        const QUrl url = QUrl::fromLocalFile(path);
        pane.loadPDF(url);
        return waitFor([&] { return pane.viewModel()->pdfDocumentURL() == url; });
    }
};

// A test around one primary controller, gone with its searches before the
// data folder goes.
class OneControllerTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        pane = makePane();
    }
    void TearDown() override
    {
        pane.reset();
        PaneController::readingSearchQueue().waitForDone();
        ControllerTest::TearDown();
    }
    model::SharedPDFViewModel &model() { return *pane->viewModel(); }
    bool searchSettles() { return waitFor([&] { return !pane->searchRunning(); }); }

    std::unique_ptr<PaneController> pane;
};

} // namespace folvan::pane::test
