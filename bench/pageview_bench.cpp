// Speed and memory of the page view, driven offscreen by a script:
//
//   pageview-bench [PDF...] [--frames N] [--pages N]
//   pageview-bench --reading-memory PDF [--pages N]
//
// For a generated paper of N pages (1,000 by default) and for each PDF
// given, at zoom 1 and at zoom 3: scrolls the view down by 40 pixels a frame
// at 60 frames a second and prints the median and 99th-percentile main-thread
// time per frame (scroll, paint and the delivery of rasters), the share of
// frames drawn all sharp, and the time from a jump to a page until the page
// is drawn sharp. Prints the peak memory of the process at the end. One
// "name value" line per figure.
//
// --reading-memory: the memory of the process after reading N pages (200)
// of PDF in one page view and then in two (each on its own copy of the
// paper, as two panes hold it), scrolling a screen at a time and waiting at
// each screen until it is sharp.

#include "BenchArgs.h"
#include "BenchStats.h"
#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>

#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "pdfview/PageRasterCache.h"
#include "pdfview/PdfView.h"

using namespace folvan;

namespace {

constexpr double kFrameMs = 1000.0 / 60.0;

// A two-column paper: text lines in both columns, a rule and a box per page.
std::shared_ptr<engine::PdfDocument> generatedPaper(int pages)
{
    engine::PdfFixtureWriter writer;
    const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog while results in table ");
    for (int p = 0; p < pages; ++p) {
        writer.addPage();
        for (int column = 0; column < 2; ++column) {
            for (int line = 0; line < 58; ++line) {
                const QString text = words.mid((p + line) % 20) + words.left(30 + line % 10);
                writer.addText(p, QPointF(54 + column * 258, 740 - line * 11.5), text.left(52),
                               engine::FixtureFont::Helvetica, 8.5);
            }
        }
        writer.addLine(p, QPointF(54, 756), QPointF(558, 756), 0.5);
        writer.addFilledRect(p, QRectF(320, 60, 100, 40), QColor(220, 230, 250));
    }
    QString error;
    auto document = engine::PdfDocument::openData(writer.data(), &error);
    if (!document)
        qFatal("generated paper did not open: %s", qPrintable(error));
    return document;
}

double peakMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double currentMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void print(const QString &label, const char *name, double value)
{
    std::printf("%s.%s %.2f\n", qPrintable(label), name, value);
    std::fflush(stdout);
}

// Runs the event loop for what is left of a frame.
void finishFrame(const QElapsedTimer &frame)
{
    while (frame.nsecsElapsed() / 1e6 < kFrameMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

void scrollRun(pdfview::PdfView &view, const QString &label, int frames)
{
    view.verticalScrollBar()->setValue(0);
    view.rasterCache().waitForIdle();
    std::vector<double> times;
    int sharpFrames = 0;
    for (int i = 0; i < frames; ++i) {
        QElapsedTimer frame;
        frame.start();
        QElapsedTimer work;
        work.start();
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 40);
        view.viewport()->repaint();
        QCoreApplication::processEvents();
        times.push_back(work.nsecsElapsed() / 1e6);
        if (view.isSharp())
            ++sharpFrames;
        finishFrame(frame);
    }
    print(label, "frame_ms_median", percentile(times, 0.5));
    print(label, "frame_ms_p99", percentile(times, 0.99));
    print(label, "frame_ms_max", percentile(times, 1.0));
    print(label, "sharp_frames_pct", 100.0 * sharpFrames / frames);
}

void jumpRun(pdfview::PdfView &view, const QString &label)
{
    std::mt19937 random(7);
    const int pages = view.document()->pageCount();
    std::vector<double> times;
    for (int i = 0; i < 12; ++i) {
        const int page = int(random() % unsigned(pages));
        QElapsedTimer timer;
        timer.start();
        view.goToPage(page);
        view.viewport()->repaint();
        while (!view.isSharp() && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            view.viewport()->repaint();
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    print(label, "jump_to_sharp_ms_median", percentile(times, 0.5));
    print(label, "jump_to_sharp_ms_max", percentile(times, 1.0));
}

void benchDocument(const std::shared_ptr<engine::PdfDocument> &document, const QString &name, int frames)
{
    for (const double zoom : {1.0, 3.0}) {
        pdfview::PdfView view;
        view.resize(1200, 900);
        view.setDocument(document);
        view.setScaleFactor(zoom);
        view.show();
        const QString label = QStringLiteral("%1.zoom%2").arg(name).arg(zoom);
        scrollRun(view, label, frames);
        jumpRun(view, label);
        print(label, "rss_mb", currentMemoryMb());
    }
}

// Scrolls a view a screen at a time until `pages` pages have gone by,
// letting each screen become sharp.
void readPages(pdfview::PdfView &view, int pages)
{
    QScrollBar *bar = view.verticalScrollBar();
    const int last = std::min(view.document()->pageCount() - 1, view.currentPageIndex() + pages);
    while (view.currentPageIndex() < last && bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + view.viewport()->height());
        view.viewport()->repaint();
        QElapsedTimer timer;
        timer.start();
        while (!view.isSharp() && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            view.viewport()->repaint();
        }
        QCoreApplication::processEvents();
    }
}

// A page view as a pane shows it: the paper fitted to the pane's width.
std::unique_ptr<pdfview::PdfView> readingView(const QString &file, QSize size)
{
    QString error;
    auto document = engine::PdfDocument::open(file, &error);
    if (!document)
        qFatal("%s: %s", qPrintable(file), qPrintable(error));
    auto view = std::make_unique<pdfview::PdfView>();
    view->resize(size);
    view->setDocument(std::move(document));
    view->setAutoScales(true);
    view->show();
    return view;
}

int readingMemory(const QString &file, int pages)
{
    std::printf("reading.rss_before_mb %.1f\n", currentMemoryMb());
    auto first = readingView(file, QSize(1200, 860));
    readPages(*first, pages);
    std::printf("reading.pages %d\n", pages);
    std::printf("reading.one_pane_rss_mb %.1f\n", currentMemoryMb());
    std::printf("reading.one_pane_rasters_mb %.1f\n", first->rasterCache().memoryUsed() / 1048576.0);
    std::printf("reading.one_pane_raster_budget_mb %.1f\n", pdfview::RasterBudget::shared().limit() / 1048576.0);
    // Two panes side by side, each on its own copy of the paper.
    first->resize(600, 860);
    auto second = readingView(file, QSize(600, 860));
    readPages(*first, pages);
    readPages(*second, pages);
    std::printf("reading.two_panes_rss_mb %.1f\n", currentMemoryMb());
    std::printf("reading.two_panes_rasters_mb %.1f\n",
                (first->rasterCache().memoryUsed() + second->rasterCache().memoryUsed()) / 1048576.0);
    std::printf("reading.two_panes_raster_budget_mb %.1f\n", pdfview::RasterBudget::shared().limit() / 1048576.0);
    std::printf("reading.peak_rss_mb %.1f\n", peakMemoryMb());
    std::printf("reading.target_one_pane_mb %.1f\n", 1.1 * 181);
    std::printf("reading.target_two_panes_mb %.1f\n", 300.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchArgs args(app.arguments().mid(1), "usage: pageview-bench [PDF...] [--frames N] [--pages N]\n"
                                           "       pageview-bench --reading-memory PDF [--pages N]\n");
    const int frames = args.intOption(QStringLiteral("--frames"), 600);
    const int pages = args.intOption(QStringLiteral("--pages"), 0);
    const QString readingFile = args.option(QStringLiteral("--reading-memory"));
    const QStringList files = args.positional(0, readingFile.isNull() ? int(argc) : 0);
    // Every paper is tried before any figure is taken, and let go again so
    // that the figures start from nothing.
    for (const QString &file : readingFile.isNull() ? files : QStringList{readingFile}) {
        QString error;
        if (!engine::PdfDocument::open(file, &error))
            args.fail(QStringLiteral("cannot open %1: %2").arg(file, error));
    }

    if (!readingFile.isNull())
        return readingMemory(readingFile, pages > 0 ? pages : 200);

    QElapsedTimer timer;
    timer.start();
    const auto generated = generatedPaper(pages > 0 ? pages : 1000);
    std::printf("generated.pages %d\ngenerated.make_ms %lld\n", generated->pageCount(), timer.elapsed());
    std::printf("generated.rss_after_open_mb %.1f\n", currentMemoryMb());
    benchDocument(generated, QStringLiteral("generated"), frames);
    for (const QString &file : files)
        benchDocument(engine::PdfDocument::open(file), QFileInfo(file).completeBaseName(), frames);
    std::printf("peak_rss_mb %.1f\n", peakMemoryMb());
    return 0;
}
