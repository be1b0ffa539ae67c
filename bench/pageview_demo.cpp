// folvan-pageview-demo PDF [--scale S] [--page N] [--search WORD]
//     [--select-line X,Y] [--size WxH] [--shot PNG] [--pane]
//   Shows a PDF in the page view, for trying the view by hand and taking
//   screenshots: at zoom S (1), from page index N (0), with the matches of
//   WORD highlighted and the first from page N on selected, and the line
//   at view point X,Y selected, in a window W×H (1000x900). With --shot
//   it grabs the view into a PNG once the visible pages are sharp and
//   quits. With --pane the view is shown as a reading pane shows it:
//   through the wrapper, driven by a pane model (page, zoom and search
//   state).

#include <QApplication>
#include <QTimer>

#include "BenchArgs.h"

#include "engine/PdfDocument.h"
#include "engine/PdfSearch.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "pdfview/PageRasterCache.h"
#include "pdfview/PdfView.h"

using namespace folvan;

namespace {

// The pane's way: the model asks, the wrapper carries it out.
int showPane(QApplication &app, const std::shared_ptr<engine::PdfDocument> &document, QSize size, double scale,
             int page, const QString &search)
{
    model::SharedPDFViewModel model;
    double zoom = scale;
    model.documentOpened({.document = document, .url = QUrl::fromLocalFile(document->path()), .page = page});
    pdfview::PDFViewWrapper wrapper(document, {[&zoom] { return zoom; }, [&zoom](double z) { zoom = z; }}, &model,
                                    nullptr);
    wrapper.resize(size);
    wrapper.setWindowTitle(QStringLiteral("Folvan page view"));
    wrapper.show();
    if (!search.isNull()) {
        const auto matches = engine::findAll(document, search);
        int current = 0;
        while (current + 1 < int(matches.size()) && matches[size_t(current)].pages().front().index() < model.currentPageIndex())
            ++current;
        model.searchOpened();
        model.searchTextEntered(search);
        model.searchFoundMatches({.matches = matches, .lineBounds = {}});
        model.searchResultChosen(current);
    }
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    BenchArgs args(argc, argv,
                   "usage: folvan-pageview-demo PDF [--scale S] [--page N] [--search WORD] [--select-line X,Y]\n"
                   "                            [--size WxH] [--shot PNG] [--pane]\n");
    const double scale = args.positiveOption(QStringLiteral("--scale"), 1);
    const int pageIndex = args.intOption(QStringLiteral("--page"), 0, 0);
    const QString search = args.option(QStringLiteral("--search"));
    const QString selectLine = args.option(QStringLiteral("--select-line"));
    const QString shot = args.option(QStringLiteral("--shot"));
    const QString sizeText = args.option(QStringLiteral("--size"), QStringLiteral("1000x900"));
    const bool pane = args.flag(QStringLiteral("--pane"));
    const QString path = args.positional(1, 1).first();

    const QStringList size = sizeText.split(QLatin1Char('x'));
    const QSize windowSize(size.value(0).toInt(), size.value(1).toInt());
    if (size.size() != 2 || windowSize.isEmpty())
        args.fail(QStringLiteral("--size wants WxH, not \"%1\"").arg(sizeText));
    const QStringList xy = selectLine.split(QLatin1Char(','));
    bool xOk = false, yOk = false;
    const QPointF linePoint(xy.value(0).toDouble(&xOk), xy.value(1).toDouble(&yOk));
    if (!selectLine.isNull() && (xy.size() != 2 || !xOk || !yOk))
        args.fail(QStringLiteral("--select-line wants X,Y, not \"%1\"").arg(selectLine));

    QString error;
    auto document = engine::PdfDocument::open(path, &error);
    if (!document)
        args.fail(QStringLiteral("cannot open %1: %2").arg(path, error));

    QApplication app(argc, argv);
    if (pane)
        return showPane(app, document, windowSize, scale, pageIndex, search);
    pdfview::PdfView view;
    view.resize(windowSize);
    view.setDocument(document);
    view.setScaleFactor(scale);
    view.show();
    view.goToPage(pageIndex);

    if (!search.isNull()) {
        auto matches = engine::findAll(document, search);
        view.setHighlightedSelections(matches);
        for (const auto &match : matches) {
            if (match.pages().front().index() >= view.currentPageIndex()) {
                view.setCurrentSelection(match);
                break;
            }
        }
    }
    if (!selectLine.isNull()) {
        const int page = view.pageForPoint(linePoint);
        if (page >= 0)
            view.setCurrentSelection(document->page(page).selectionForLine(view.convertPointToPage(linePoint, page)));
    }
    if (!shot.isNull()) {
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, [&view, shot, poll] {
            view.viewport()->repaint();
            if (view.isSharp() && view.rasterCache().pendingCount() == 0) {
                poll->stop();
                view.grab().save(shot);
                QApplication::quit();
            }
        });
        poll->start(50);
    }
    return app.exec();
}
