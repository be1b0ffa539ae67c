// folvan-bench PDF --markup-list N
//   Puts N highlights (default 2000) on PDF in a pane model, as saved
//   markups, then opens the dock's library panel, which lists them in its
//   scrolling content, in a popover as the reader does, and prints, each the median of several runs with the worst in
//   brackets: list_open_ms (popover shown and drawn), and with the list
//   open list_delete_ms (a row's delete button), list_add_ms (a highlight
//   made from a selection), list_undo_ms (undoing it); then
//   list_add_closed_ms, a highlight made after the list was closed. Each
//   figure runs until the list has drawn the change. markups_install_ms is
//   the model and engine part of one change, without any list.

#include "BenchDocument.h"
#include "BenchMarkups.h"
#include "BenchStats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>
#include <string>

#include "annotationsview/AnnotationListView.h"
#include "dock/ReaderLibraryPanel.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"

using namespace folvan;
using namespace folvan::annotations;

namespace {

// The time of one change: `total` from the call to the rows drawn, and
// `views` the list's own part of it, from the items' change to the rows
// drawn (the model and engine's part left out).
struct Timing {
    double total = 0;
    double views = 0;
};

class ChangeClock {
public:
    explicit ChangeClock(model::SharedPDFViewModel &model)
    {
        // Connected before the list, so that it runs before the list's own
        // reaction to the items.
        QObject::connect(PaneAnnotations::of(model), &PaneAnnotations::annotationItemsChanged,
                         &m_context, [this] {
            m_viewsStart = m_clock.nsecsElapsed();
        });
    }
    // Connects the end mark, after the list's own reaction.
    void follow(model::SharedPDFViewModel &model)
    {
        QObject::disconnect(m_end);
        m_end = QObject::connect(PaneAnnotations::of(model),
                                 &PaneAnnotations::annotationItemsChanged, &m_context, [this] {
            if (m_viewsStart >= 0)
                m_views += m_clock.nsecsElapsed() - m_viewsStart;
            m_viewsStart = -1;
        });
    }
    Timing time(QListView *rows, const std::function<void()> &change)
    {
        m_views = 0;
        m_viewsStart = -1;
        m_clock.start();
        change();
        const qint64 changed = m_clock.nsecsElapsed();
        if (rows)
            rows->viewport()->repaint();
        QCoreApplication::processEvents();
        const qint64 drawn = m_clock.nsecsElapsed();
        return {double(drawn) / 1e6, double(m_views + (drawn - changed)) / 1e6};
    }

private:
    QObject m_context;
    QMetaObject::Connection m_end;
    QElapsedTimer m_clock;
    qint64 m_viewsStart = -1;
    qint64 m_views = 0;
};

void print(const char *name, const std::vector<double> &times)
{
    std::printf("%s %.2f [%.2f]\n", name, percentile(times, 0.5), percentile(times, 1.0));
}

// The list's figure and the whole change's, "NAME" and "NAME_total".
void print(const std::string &name, const std::vector<Timing> &timings)
{
    std::vector<double> views, totals;
    for (const Timing &t : timings) {
        views.push_back(t.views);
        totals.push_back(t.total);
    }
    print(name.c_str(), views);
    print((name + "_total").c_str(), totals);
}

} // namespace

int runMarkupListBench(int argc, char **argv)
{
    BenchArgs args(argc, argv, "usage: folvan-bench PDF --markup-list [N]\n");
    const int count = args.flagWithCount(QStringLiteral("--markup-list"), 2000);
    const QString path = args.positional(1, 1).first();
    QTemporaryDir home;
    useScratchHome(home.path());
    QApplication app(argc, argv);

    const auto document = openBenchDocument(path, args);
    model::SharedPDFViewModel model;
    PaneAnnotations::attach(model);
    const QUrl url = QUrl::fromLocalFile(path);
    model.documentOpened({.document = document, .url = url});
    PaneAnnotations::of(model)->loadMarkups(url, document);
    std::vector<ReadingMarkup> markups = spreadMarkups(document, count);
    QElapsedTimer clock;
    clock.start();
    PaneAnnotations::of(model)->applyAnnotations(markups);
    std::printf("markups %zu\nmarkups_apply_ms %.1f\n", PaneAnnotations::of(model)->annotationItems().size(), double(clock.elapsed()));
    if (PaneAnnotations::of(model)->annotationItems().size() < size_t(count)) {
        std::fprintf(stderr, "the paper holds only %zu markups of 40 characters\n", PaneAnnotations::of(model)->annotationItems().size());
        return 1;
    }

    // A selection to highlight: a run of text no markup covers.
    const engine::PdfPage firstPage(document, 0);
    const engine::PdfSelection fresh = firstPage.selection(engine::PdfTextRange{45, 10});
    const auto select = [&] {
        model.pageSelectionChanged(fresh);
    };

    ChangeClock clock2(model);
    std::vector<double> install;
    for (int run = 0; run < 3; ++run) {
        select();
        install.push_back(clock2.time(nullptr, [&] { PaneAnnotations::of(model)->addMarkup(QStringLiteral("highlight"), QString()); }).total);
        clock2.time(nullptr, [&] { PaneAnnotations::of(model)->annotationUndoManager()->undo(); });
    }
    print("markups_install_ms", install);

    // The popover of the reader's dock holding its library panel.
    std::vector<double> opened;
    std::vector<Timing> deleted, added, undone, addedClosed;
    for (int run = 0; run < 3; ++run) {
        QFrame popover(nullptr, Qt::Popup);
        auto *layout = new QVBoxLayout(&popover);
        layout->setContentsMargins(0, 0, 0, 0);
        dock::ReaderLibraryPanel *panel = nullptr;
        annotationsview::AnnotationSection *section = nullptr;
        opened.push_back(clock2.time(nullptr, [&] {
            panel = new dock::ReaderLibraryPanel(&model, [] {}, &popover);
            section = panel->annotationSection();
            layout->addWidget(panel);
            popover.show();
            panel->list()->viewport()->repaint();
        }).total);
        clock2.follow(model);
        QListView *rows = section->list()->view();
        const int middle = section->list()->rowCount() / 2;
        // The rows past the first screens may be laid out in later turns.
        const int last = section->list()->rowCount() - 1;
        while (rows->visualRect(section->list()->rows()->index(last)).width() <= 0)
            QCoreApplication::processEvents();
        // The middle row in view: the list's own scroll, where it has one,
        // then the panel's.
        rows->scrollTo(section->list()->rows()->index(middle), QAbstractItemView::PositionAtCenter);
        QCoreApplication::processEvents();
        const QRect row = rows->visualRect(section->list()->rows()->index(middle));
        const QPoint inContent = rows->viewport()->mapTo(panel->list()->widget(), row.center());
        panel->list()->ensureVisible(inContent.x(), inContent.y(), 0, row.height());
        QCoreApplication::processEvents();
        const size_t before = PaneAnnotations::of(model)->annotationItems().size();
        deleted.push_back(clock2.time(rows, [&] {
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                              section->list()->partRect(middle, annotationsview::AnnotationListView::Part::remove).center());
        }));
        if (PaneAnnotations::of(model)->annotationItems().size() != before - 1) {
            const QRect place = section->list()->partRect(middle, annotationsview::AnnotationListView::Part::remove);
            std::fprintf(stderr, "the delete button deleted nothing (%d %d %d %d in %d x %d)\n", place.x(), place.y(),
                         place.width(), place.height(), rows->viewport()->width(), rows->viewport()->height());
            return 1;
        }
        undone.push_back(clock2.time(rows, [&] { PaneAnnotations::of(model)->annotationUndoManager()->undo(); }));
        select();
        added.push_back(clock2.time(rows, [&] { PaneAnnotations::of(model)->addMarkup(QStringLiteral("highlight"), QString()); }));
        clock2.time(rows, [&] { PaneAnnotations::of(model)->annotationUndoManager()->undo(); });
        popover.hide();
        select();
        addedClosed.push_back(clock2.time(nullptr, [&] { PaneAnnotations::of(model)->addMarkup(QStringLiteral("highlight"), QString()); }));
        clock2.time(nullptr, [&] { PaneAnnotations::of(model)->annotationUndoManager()->undo(); });
    }
    std::printf("rows %d\n", int(PaneAnnotations::of(model)->annotationItems().size()));
    print("list_open_ms", opened);
    print("list_delete_ms", deleted);
    print("list_add_ms", added);
    print("list_undo_ms", undone);
    print("list_add_closed_ms", addedClosed);
    return 0;
}
