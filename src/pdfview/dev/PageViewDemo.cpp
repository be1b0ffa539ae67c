// Shows a PDF in the page view: folvan-pageview-demo FILE [--scale S]
// [--page N] [--search WORD] [--select-page N] [--shot PNG]. With --shot
// it grabs the view into a PNG once the visible pages are sharp and quits.
// With --pane the view is shown as a reading pane shows it: through the
// wrapper, driven by a pane model (page, zoom and search state).

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

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
int showPane(QApplication &app, const QCommandLineParser &parser, const std::shared_ptr<engine::PdfDocument> &document,
             QSize size)
{
    SharedPDFViewModel model;
    double zoom = parser.value("scale").toDouble();
    model.setPdfDocument(document);
    model.setPdfDocumentURL(QUrl::fromLocalFile(document->path()));
    model.setCurrentPageIndex(parser.value("page").toInt());
    pdfview::PDFViewWrapper wrapper(document, {[&zoom] { return zoom; }, [&zoom](double z) { zoom = z; }}, &model,
                                    nullptr);
    wrapper.resize(size);
    wrapper.setWindowTitle(QStringLiteral("Folvan page view"));
    wrapper.show();
    if (parser.isSet("search")) {
        const auto matches = engine::findAll(document, parser.value("search"));
        int current = 0;
        while (current + 1 < int(matches.size()) && matches[size_t(current)].pages().front().index() < model.currentPageIndex())
            ++current;
        model.setShowSearch(true);
        model.setSearchText(parser.value("search"));
        model.setSearchResults(matches);
        model.setCurrentSearchIndex(current);
    }
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument("file", "PDF file");
    parser.addOption({"scale", "zoom", "scale", "1"});
    parser.addOption({"page", "page index", "page", "0"});
    parser.addOption({"search", "highlight matches of a word", "word"});
    parser.addOption({"select-line", "select the line at a view point x,y", "point"});
    parser.addOption({"shot", "save a screenshot and quit", "png"});
    parser.addOption({"size", "window size WxH", "size", "1000x900"});
    parser.addOption({"pane", "show the view through a pane model and the wrapper"});
    parser.process(app);
    if (parser.positionalArguments().isEmpty())
        parser.showHelp(1);

    QString error;
    auto document = engine::PdfDocument::open(parser.positionalArguments().first(), &error);
    if (!document) {
        qCritical("%s", qPrintable(error));
        return 1;
    }
    const QStringList size = parser.value("size").split('x');
    if (parser.isSet("pane"))
        return showPane(app, parser, document, QSize(size.value(0).toInt(), size.value(1).toInt()));
    pdfview::PdfView view;
    view.resize(size.value(0).toInt(), size.value(1).toInt());
    view.setDocument(document);
    view.setScaleFactor(parser.value("scale").toDouble());
    view.show();
    view.goToPage(parser.value("page").toInt());

    if (parser.isSet("search")) {
        auto matches = engine::findAll(document, parser.value("search"));
        view.setHighlightedSelections(matches);
        for (const auto &match : matches) {
            if (match.pages().front().index() >= view.currentPageIndex()) {
                view.setCurrentSelection(match);
                break;
            }
        }
    }
    if (parser.isSet("select-line")) {
        const QStringList xy = parser.value("select-line").split(',');
        const QPointF point(xy.value(0).toDouble(), xy.value(1).toDouble());
        const int page = view.pageForPoint(point);
        if (page >= 0)
            view.setCurrentSelection(document->page(page).selectionForLine(view.convertPointToPage(point, page)));
    }
    if (parser.isSet("shot")) {
        const QString path = parser.value("shot");
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, [&view, path, poll] {
            view.viewport()->repaint();
            if (view.isSharp() && view.rasterCache().pendingCount() == 0) {
                poll->stop();
                view.grab().save(path);
                QApplication::quit();
            }
        });
        poll->start(50);
    }
    return app.exec();
}
