// folvan-bench PDF [--scale S] [--query WORD] [--pages FIRST[-LAST]]
//   Prints one "name value" line per figure for the engine on PDF: opening,
//   page text, a search, peak memory, PNG encoding of the page rasters, and
//   the rasters of the pages (all, or the 1-based range given) at the scale
//   drawn two ways beside MuPDF's own tool drawing the same pages at the
//   same resolution to RGB in the same run: as the page view draws them
//   (display list recorded, then 1024-pixel tiles made by the page view's
//   raster cache, one tile at a time, the cache kept within a full-HD
//   screen's budget, and apart the pages drawn once the cache was full;
//   again with all the tiles of a page asked for at once, as the view asks,
//   drawn side by side by the cache's threads) and directly (no display
//   list, one whole-page raster).
// folvan-bench PDF --previews [--scale S]
//   The citation previews of PDF's links (preview_bench.cpp).
// folvan-bench PDF --markup-list N
//   The annotation list with N markups on PDF (markup_list_bench.cpp).
// folvan-bench PDF --markups N
//   Opening PDF with N markups and changing them (markup_edit_bench.cpp).
// folvan-bench --cmyk-image [--scale S]
//   A page of one CMYK image, drawn by the engine and by MuPDF's tool
//   (cmyk_bench.cpp).
// folvan-bench --generate OUT [--pages N]
//   Writes an N-page (default 2000) two-column text document to OUT.

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include "BenchArgs.h"
#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPng.h"
#include "engine/PdfSearch.h"
#include "pdfview/PageRasterCache.h"

using namespace folvan::engine;
using folvan::pdfview::PageRasterCache;
using folvan::pdfview::RasterTileKey;

namespace {

void print(const char *name, double value) { std::printf("%s %.3f\n", name, value); }

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

int generate(const QString &out, int pages)
{
    static const QStringList words = QString::fromLatin1(
        "the reader follows a proof of the main theorem and the method section describes how the data "
        "were collected before the results are compared with the baseline of previous work in the field")
        .split(QLatin1Char(' '));
    PdfFixtureWriter writer;
    for (int p = 0; p < pages; ++p) {
        writer.addPage(QSizeF(612, 792));
        for (int column = 0; column < 2; ++column) {
            for (int line = 0; line < 55; ++line) {
                QString text;
                for (int w = 0; w < 7; ++w)
                    text += words[(p * 31 + line * 7 + w + column * 3) % words.size()] + QLatin1Char(' ');
                writer.addText(p, QPointF(54 + column * 260, 740 - line * 12), text.trimmed(), FixtureFont::Helvetica, 9);
            }
        }
    }
    if (!writer.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}

// MuPDF's own tool on the same file, pages (1-based, inclusive) and
// resolution, drawing to RGB as the engine does; its own timing line leaves
// out process start-up.
double mutoolMsPerPage(const QString &path, double scale, int first, int last)
{
    QProcess process;
    process.start(QStringLiteral("mutool"),
                  {QStringLiteral("draw"), QStringLiteral("-s"), QStringLiteral("t"), QStringLiteral("-r"),
                   QString::number(72 * scale), QStringLiteral("-c"), QStringLiteral("rgb"), QStringLiteral("-F"),
                   QStringLiteral("pnm"), QStringLiteral("-o"), QStringLiteral("/dev/null"), path,
                   QStringLiteral("%1-%2").arg(first).arg(last)});
    // MuPDF's tool has no bound on hostile files: give up after a while.
    if (!process.waitForFinished(300'000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    const auto match = QRegularExpression(QStringLiteral("total (\\d+)ms")).match(output);
    return match.hasMatch() ? match.captured(1).toDouble() / (last - first + 1) : -1;
}

// The pages [first, last) drawn as the page view draws them: on a freshly
// opened document, each page's display list recorded and every tile of it
// made by the view's raster cache. The tiles are asked for one at a time so
// that the figure is the work of one thread, as MuPDF's tool's is, or, `atOnce`,
// all the tiles of a page together, as the page view asks for them, drawn
// by the cache's threads side by side (the time until the page is whole).
// The cache keeps what a view on a full-HD screen keeps, each page drawn in
// a frame of its own, so that older tiles are given up as the pages go by.
// Until the cache is full, each tile takes memory new to the process. The
// first page that does not fit still does, for most of its tiles, as the
// older tiles are given up one at a time after each new one; the pages
// after it (from `steadyFrom`; `last` when all fit) draw into the memory of
// tiles given up, and `steadyMs` is their part of the time.
struct TiledTimes {
    double ms = 0;
    double steadyMs = 0;
    int steadyFrom = 0;
};
TiledTimes tiledMs(const QString &path, double scale, int first, int last, bool atOnce = false)
{
    auto document = PdfDocument::open(path);
    PageRasterCache cache;
    cache.setDocument(document);
    cache.setShownArea(QSize(1920, 1080));
    const int key = PageRasterCache::scaleKey(scale);
    const int t = PageRasterCache::kTileSize;
    const folvan::pdfview::RasterBudget &budget = folvan::pdfview::RasterBudget::shared();
    TiledTimes times;
    times.steadyFrom = last;
    bool full = false;
    for (int p = first; p < last; ++p) {
        const QSizeF size = document->page(p).displaySize() * PageRasterCache::deviceScale(key);
        if (full && times.steadyFrom == last)
            times.steadyFrom = p;
        full = full || budget.used() + qint64(size.width()) * qint64(size.height()) * 4 > budget.limit();
        const double ms = millisecondsOf([&] {
            cache.beginFrame();
            for (int row = 0; row * t < size.height(); ++row)
                for (int column = 0; column * t < size.width(); ++column) {
                    cache.request(RasterTileKey{p, key, column, row, cache.epoch(p)}, 0);
                    if (!atOnce)
                        cache.waitForIdle();
                }
            cache.waitForIdle();
        });
        times.ms += ms;
        if (p >= times.steadyFrom)
            times.steadyMs += ms;
    }
    return times;
}

} // namespace

int runPreviewBench(int argc, char **argv);
int runMarkupListBench(int argc, char **argv);
int runMarkupEditBench(int argc, char **argv);
int runCmykImageBench(int argc, char **argv);

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--previews")
            return runPreviewBench(argc, argv);
        else if (QByteArray(argv[i]) == "--markup-list")
            return runMarkupListBench(argc, argv);
        else if (QByteArray(argv[i]) == "--markups")
            return runMarkupEditBench(argc, argv);
        else if (QByteArray(argv[i]) == "--cmyk-image")
            return runCmykImageBench(argc, argv);
    QCoreApplication app(argc, argv);
    BenchArgs args(app.arguments().mid(1),
                   "usage: folvan-bench PDF [--scale S] [--query WORD] [--pages FIRST[-LAST]]\n"
                   "       folvan-bench PDF --previews [--scale S]\n"
                   "       folvan-bench PDF --markup-list [N]\n"
                   "       folvan-bench PDF --markups [N]\n"
                   "       folvan-bench --cmyk-image [--scale S]\n"
                   "       folvan-bench --generate OUT [--pages N]\n");
    if (args.flag(QStringLiteral("--generate"))) {
        const int pages = args.intOption(QStringLiteral("--pages"), 2000);
        return generate(args.positional(1, 1).first(), pages);
    }
    const double scale = args.positiveOption(QStringLiteral("--scale"), 2);
    const QString query = args.option(QStringLiteral("--query"), QStringLiteral("the"));
    // The drawn pages, 1-based and inclusive; all when not given.
    const QString pagesText = args.option(QStringLiteral("--pages"));
    const QStringList range = pagesText.split(QLatin1Char('-'));
    int firstAsked = 0, lastAsked = 0;
    if (!pagesText.isNull()) {
        bool firstOk = false, lastOk = false;
        firstAsked = range.first().toInt(&firstOk);
        lastAsked = range.last().toInt(&lastOk);
        if (range.size() > 2 || !firstOk || !lastOk || firstAsked < 1 || lastAsked < firstAsked)
            args.fail(QStringLiteral("--pages wants FIRST or FIRST-LAST (from 1), not \"%1\"").arg(pagesText));
    }
    const QString path = args.positional(1, 1).first();

    std::shared_ptr<PdfDocument> doc;
    int pages = 0;
    QString error;
    print("open_ms", millisecondsOf([&] {
              doc = PdfDocument::open(path, &error);
              pages = doc ? doc->pageCount() : 0;
          }));
    if (!doc)
        args.fail(QStringLiteral("cannot open %1: %2").arg(path, error));
    print("pages", pages);
    // The drawn pages, 0-based [first, last).
    const int first = pagesText.isNull() ? 0 : std::clamp(firstAsked - 1, 0, pages);
    const int last = pagesText.isNull() ? pages : std::clamp(lastAsked, first, pages);
    if (first >= last)
        args.fail(QStringLiteral("no pages to draw: %1 has %2").arg(path).arg(pages));
    const int drawn = last - first;

    // Text on a fresh document, so that nothing is cached yet.
    {
        auto fresh = PdfDocument::open(path);
        print("text_ms_per_page", millisecondsOf([&] {
                  for (int p = 0; p < pages; ++p)
                      fresh->page(p).text();
              }) / pages);
    }

    std::vector<PdfSelection> matches;
    print("search_ms", millisecondsOf([&] {
              auto copy = PdfDocument::open(path);
              matches = findAll(copy, query);
          }));
    print("matches", double(matches.size()));

    // Rasters: each figure the best of two passes, the engine's on a freshly
    // opened document, to damp the noise of a busy machine the same way on
    // every side.
    double directMs = -1, tiled = -1, steady = -1, atOnce = -1, mutool = -1, mutoolSteady = -1;
    int steadyFrom = last;
    double pngMs = 0;
    for (int pass = 0; pass < 2; ++pass) {
        auto fresh = PdfDocument::open(path);
        double passMs = 0;
        for (int p = first; p < last; ++p) {
            QImage image;
            passMs += millisecondsOf([&] { image = fresh->page(p).render(scale); });
            if (pass == 0)
                pngMs += millisecondsOf([&] { encodePng(image, 1); });
        }
        directMs = directMs < 0 ? passMs : std::min(directMs, passMs);
        const TiledTimes tiledPass = tiledMs(path, scale, first, last);
        tiled = tiled < 0 ? tiledPass.ms : std::min(tiled, tiledPass.ms);
        steadyFrom = tiledPass.steadyFrom;
        steady = steady < 0 ? tiledPass.steadyMs : std::min(steady, tiledPass.steadyMs);
        const double atOncePass = tiledMs(path, scale, first, last, true).ms;
        atOnce = atOnce < 0 ? atOncePass : std::min(atOnce, atOncePass);
        const double mutoolPass = mutoolMsPerPage(path, scale, first + 1, last);
        if (mutoolPass > 0)
            mutool = mutool < 0 ? mutoolPass : std::min(mutool, mutoolPass);
        // The tool's time for the same pages: its whole range less the
        // pages before them, each run with the same start (fonts loaded,
        // glyphs made).
        const double before = steadyFrom < last ? mutoolMsPerPage(path, scale, first + 1, steadyFrom) : -1;
        if (mutoolPass > 0 && before > 0) {
            const double same = (mutoolPass * drawn - before * (steadyFrom - first)) / (last - steadyFrom);
            mutoolSteady = mutoolSteady < 0 ? same : std::min(mutoolSteady, same);
        }
    }
    print("drawn_pages", drawn);
    print("tiled_render_ms_per_page", tiled / drawn);
    print("tiled_at_once_ms_per_page", atOnce / drawn);
    print("direct_render_ms_per_page", directMs / drawn);
    print("png_ms_per_page", pngMs / drawn);
    if (mutool > 0) {
        print("mutool_render_ms_per_page", mutool);
        print("tiled_ratio_to_mutool", tiled / drawn / mutool);
        print("tiled_at_once_ratio_to_mutool", atOnce / drawn / mutool);
        print("direct_ratio_to_mutool", directMs / drawn / mutool);
    }
    // The pages drawn once the cache was full, beside the same pages of
    // MuPDF's tool.
    print("tiled_full_cache_pages", last - steadyFrom);
    if (steadyFrom < last && mutoolSteady > 0) {
        print("tiled_full_cache_ms_per_page", steady / (last - steadyFrom));
        print("mutool_same_pages_ms_per_page", mutoolSteady);
        print("tiled_full_cache_ratio_to_mutool", steady / (last - steadyFrom) / mutoolSteady);
    }
    print("peak_rss_mb", peakRssMb());
    return 0;
}
