// folvan-bench PDF [--scale S] [--query WORD]
//   Prints one "name value" line per figure for the engine on PDF: opening,
//   rasterizing every page at the scale, PNG encoding of those rasters, page
//   text, a search, peak memory, and MuPDF's own tool rasterizing the same
//   pages at the same resolution for comparison.
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

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPng.h"
#include "engine/PdfSearch.h"

using namespace folvan::engine;

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

// MuPDF's own tool on the same file and resolution; its own timing line
// leaves out process start-up.
double mutoolMsPerPage(const QString &path, double scale, int pages)
{
    QProcess process;
    process.start(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-s"), QStringLiteral("t"),
                                             QStringLiteral("-r"), QString::number(72 * scale), path});
    // MuPDF's tool has no bound on hostile files: give up after a while.
    if (!process.waitForFinished(300'000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    const auto match = QRegularExpression(QStringLiteral("total (\\d+)ms")).match(output);
    return match.hasMatch() && pages > 0 ? match.captured(1).toDouble() / pages : -1;
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
    QStringList args = app.arguments().mid(1);
    auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        if (i < 0 || i + 1 >= args.size())
            return fallback;
        const QString value = args[i + 1];
        args.remove(i, 2);
        return value;
    };
    if (!args.isEmpty() && args.first() == QLatin1String("--generate")) {
        const int pages = option(QStringLiteral("--pages"), QStringLiteral("2000")).toInt();
        return args.size() == 2 ? generate(args[1], pages) : 2;
    }
    const double scale = option(QStringLiteral("--scale"), QStringLiteral("2")).toDouble();
    const QString query = option(QStringLiteral("--query"), QStringLiteral("the"));
    if (args.size() != 1 || !(scale > 0)) {
        std::fprintf(stderr, "usage: folvan-bench PDF [--scale S] [--query WORD]\n"
                             "       folvan-bench --generate OUT [--pages N]\n");
        return 2;
    }
    const QString path = args.first();

    std::shared_ptr<PdfDocument> doc;
    int pages = 0;
    QString error;
    print("open_ms", millisecondsOf([&] {
              doc = PdfDocument::open(path, &error);
              pages = doc ? doc->pageCount() : 0;
          }));
    if (!doc) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    print("pages", pages);

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

    // Rasters: the best of two passes, each on a freshly opened document,
    // against the best of two runs of MuPDF's tool, to damp the noise of a
    // busy machine the same way on both sides.
    double renderMs = -1;
    double pngMs = 0;
    for (int pass = 0; pass < 2; ++pass) {
        auto fresh = PdfDocument::open(path);
        double passMs = 0;
        for (int p = 0; p < pages; ++p) {
            QImage image;
            passMs += millisecondsOf([&] { image = fresh->page(p).render(scale); });
            if (pass == 0)
                pngMs += millisecondsOf([&] { encodePng(image, 1); });
        }
        renderMs = renderMs < 0 ? passMs : std::min(renderMs, passMs);
    }
    print("render_ms_per_page", renderMs / pages);
    print("png_ms_per_page", pngMs / pages);

    const double mutool = std::min(mutoolMsPerPage(path, scale, pages), mutoolMsPerPage(path, scale, pages));
    if (mutool > 0) {
        print("mutool_render_ms_per_page", mutool);
        print("render_ratio_to_mutool", renderMs / pages / mutool);
    }
    print("peak_rss_mb", peakRssMb());
    return 0;
}
