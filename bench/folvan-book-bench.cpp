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
//                            book by zoom steps, back at the first zoom

#include "BenchStats.h"
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QWebEnginePage>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include "book/PaperBookView.h"
#include "engine/PageRaster.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "localweb/LocalWebPage.h"
#include "book/BookWebPage.h"
#include "annotations/PaneAnnotations.h"
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
    SharedPDFViewModel model;
    std::unique_ptr<book::PaperBookView> view;
    int drawnPage = -1;
    int drawnCount = 0;

    BookRun() { annotations::PaneAnnotations::attach(model); } // as the pane does

    double open(const std::shared_ptr<engine::PdfDocument> &document, const QUrl &url)
    {
        model.setPdfDocumentURL(url);
        model.setPageCount(document->pageCount());
        model.setCurrentPageIndex(0);
        model.setPdfDocument(document);
        annotations::PaneAnnotations::of(model)->prepareAnnotations(); // as the pane's document load does
        QElapsedTimer timer;
        timer.start();
        view = std::make_unique<book::PaperBookView>(&model);
        book::BookViewParameters parameters;
        parameters.reducedMotion = true;
        view->setParameters(parameters);
        QObject::connect(view->page()->port(), &book::BookMessagePort::received, view.get(),
                         [this](const QJsonValue &body) {
                             const QJsonObject event = body.toObject();
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

} // namespace

int main(int argc, char **argv)
{
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-book"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The memory figures are taken after a garbage collection.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --js-flags=--expose-gc");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: folvan-book-bench PDF [--turns N]\n");
        return 2;
    }
    int turns = 30;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--turns")); at > 0 && at + 1 < arguments.size())
        turns = arguments[at + 1].toInt();
    QString error;
    const auto document = engine::PdfDocument::open(arguments[1], &error);
    if (!document) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(arguments[1]), qPrintable(error));
        return 1;
    }
    const QUrl url = QUrl::fromLocalFile(arguments[1]);

    std::vector<double> rasters;
    for (int i = 0; i < std::min(5, document->pageCount()); ++i) {
        QElapsedTimer timer;
        timer.start();
        engine::PageRaster::png(document->page(i), engine::PageRaster::defaultEdge, {});
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
    const auto again = engine::PdfDocument::open(arguments[1], &error);
    QElapsedTimer load;
    load.start();
    run.model.setPdfDocument(again);
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
        run.model.setBookTurnRequest(BookTurnRequest::make(forward));
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
    const double memoryAfter = pageMemory(run.view->page());

    print("book_first_page_ms", warm);
    print("book_first_page_cold_ms", cold);
    print("book_turn_ms_p50", percentile(times, 0.5));
    print("book_turn_ms_p99", percentile(times, 0.99));
    print("book_raster_ms", percentile(rasters, 0.5));
    print("book_memory_mb_open", memoryOpen);
    print("book_memory_mb_first", memoryFirst);
    print("book_memory_mb_after_40", memoryAfter);
    std::printf("book_turns %zu\n", times.size());
    return 0;
}
