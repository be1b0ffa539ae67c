// folvan-bench PDF --previews [--scale S]
//   Hovers every link of PDF that goes to one of its pages, in turn, for the
//   reference delay, with the citation preview of the page view on a screen
//   of S (default 2) pixels a point, and prints the time from the end of
//   the delay to the picture on screen (preview_ms_p50, preview_ms_p99)
//   and, for each link, "preview PAGE X Y W H": the target page index and
//   the region shown, in PDF user space, followed by two lines that let a
//   reader check it: "  link: TEXT", the link's own text, and
//   "  shows: TEXT", the topmost line of the target page inside the region.

#include "BenchDocument.h"
#include "BenchStats.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "annotations/ReadingAids.h"
#include "annotationsview/ReferencePreviewController.h"
#include "engine/PdfDocument.h"
#include "engine/PdfSelection.h"

using namespace folvan;
using namespace folvan::annotations;

namespace {

QByteArray oneLine(QString text)
{
    return text.replace(u'\n', u' ').simplified().toUtf8();
}

// The topmost text line of the page whose box lies in the region (y up:
// the greatest upper edge), the leftmost of lines level with it.
QString firstLineIn(const engine::PdfPage &page, const QRectF &region)
{
    const auto text = page.text();
    const engine::PdfTextSpan *first = nullptr;
    for (const engine::PdfTextSpan &line : text->lines) {
        const QRectF box = line.bounds.normalized();
        if (box.isEmpty() || !region.contains(box.center()))
            continue;
        if (!first || box.bottom() > first->bounds.bottom() + 1
            || (box.bottom() > first->bounds.bottom() - 1 && box.left() < first->bounds.left()))
            first = &line;
    }
    return first ? text->string.mid(first->range.location, first->range.length) : QString();
}

} // namespace

int runPreviewBench(int argc, char **argv)
{
    BenchArgs args(argc, argv, "usage: folvan-bench PDF --previews [--scale S]\n");
    args.flag(QStringLiteral("--previews"));
    const double scale = args.positiveOption(QStringLiteral("--scale"), 2);
    const QString path = args.positional(1, 1).first();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    QApplication app(argc, argv);

    const auto document = openBenchDocument(path, args);
    QWidget view;
    view.resize(900, 700);
    view.show();
    view.activateWindow();
    QElapsedTimer waiting;
    waiting.start();
    while (!view.isActiveWindow() && waiting.elapsed() < 5000)
        app.processEvents(QEventLoop::AllEvents, 50);

    annotationsview::ReferencePreviewController controller;
    double last = -1;
    QObject::connect(&controller, &annotationsview::ReferencePreviewController::shown, [&](double ms) { last = ms; });
    std::vector<double> times;
    for (int p = 0; p < document->pageCount(); ++p) {
        for (const engine::PdfAnnotation &link : engine::annotations(*document, p)) {
            const auto target = linkDestination(link);
            if (!target || target->pageIndex >= document->pageCount())
                continue;
            const auto region = previewRect(document, *target);
            if (region) {
                std::printf("preview %d %.2f %.2f %.2f %.2f\n", target->pageIndex, region->x(), region->y(),
                            region->width(), region->height());
                const engine::PdfPage source(document, p);
                std::printf("  link: %s\n", oneLine(source.selection(link.bounds).string()).constData());
                const engine::PdfPage shown(document, target->pageIndex);
                std::printf("  shows: %s\n", oneLine(firstLineIn(shown, *region)).constData());
            }
            last = -1;
            // The pointer rests on the link for the whole delay.
            controller.hover(link, document, QRectF(400, 500, 40, 12), &view);
            while (controller.state() == annotationsview::ReferencePreviewController::State::pending)
                app.processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (last >= 0)
                times.push_back(last);
            if (qEnvironmentVariableIsSet("FOLVAN_BENCH_EACH"))
                std::printf("  %.3f\n", last);
            controller.dismiss();
        }
    }
    std::printf("previews %zu\n", times.size());
    std::printf("preview_ms_p50 %.3f\n", percentile(times, 0.5));
    std::printf("preview_ms_p99 %.3f\n", percentile(times, 0.99));
    return 0;
}
