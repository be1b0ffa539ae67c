// The text search of a reading pane, as the reader runs it:
//
//   folvan-search-bench PDF [--query WORD] [--runs N]
//
// Opens PDF in a pane shown in page view, opens its search bar and types
// the query (default "the"). Prints, for the best of N runs (3), the time
// from the end of the typing delay to the first matches in the pane's
// model, the time to all of them with their count, and the longest gap
// between two ticks of a 1 ms timer on the main thread while they arrive;
// beside them, measured in the same run, MuPDF's tool extracting the text
// of PDF piped into grep ("mutool draw -F txt PDF | grep -o -i WORD | wc -l",
// and with "grep -c -i", which counts lines), with times and counts. One
// "name value" line per figure.

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchArgs.h"
#include "BenchHome.h"
#include "engine/PdfDocument.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "window/ContentView.h"

using namespace folvan;

namespace {

void print(const char *name, double value) { std::printf("%s %.3f\n", name, value); }

struct ToolRun {
    double ms = -1;
    long count = -1;
};

// MuPDF's tool extracting the whole text, piped into `counter`.
ToolRun mutoolFloor(const QString &path, const QString &query, const QString &counter)
{
    const QString quotedQuery = QLatin1Char('\'') + QString(query).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
    const QString quotedPath = QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("mutool draw -F txt %1 2>/dev/null | %2")
                                                                    .arg(quotedPath, counter.arg(quotedQuery))});
    if (!process.waitForFinished(600'000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    ToolRun run;
    run.ms = timer.nsecsElapsed() / 1e6;
    run.count = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed().toLong();
    return run;
}

// Runs the event loop until `done` holds.
void spinUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

struct SearchRun {
    double firstMs = -1;
    double allMs = -1;
    double longestStallMs = 0;
    size_t matches = 0;
};

SearchRun searchOnce(window::ContentView &pane, platform::ManualClock &clock, const QString &query)
{
    model::SharedPDFViewModel &model = *pane.viewModel();
    model.searchTextEntered(QString());
    SearchRun run;
    QElapsedTimer timer;
    // Gaps between the ticks of a 1 ms timer: how long the main thread was
    // kept from its events.
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    double lastTick = 0;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double now = timer.nsecsElapsed() / 1e6;
        run.longestStallMs = std::max(run.longestStallMs, now - lastTick);
        lastTick = now;
    });
    const auto first = QObject::connect(&model, &model::SharedPDFViewModel::searchResultsChanged, [&] {
        if (run.firstMs < 0 && !model.searchResults().empty())
            run.firstMs = timer.nsecsElapsed() / 1e6;
    });
    QEventLoop loop;
    const auto finished = QObject::connect(pane.controller(), &pane::PaneController::searchRunningChanged, [&] {
        if (!pane.controller()->searchRunning()) {
            run.allMs = timer.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    model.searchTextEntered(query);
    timer.start();
    ticks.start();
    // The typing delay passes: the search is queued now.
    clock.advance(pane::PaneController::kSearchDelaySeconds);
    if (pane.controller()->searchRunning())
        loop.exec();
    ticks.stop();
    QObject::disconnect(first);
    QObject::disconnect(finished);
    run.matches = model.searchResults().size();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    useBenchHome(home);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));

    BenchArgs args(app.arguments().mid(1), "usage: folvan-search-bench PDF [--query WORD] [--runs N]\n");
    const QString query = args.option(QStringLiteral("--query"), QStringLiteral("the"));
    const int runs = args.intOption(QStringLiteral("--runs"), 3);
    const QString path = args.positional(1, 1).first();
    if (!engine::PdfDocument::open(path))
        args.fail(QStringLiteral("cannot open %1").arg(path));

    platform::Preferences::shared().setValue(QStringLiteral("hasSeenOnboarding"), true);
    platform::ManualClock clock;
    // The pane's views stand in plain widgets: the search runs in the page
    // view, with no web engine behind.
    window::PaneServices services;
    services.bookView = services.reflowView = [](window::ContentView *, QWidget *parent) { return new QWidget(parent); };
    services.shortcutsHelp = [](auto &&...) { return new QWidget; };
    services.onboarding = [](auto &&...) { return new QWidget; };
    window::ContentView pane(pane::ReaderPane::primary, services);
    pane.resize(1200, 860);
    pane.show();
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    pane.controller()->loadPDF(url);
    spinUntil([&] { return pane.viewModel()->pdfDocumentURL() == url; });
    print("pages", pane.viewModel()->pdfDocument()->pageCount());
    pane.controller()->findInPDF();
    // The first screen is drawn before the search.
    QElapsedTimer settle;
    settle.start();
    spinUntil([&] { return settle.elapsed() > 1000; });

    SearchRun best;
    ToolRun words, lines;
    for (int i = 0; i < runs; ++i) {
        const SearchRun run = searchOnce(pane, clock, query);
        if (best.allMs < 0 || run.allMs < best.allMs)
            best = run;
        const ToolRun w = mutoolFloor(path, query, QStringLiteral("grep -o -i -- %1 | wc -l"));
        if (words.ms < 0 || (w.ms >= 0 && w.ms < words.ms))
            words = w;
        const ToolRun l = mutoolFloor(path, query, QStringLiteral("grep -c -i -- %1"));
        if (lines.ms < 0 || (l.ms >= 0 && l.ms < lines.ms))
            lines = l;
    }
    print("first_matches_ms", best.firstMs);
    print("all_matches_ms", best.allMs);
    print("matches", double(best.matches));
    print("longest_main_thread_stall_ms", best.longestStallMs);
    print("mutool_txt_grep_o_ms", words.ms);
    print("mutool_txt_grep_o_count", double(words.count));
    print("mutool_txt_grep_c_ms", lines.ms);
    print("mutool_txt_grep_c_lines", double(lines.count));
    if (words.ms > 0)
        print("all_matches_ratio_to_mutool_grep_o", best.allMs / words.ms);
    if (lines.ms > 0)
        print("all_matches_ratio_to_mutool_grep_c", best.allMs / lines.ms);

    pane.controller()->closePDF();
    pane::PaneController::readingSearchQueue().waitForDone();
    return 0;
}
