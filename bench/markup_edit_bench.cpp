// folvan-bench PDF --markups N
//   A paper carrying N highlights (default 10000), saved as markups:
//   open_ms is the paper opened in a pane model and its first page drawn
//   with no markups saved for it, open_with_markups_ms the same with the N
//   markups saved, the first page drawn with its own (target: under twice
//   open_ms), and markups_loaded_ms until all N are in place (decoded off
//   the interface thread meanwhile).
//   Then, each the median of several runs with the worst in brackets, on
//   the paper with its N markups: markup_add_ms (a highlight made from a
//   selection, target under 50 ms), markup_undo_ms (undoing it) and
//   markup_delete_ms (deleting one markup), each until the model, the
//   pages' annotations, the list and the file are up to date (the page
//   view draws the pages again off the interface thread).

#include "BenchDocument.h"
#include "BenchMarkups.h"
#include "BenchStats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QUndoStack>

#include <cstdio>
#include <functional>
#include <memory>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"
#include "annotations/AnnotationGeometry.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"

using namespace folvan;
using namespace folvan::annotations;

namespace {

constexpr double kScale = 2;

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    QCoreApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

// Opens the paper as the reader does: the document, its annotations, its
// first page drawn with its markups.
struct OpenPaper {
    std::shared_ptr<engine::PdfDocument> document;
    std::unique_ptr<model::SharedPDFViewModel> model;
};

OpenPaper openPaper(const QString &path, double *drawnMs = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    OpenPaper paper;
    paper.document = engine::PdfDocument::open(path);
    if (!paper.document)
        return paper;
    paper.model = std::make_unique<model::SharedPDFViewModel>();
    PaneAnnotations::attach(*paper.model);
    const QUrl url = QUrl::fromLocalFile(path);
    paper.model->documentOpened({.document = paper.document, .url = url});
    PaneAnnotations::of(*paper.model)->loadMarkups(url, paper.document);
    paper.document->page(0).render(kScale);
    if (drawnMs)
        *drawnMs = clock.nsecsElapsed() / 1e6;
    return paper;
}

// How many of the markups are shown by annotations of the page.
size_t markupsShownOn(const OpenPaper &paper, int page)
{
    QSet<QString> names;
    for (const ReadingMarkup &markup : PaneAnnotations::of(*paper.model)->markups())
        names.insert(installedName(markup.id));
    size_t shown = 0;
    for (const engine::PdfAnnotation &annotation : engine::annotations(*paper.document, page))
        shown += names.contains(annotation.userName) ? 1 : 0;
    return shown;
}

void waitForMarkups(const model::SharedPDFViewModel &model)
{
    while (PaneAnnotations::of(model)->markupsLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void print(const char *name, const std::vector<double> &times)
{
    std::printf("%s %.2f [%.2f]\n", name, percentile(times, 0.5), percentile(times, 1.0));
}

} // namespace

int runMarkupEditBench(int argc, char **argv)
{
    BenchArgs args(argc, argv, "usage: folvan-bench PDF --markups [N]\n");
    const int count = args.flagWithCount(QStringLiteral("--markups"), 10000);
    const QString path = args.positional(1, 1).first();
    QTemporaryDir home;
    useScratchHome(home.path());
    QApplication app(argc, argv);
    openBenchDocument(path, args);

    // Without markups: the best of three, as the file system warms up.
    double plainMs = -1;
    for (int run = 0; run < 3; ++run) {
        double ms = 0;
        openPaper(path, &ms);
        plainMs = plainMs < 0 ? ms : std::min(plainMs, ms);
    }

    {
        OpenPaper paper = openPaper(path);
        PaneAnnotations::of(*paper.model)->applyAnnotations(spreadMarkups(paper.document, count));
        if (PaneAnnotations::of(*paper.model)->markups().size() < size_t(count)) {
            std::fprintf(stderr, "the paper holds only %zu markups of 40 characters\n", PaneAnnotations::of(*paper.model)->markups().size());
            return 1;
        }
    }
    double markedMs = -1, loadedMs = -1;
    size_t firstPageMarkups = 0, drawnMarkups = 0;
    OpenPaper paper;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        double ms = 0;
        paper = openPaper(path, &ms);
        firstPageMarkups = PaneAnnotations::of(*paper.model)->markups().size();
        drawnMarkups = markupsShownOn(paper, 0);
        waitForMarkups(*paper.model);
        const double all = clock.nsecsElapsed() / 1e6;
        markedMs = markedMs < 0 ? ms : std::min(markedMs, ms);
        loadedMs = loadedMs < 0 ? all : std::min(loadedMs, all);
    }
    std::printf("markups %zu (%zu on the first page, which was drawn with %zu of them)\n",
                PaneAnnotations::of(*paper.model)->markups().size(), firstPageMarkups, drawnMarkups);
    std::printf("open_ms %.1f\n", plainMs);
    std::printf("open_with_markups_ms %.1f (target under %.1f)\n", markedMs, 2 * plainMs);
    std::printf("markups_loaded_ms %.1f\n", loadedMs);

    model::SharedPDFViewModel &model = *paper.model;
    const engine::PdfPage firstPage = paper.document->page(0);
    // A run of text no markup covers.
    const engine::PdfSelection fresh = firstPage.selection(engine::PdfTextRange{45, 10});
    const auto change = [&](const std::function<void()> &work) { return millisecondsOf(work); };
    std::vector<double> added, undone, deleted;
    for (int run = 0; run < 5; ++run) {
        model.pageSelectionChanged(fresh);
        added.push_back(change([&] { PaneAnnotations::of(model)->addMarkup(QStringLiteral("highlight"), QString()); }));
        undone.push_back(change([&] { PaneAnnotations::of(model)->annotationUndoManager()->undo(); }));
        const QString victim = PaneAnnotations::of(model)->annotationItems()[size_t(run) * 7].id;
        deleted.push_back(change([&] { PaneAnnotations::of(model)->deleteAnnotation(victim); }));
        PaneAnnotations::of(model)->annotationUndoManager()->undo();
    }
    if (PaneAnnotations::of(model)->markups().size() < size_t(count)) {
        std::fprintf(stderr, "undoing lost markups: %zu left\n", PaneAnnotations::of(model)->markups().size());
        return 1;
    }
    print("markup_add_ms", added);
    std::printf("markup_add_target_ms 50\n");
    print("markup_undo_ms", undone);
    print("markup_delete_ms", deleted);
    return 0;
}
