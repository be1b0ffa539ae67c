// folvan-book-bench PDF [--turns N]
//   Opens PDF in the book view offscreen and prints one "name value" line
//   per figure:
//     book_first_page_ms     a document load to its first spread drawn, in a
//                            book view already on screen
//     book_first_page_cold_ms the same for a new book view, the first of the
//                            process (the web engine starting)
//     book_turn_ms_p50/p99   a turn request to the next spread drawn, with
//                            reduced motion (no turning animation), over N
//                            turns (30), back and forth through the paper
//     book_raster_ms         one page raster at the default edge, PNG included
//                            (median over the first pages)
//     book_memory_mb_open    the page's process memory (resident, after a
//                            garbage collection) once the first spread is drawn
//     book_memory_mb_first   the same on the spread the turns ended on, the
//                            book built once for the paper on screen
//     book_memory_mb_after_40 the same spread after 40 more builds of the
//                            book by zoom steps, back at the first zoom,
//                            after a pause
//     book_default_turn_start_ms_p50/max  with the turning animation at the
//                            default duration, a turn request to the first
//                            frame that shows the page the turning leaf
//                            uncovers, over turns forward and back
//     book_default_turn_print_ms_p50/max  the same to the first frame on
//                            which that page, and the leaf's far face,
//                            carry their print (at best the same frame)

#include "BenchArgs.h"
#include "BenchStats.h"
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QWebEnginePage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include "book/BookWire.h"
#include "book/PaperBookView.h"
#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "localweb/LocalWebPage.h"
#include "annotations/PaneAnnotations.h"
#include "app/WebEngineMemory.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Preferences.h"

using namespace folvan;

namespace {

void print(const char *name, double value) { std::printf("%s %.1f\n", name, value); }

bool waitFor(const std::function<bool()> &condition, int milliseconds = 60000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The resident memory of the page's process after a garbage collection, in
// MiB; -1 where it cannot be read.
double pageMemory(QWebEnginePage *page)
{
    bool collected = false;
    page->runJavaScript(QStringLiteral("window.gc && gc(); null;"), [&](const QVariant &) { collected = true; });
    waitFor([&] { return collected; }, 10000);
    QFile status(QStringLiteral("/proc/%1/status").arg(page->renderProcessPid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

// A book view of `document` in a fresh model; the time until its first
// spread was drawn.
struct BookRun {
    model::SharedPDFViewModel model;
    std::unique_ptr<book::PaperBookView> view;
    int drawnPage = -1;
    int drawnCount = 0;

    BookRun() { annotations::PaneAnnotations::attach(model); } // as the pane does

    double open(const std::shared_ptr<engine::PdfDocument> &document, const QUrl &url)
    {
        model.documentOpened({.document = document, .url = url});
        annotations::PaneAnnotations::of(model)->prepareAnnotations(); // as the pane's document load does
        QElapsedTimer timer;
        timer.start();
        view = std::make_unique<book::PaperBookView>(&model);
        book::BookViewParameters parameters;
        parameters.reducedMotion = true;
        view->setParameters(parameters);
        QObject::connect(view->page()->port(), &localweb::MessagePort::received, view.get(),
                         [this](const QString &text) {
                             const QJsonObject event = QJsonDocument::fromJson(text.toUtf8()).object();
                             if (event.value(QStringLiteral("event")) == QStringLiteral("state")
                                 && event.value(QStringLiteral("drawn")).toBool()) {
                                 drawnPage = event.value(QStringLiteral("page")).toInt();
                                 ++drawnCount;
                             }
                         });
        view->resize(1280, 860);
        view->show();
        if (!waitFor([this] { return view->coordinator()->paperReady(); }))
            return -1;
        return timer.nsecsElapsed() / 1e6;
    }
};


// The pages of a spread as the page lays them out: the first page alone,
// then 1-2, 3-4, ...
std::vector<int> spreadOf(int page, int count)
{
    if (page <= 0)
        return {0};
    const int first = page % 2 ? page : page - 1;
    return first + 1 < count ? std::vector<int>{first, first + 1} : std::vector<int>{first};
}

// Watches the page's frames from now on: the wall-clock time of the first
// frame that shows `uncovered` and of the first that shows it and `far`
// (the leaf's face turned towards the reader at the end) with their print.
QString frameWatch(int uncovered, int far)
{
    return QStringLiteral(R"((() => {
  const watch = window.folvanTurnWatch = { shown: -1, printed: -1 };
  const sheet = (n) => document.querySelector(`.sheet[data-page="${n}"]`);
  const shows = (s) => !!s && getComputedStyle(s.closest('.page')).display !== 'none';
  const print = (s) => { const c = s && s.querySelector('canvas.raster'); return !!c && c.width > 0; };
  const start = Date.now();
  const frame = () => {
    const u = sheet(%1), f = sheet(%2);
    if (watch.shown < 0 && shows(u)) watch.shown = Date.now();
    if (watch.printed < 0 && shows(u) && print(u) && shows(f) && print(f)) watch.printed = Date.now();
    if (watch.printed < 0 && Date.now() - start < 20000) requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
  return true;
})())")
        .arg(uncovered)
        .arg(far);
}
} // namespace

int main(int argc, char **argv)
{
    QWebEngineUrlScheme::registerScheme(localweb::localScheme(book::wire::scheme));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The memory figures are taken after a garbage collection.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --js-flags=--expose-gc");
    // The engine as the reader sets it up.
    app::askWebEngineToKeepLittleMemory();
    app::askWebEngineToHandBackFreedMemory();
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    BenchArgs args(QApplication::arguments().mid(1), "usage: folvan-book-bench PDF [--turns N]\n");
    const int turns = args.intOption(QStringLiteral("--turns"), 30);
    const QString path = args.positional(1, 1).first();
    QString error;
    const auto document = engine::PdfDocument::open(path, &error);
    if (!document)
        args.fail(QStringLiteral("cannot open %1: %2").arg(path, error));
    const QUrl url = QUrl::fromLocalFile(path);

    std::vector<double> rasters;
    for (int i = 0; i < std::min(5, document->pageCount()); ++i) {
        QElapsedTimer timer;
        timer.start();
        engine::PageRaster::png(document->page(i), engine::PageRaster::defaultEdge, {}, true);
        rasters.push_back(timer.nsecsElapsed() / 1e6);
    }

    BookRun run;
    const double cold = run.open(document, url);
    if (cold < 0) {
        std::fprintf(stderr, "the book page did not draw\n");
        return 1;
    }
    const double memoryOpen = pageMemory(run.view->page());
    // Another document object for the same file in the view on screen, as
    // when the pane opens another paper: the engine's rasters and display
    // lists start empty again.
    const auto again = engine::PdfDocument::open(path, &error);
    QElapsedTimer load;
    load.start();
    run.model.documentLoading(again);
    annotations::PaneAnnotations::of(run.model)->prepareAnnotations();
    if (!waitFor([&] { return run.view->coordinator()->document() == again && run.view->coordinator()->paperReady(); })) {
        std::fprintf(stderr, "the second load did not draw\n");
        return 1;
    }
    const double warm = load.nsecsElapsed() / 1e6;

    // Forward to the end, back to the start, and so on; a reader's pause
    // between turns lets the page take the next spread ahead.
    std::vector<double> times;
    bool forward = true;
    waitFor([] { return false; }, 400);
    for (int i = 0; i < turns; ++i) {
        if (forward ? !run.model.bookCanForward() : !run.model.bookCanBackward())
            forward = !forward;
        const int before = run.drawnCount;
        const int from = run.model.currentPageIndex();
        QElapsedTimer timer;
        timer.start();
        run.model.turnPage(forward, true);
        if (!waitFor([&] { return run.drawnCount > before && run.drawnPage != from; }, 30000)) {
            std::fprintf(stderr, "turn %d did not draw\n", i + 1);
            return 1;
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
        waitFor([] { return false; }, 400);
    }

    // Forty builds of the book by zoom steps (as Ctrl+= and Ctrl+- make
    // them), the last back at zoom 1.
    const double memoryFirst = pageMemory(run.view->page());
    book::BookViewParameters parameters = run.view->coordinator()->parameters();
    for (int i = 1; i <= 40; ++i) {
        const int before = run.drawnCount;
        parameters.zoom = 1 + 0.1 * (i % 4);
        run.view->setParameters(parameters);
        if (!waitFor([&] { return run.drawnCount > before; }, 30000)) {
            std::fprintf(stderr, "zoom build %d did not draw\n", i);
            return 1;
        }
    }
    // A reader's pause, in which the spreads either side are drawn too, as
    // they were for the first figure.
    waitFor([] { return false; }, 1500);
    const double memoryAfter = pageMemory(run.view->page());

    // Turns at the default duration, the turning animation shown: three
    // forward, then three back over the spreads just passed, each after a
    // pause of a reader.
    parameters.reducedMotion = false;
    parameters.turnDuration = book::BookViewParameters().turnDuration;
    {
        const int before = run.drawnCount;
        run.view->setParameters(parameters);
        if (!waitFor([&] { return run.drawnCount > before; }, 30000)) {
            std::fprintf(stderr, "the book with turning animations did not draw\n");
            return 1;
        }
    }
    std::vector<double> starts, prints;
    for (int i = 0; i < 6; ++i) {
        const bool ahead = i < 3;
        if (ahead ? !run.model.bookCanForward() : !run.model.bookCanBackward())
            continue;
        waitFor([] { return false; }, 1000);
        const std::vector<int> shown = spreadOf(run.model.currentPageIndex(), document->pageCount());
        const std::vector<int> target =
            spreadOf(ahead ? shown.back() + 1 : shown.front() - 1, document->pageCount());
        const int uncovered = ahead ? target.back() : target.front();
        const int far = ahead ? target.front() : target.back();
        bool watching = false;
        run.view->page()->runJavaScript(frameWatch(uncovered, far), [&](const QVariant &) { watching = true; });
        waitFor([&] { return watching; }, 10000);
        const int before = run.drawnCount;
        const qint64 asked = QDateTime::currentMSecsSinceEpoch();
        run.model.turnPage(ahead, true);
        if (!waitFor([&] { return run.drawnCount > before; }, 30000)) {
            std::fprintf(stderr, "default turn %d did not end\n", i + 1);
            return 1;
        }
        // The frames after the turn's end count too.
        QVariantMap watch;
        for (QDeadlineTimer patience(10000);;) {
            bool read = false;
            run.view->page()->runJavaScript(QStringLiteral("window.folvanTurnWatch"), [&](const QVariant &value) {
                watch = value.toMap();
                read = true;
            });
            waitFor([&] { return read; }, 10000);
            if (watch.value(QStringLiteral("printed")).toDouble() >= 0 || patience.hasExpired())
                break;
            waitFor([] { return false; }, 50);
        }
        const double shownAt = watch.value(QStringLiteral("shown")).toDouble();
        const double printedAt = watch.value(QStringLiteral("printed")).toDouble();
        if (shownAt < 0 || printedAt < 0) {
            std::fprintf(stderr, "default turn %d: page %d never showed its print\n", i + 1, uncovered);
            return 1;
        }
        starts.push_back(shownAt - double(asked));
        prints.push_back(printedAt - double(asked));
    }

    print("book_first_page_ms", warm);
    print("book_first_page_cold_ms", cold);
    print("book_turn_ms_p50", percentile(times, 0.5));
    print("book_turn_ms_p99", percentile(times, 0.99));
    print("book_raster_ms", percentile(rasters, 0.5));
    print("book_memory_mb_open", memoryOpen);
    print("book_memory_mb_first", memoryFirst);
    print("book_memory_mb_after_40", memoryAfter);
    std::printf("book_turns %zu\n", times.size());
    print("book_default_turn_start_ms_p50", percentile(starts, 0.5));
    print("book_default_turn_start_ms_max", percentile(starts, 1));
    print("book_default_turn_print_ms_p50", percentile(prints, 0.5));
    print("book_default_turn_print_ms_max", percentile(prints, 1));
    std::printf("book_default_turns %zu\n", prints.size());
    return 0;
}
