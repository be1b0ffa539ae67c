#include "support/SharedPDFViewModelTestPeer.h"
#include "book/PaperBookView.h"

#include "BookTestSupport.h"
#include "book/DroppableBookWebView.h"
#include "book/BookCover.h"
#include "book/FloatingOverBook.h"
#include "book/PaperReadingView.h"
#include "localweb/FileUrlProbe.h"
#include "localweb/LocalWebPage.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/WebEngineStart.h"
#include "pdfview/DroppablePDFView.h"
#include "support/PreviewClosers.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSet>

#include <QPushButton>
#include <QTest>

#include <QWebEnginePage>

#include <cmath>

using namespace folvan;
using namespace folvan::book;

namespace {

class BookPageTest : public test::BookPaneTest {
protected:
    // Counts the page's reports of a spread drawn, and the last page drawn.
    void countDrawnSpreads(PaperBookView &view)
    {
        QObject::connect(view.page()->port(), &localweb::MessagePort::received, &view, [this](const QString &text) {
            const QJsonObject event = QJsonDocument::fromJson(text.toUtf8()).object();
            if (event.value(QStringLiteral("event")) == QStringLiteral("state")
                && event.value(QStringLiteral("drawn")).toBool()) {
                drawnPage = event.value(QStringLiteral("page")).toInt();
                ++drawn;
            }
        });
    }
    bool waitForDrawing(int before) { return test::waitFor([&] { return drawn > before; }); }
    // Shows the book without turning animations, counting its drawn spreads,
    // and waits for the paper to be ready.
    bool showCountingSpreads(PaperBookView &view, BookViewParameters &parameters)
    {
        countDrawnSpreads(view);
        parameters.reducedMotion = true;
        view.setParameters(parameters);
        view.resize(1000, 700);
        view.show();
        return test::waitFor([&] { return view.coordinator()->paperReady(); });
    }
    bool waitForPage(int page) { return test::waitFor([&] { return drawnPage == page; }); }
    // The value of a script run in the page.
    QVariant evaluate(PaperBookView &view, const QString &script)
    {
        std::optional<QVariant> result;
        view.page()->runJavaScript(script, [&](const QVariant &value) { result = value; });
        EXPECT_TRUE(test::waitFor([&] { return result.has_value(); })) << "the script gave no answer";
        return result.value_or(QVariant());
    }

    // Where the page draws sheet `index` (0 left, 1 right) of the spread of
    // page 3 of 10 at zoom 1.
    static QRectF sheetOfSpread(PaperBookView &view, int index)
    {
        return SpreadPlacement::of(view.size(), view.coordinator()->aspect(), platform::BookLayout::Spread, 1, 3, 10,
                                   view.devicePixelRatioF())
            .sheets.at(size_t(index))
            .second;
    }
    // Waits until the page draws the spread of page 3 where sheetOfSpread
    // places it: a view resized after the page loaded rebuilds the book a
    // moment later, and a pointer before then misses.
    bool waitForSpreadInPlace(PaperBookView &view)
    {
        const auto placed = [&](int index) {
            const QRectF expected = sheetOfSpread(view, index);
            const QStringList drawn = evaluate(view, QStringLiteral(
                "(() => { const r = document.querySelector('.sheet[data-page=\"%1\"]')?.getBoundingClientRect();"
                " return r ? [r.left, r.top, r.right, r.bottom].join(' ') : ''; })()").arg(3 + index))
                                          .toString()
                                          .split(QLatin1Char(' '));
            const double want[] = {expected.left(), expected.top(), expected.right(), expected.bottom()};
            if (drawn.size() != 4)
                return false;
            for (int i = 0; i < 4; ++i)
                if (std::abs(drawn[i].toDouble() - want[i]) > 1.5)
                    return false;
            return true;
        };
        return test::waitFor([&] { return placed(0) && placed(1); });
    }
    // The page whose sheet the page finds under `at` (-1: none). The book
    // shows a turned-to spread in its next animation frame, a while after
    // the page reports it: until then a pointer finds the spread before.
    int sheetUnder(PaperBookView &view, QPoint at)
    {
        return evaluate(view, QStringLiteral("Number(document.elementFromPoint(%1, %2)?.closest('.sheet')?.dataset.page ?? -1)")
                                  .arg(at.x())
                                  .arg(at.y()))
            .toInt();
    }
    // Turns the text tool on and waits for the page to select.
    bool switchTextToolOn(PaperBookView &view)
    {
        model->toggleBookTextMode();
        return test::waitFor([&] {
            return evaluate(view, QStringLiteral("document.body.classList.contains('selecting')")).toBool();
        });
    }

    int drawn = 0;
    int drawnPage = -1;
};

// A preview that only counts its closings.
class CountingPreview : public pdfview::ReferencePreview {
public:
    explicit CountingPreview(int &dismissals) : m_dismissals(dismissals) {}
    void hover(const std::optional<engine::PdfAnnotation> &, const std::shared_ptr<engine::PdfDocument> &,
               const QRectF &, QWidget *) override
    {
    }
    void dismiss() override { ++m_dismissals; }

private:
    int &m_dismissals;
};

// As the program does, before the application object exists.
const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-book"));
    return true;
}();

} // namespace

// The real page: it announces itself, takes the open call, draws the first
// spread from the handler's rasters and reports it ready.
TEST_F(BookPageTest, OpensThePaperAndReportsItReady)
{
    openAt(3);
    PaperBookView view(model.get());
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->isReady(); }));
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }));
    EXPECT_FALSE(model->bookError());
    // Page 3 is shown with page 4; the book can turn both ways.
    EXPECT_EQ(model->currentPageIndex(), 3);
    EXPECT_TRUE(model->bookCanForward());
    EXPECT_TRUE(model->bookCanBackward());

    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5; }));
}

// A turn's target is the reading position from the moment it is asked for:
// a quit during the animation keeps the page turned to.
TEST_F(BookPageTest, ATurnInProgressAlreadyReadsAtItsTarget)
{
    openAt(3);
    PaperBookView view(model.get());
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }));
    // A turn that does not end while the test runs.
    view.page()->runJavaScript(QStringLiteral("window.folvan.settings({turnDuration: 100000}); null;"));
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
    ASSERT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5; }));
    const QString key = QStringLiteral("lastPage_") + model->pdfDocumentURL().path();
    EXPECT_EQ(platform::Preferences::shared().intValue(key, 0), 5);
}

// The page the reader opened at or jumped to stays the current page while
// its spread is shown, also when it is the right-hand page: page-flip names
// a spread by its left page, and that page is not what the reader asked for.
TEST_F(BookPageTest, ARightHandPageAskedForStaysTheCurrentPage)
{
    openAt(4);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    const QString stored = QStringLiteral("lastPage_") + pdf;
    ASSERT_TRUE(waitForDrawing(0));
    EXPECT_EQ(drawnPage, 4);
    EXPECT_EQ(model->currentPageIndex(), 4);
    EXPECT_EQ(platform::Preferences::shared().intValue(stored, -1), 4);

    // A jump to another spread's right-hand page, then one to the left-hand
    // page of the spread shown.
    model->navigate(model::ReadingLocation{6, std::nullopt, std::nullopt}, true);
    ASSERT_TRUE(waitForPage(6));
    ASSERT_TRUE(test::waitFor([&] { return !model->jumpToPage(); }));
    EXPECT_EQ(model->currentPageIndex(), 6);
    EXPECT_EQ(platform::Preferences::shared().intValue(stored, -1), 6);
    model->navigate(model::ReadingLocation{5, std::nullopt, std::nullopt}, true);
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5 && !model->jumpToPage(); }));
    // Back, to the right-hand page again.
    model->returnLocation(false);
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 6 && !model->jumpToPage(); }));

    // A book built again (a zoom step) stays on it; a turn goes on.
    const int before = drawn;
    parameters.zoom = 1.2;
    view.setParameters(parameters);
    ASSERT_TRUE(waitForDrawing(before));
    EXPECT_EQ(drawnPage, 6);
    EXPECT_EQ(model->currentPageIndex(), 6);
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
    EXPECT_TRUE(waitForPage(7));
    EXPECT_EQ(model->currentPageIndex(), 7);
}

// The tilt leans the book back in depth, as the page view tilts its pages:
// at 30° the spread's top draws in and its bottom reaches out, and the
// tilted spread keeps within the view, its bottom margin on screen.
TEST_F(BookPageTest, TheTiltLeansTheSpreadBackWithinTheView)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    // The bounds of the spread's sheets as drawn; whether a sheet is drawn
    // a few pixels inside each corner of those bounds, and at the middle.
    const QString probe = QStringLiteral(R"((() => {
        const boxes = [...document.querySelectorAll('.sheet')].map((s) => s.getBoundingClientRect())
            .filter((b) => b.width > 0 && b.height > 0 && b.right > 0 && b.left < innerWidth);
        const r = { left: Math.min(...boxes.map((b) => b.left)), top: Math.min(...boxes.map((b) => b.top)),
                    right: Math.max(...boxes.map((b) => b.right)), bottom: Math.max(...boxes.map((b) => b.bottom)) };
        const on = (x, y) => !!document.elementFromPoint(x, y)?.closest('.sheet');
        const d = 6;
        const inside = r.left >= 20 && r.top >= 20 && r.right <= innerWidth - 20 && r.bottom <= innerHeight - 20;
        return [inside, on(r.left + d, r.top + d), on(r.right - d, r.top + d), on(r.left + d, r.bottom - d),
                on(r.right - d, r.bottom - d), on((r.left + r.right) / 2 - 20, (r.top + r.bottom) / 2)].join(' ');
    })())");
    ASSERT_TRUE(waitForSpreadInPlace(view));
    ASSERT_EQ(evaluate(view, probe).toString(), QStringLiteral("true true true true true true"));
    parameters.angle = 30;
    view.setParameters(parameters);
    EXPECT_TRUE(test::waitFor([&] { return evaluate(view, probe).toString() == QStringLiteral("true false false true true true"); }))
        << qPrintable(evaluate(view, probe).toString());
}

// A widget floating over the book (the dock) that folds up as the pointer
// comes to it: the click meant for it does not turn the book; a click
// there a while later does.
TEST_F(BookPageTest, AClickWhereAFloatingWidgetJustStoodDoesNotTurn)
{
    openAt(3);
    QWidget window;
    window.resize(1000, 700);
    auto *view = new PaperBookView(model.get(), &window);
    view->setGeometry(window.rect());
    BookViewParameters parameters;
    parameters.reducedMotion = true;
    view->setParameters(parameters);
    // Over the outer edges of the pages, where a click turns on or back.
    const SpreadPlacement placement = SpreadPlacement::of(view->size(), view->coordinator()->aspect(),
                                                          platform::BookLayout::Spread, 1, 3, 10, view->devicePixelRatioF());
    const QRectF left = placement.sheets.at(0).second;
    const QRectF right = placement.sheets.at(1).second;
    const QPoint edge(int(right.left() + right.width() * 0.9), int(right.center().y()));
    const QPoint backEdge(int(left.left() + left.width() * 0.1), int(left.center().y()));
    auto *floating = new QWidget(&window);
    floating->setGeometry(QRect(edge - QPoint(30, 30), QSize(60, 60)));
    FloatingOverBook::follow(floating);
    window.show();
    floating->raise();
    countDrawnSpreads(*view);
    ASSERT_TRUE(test::waitFor([&] { return view->coordinator()->paperReady(); }));
    ASSERT_TRUE(waitForSpreadInPlace(*view));
    QWidget *input = view->webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    QList<int> pages;
    QObject::connect(model.get(), &model::SharedPDFViewModel::currentPageIndexChanged, &window,
                     [&] { pages << model->currentPageIndex(); });

    // The page answers a click it did not take for a turn by clearing the
    // selection (under load, one that came while the book was still
    // settling): the click is given again then.
    int notTurns = 0;
    QObject::connect(view->page()->port(), &localweb::MessagePort::received, &window, [&](const QString &text) {
        notTurns += text.contains(QStringLiteral("\"clearSelection\""));
    });

    platform::ManualClock clock;
    floating->hide();
    QTest::mouseClick(input, Qt::LeftButton, {}, edge);
    // The page takes clicks in order: a turn the first click made would be
    // told before the turn back of the second.
    for (int attempt = 0; attempt < 5 && pages.isEmpty(); ++attempt) {
        const int answered = notTurns;
        QTest::mouseClick(input, Qt::LeftButton, {}, backEdge);
        ASSERT_TRUE(test::waitFor([&] { return !pages.isEmpty() || notTurns > answered; }));
    }
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_LT(pages.first(), 3) << pages.first();

    // Past the guard, once the spread turned back to is drawn and on
    // screen, a click turns again.
    ASSERT_TRUE(test::waitFor([&] { return drawnPage == pages.last() && sheetUnder(*view, edge) == pages.last() + 1; }));
    clock.advance(FloatingOverBook::keepMs / 1000.0 + 0.001);
    const int before = model->currentPageIndex();
    bool turned = false;
    for (int attempt = 0; attempt < 5 && !turned; ++attempt) {
        const int answered = notTurns;
        const QPoint edge(int(right.left() + right.width() * 0.9), int(right.center().y()) + 20 * attempt);
        QTest::mouseClick(input, Qt::LeftButton, {}, edge);
        ASSERT_TRUE(test::waitFor([&] { return model->currentPageIndex() > before || notTurns > answered; }));
        turned = model->currentPageIndex() > before;
    }
    EXPECT_TRUE(turned);
}

// A citation preview over the book closes at a click anywhere, a key (also
// a shortcut of the window), a scroll, or the pointer going out of the
// view; the key still turns the book.
TEST_F(BookPageTest, ClicksKeysScrollsAndMovesOutCloseThePreview)
{
    openAt(3);
    test::WindowWithToolbar toolbar(QSize(1000, 740));
    QWidget &window = toolbar.window;
    auto *view = new PaperBookView(model.get(), &window);
    view->setGeometry(toolbar.below());
    BookViewParameters parameters;
    parameters.reducedMotion = true;
    view->setParameters(parameters);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(test::waitFor([&] { return view->coordinator()->paperReady(); }));
    QWidget *input = view->webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    input->setFocus();
    ASSERT_TRUE(test::waitFor([&] { return input->hasFocus(); }));
    int dismissals = 0;
    view->webView()->referencePreview = std::make_unique<CountingPreview>(dismissals);

    // A move within the view is the page's to tell.
    QTest::mouseMove(input, QPoint(500, 350));
    QTest::mouseMove(input, QPoint(520, 360));
    EXPECT_EQ(dismissals, 0);
    test::expectClicksKeysScrollsAndMovesOutCloseThePreview(view->webView(), input, toolbar, [&] { return dismissals; });
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() >= 5; })) << model->currentPageIndex();
}

// A key pressed while the reader sees the first spread, before the page
// can turn it (the web engine not started yet), turns the book once the
// page has drawn the paper; the keys of the window pass.
TEST_F(BookPageTest, AKeyBeforeThePageIsReadyTurnsOnceItIs)
{
    openAt(3);
    PaperBookView view(model.get());
    view.resize(1000, 700);
    view.show();
    view.setFocus();
    ASSERT_FALSE(view.webEngineStarted());
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Right);
    QKeyEvent windowKey(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier);
    QCoreApplication::sendEvent(&view, &windowKey);
    EXPECT_FALSE(windowKey.isAccepted());
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }));
    EXPECT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 7; })) << model->currentPageIndex();
}

// A click near the right page's outer edge turns the book even when the
// book is built anew (a setting that rebuilds it changed) while the click
// waits to be told from a double click.
TEST_F(BookPageTest, AClickTurnsThoughTheBookIsBuiltAnewMeanwhile)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    ASSERT_TRUE(waitForSpreadInPlace(view));
    QWidget *input = view.webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    const QRectF right = sheetOfSpread(view, 1);
    // A click that lands on the book just built, before it settled, is
    // answered by clearing the selection; one pressed on the book the
    // rebuild then took away is no click at all (the browser drops a click
    // whose pressed element left the document), and nothing answers. Either
    // way it is given again, a little lower, that the two are not one
    // double click however slowly the first was delivered. A turn dropped
    // with the old book never comes, however often the click is given.
    int notTurns = 0;
    QObject::connect(view.page()->port(), &localweb::MessagePort::received, &view, [&](const QString &text) {
        notTurns += text.contains(QStringLiteral("\"clearSelection\""));
    });
    bool turned = false;
    for (int attempt = 0; attempt < 6 && !turned; ++attempt) {
        const int answered = notTurns;
        const QPoint edge(int(right.left() + right.width() * 0.9), int(right.center().y()) + 20 * attempt);
        QTest::mouseClick(input, Qt::LeftButton, {}, edge);
        parameters.reducedMotion = !parameters.reducedMotion;
        view.setParameters(parameters);
        turned = QTest::qWaitFor([&] { return model->currentPageIndex() > 3 || notTurns > answered; }, 10000)
                 && model->currentPageIndex() > 3;
    }
    EXPECT_TRUE(turned);
}

// Two turns asked for quickly, and the book built anew (the view resized)
// while they are under way: the book ends two spreads on, not where the
// leaf in flight started from.
TEST_F(BookPageTest, TurnsUnderWayOutliveABookBuiltAnew)
{
    openAt(3);
    PaperBookView view(model.get());
    countDrawnSpreads(view);
    BookViewParameters parameters;
    // The slowest turn: the book is built anew while it is in flight.
    parameters.turnDuration = platform::booksetting::turnDuration.highest;
    view.setParameters(parameters);
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }));
    ASSERT_TRUE(waitForSpreadInPlace(view));
    QWidget *input = view.webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    QTest::keyClick(input, Qt::Key_Right);
    QTest::keyClick(input, Qt::Key_Right);
    ASSERT_TRUE(test::waitFor([&] { return model->currentPageIndex() > 3; }));
    view.resize(900, 650);
    EXPECT_TRUE(test::waitFor([&] { return drawnPage == 7; })) << drawnPage;
    EXPECT_EQ(model->currentPageIndex(), 7);
}

// A right click shows no menu of the web engine's own (its Reload would
// leave the pane empty). With the text tool off it does nothing; with it on
// it picks the word under the pointer, as a double click does.
TEST_F(BookPageTest, ARightClickPicksAWordOnlyWithTheTextTool)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    ASSERT_TRUE(waitForSpreadInPlace(view));
    QWidget *input = view.webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    // "Page" of "Page 4 of the book" on the left-hand sheet, at the middle
    // of its letters.
    const QRectF sheet = sheetOfSpread(view, 0);
    const double width = engine::PdfFixtureWriter::textWidth(QStringLiteral("Page"), engine::FixtureFont::Helvetica, 12);
    const QPoint word(int(sheet.left() + sheet.width() * (72 + width / 2) / 612),
                      int(sheet.top() + sheet.height() * (1 - 704.0 / 792)));

    QTest::mouseClick(input, Qt::RightButton, {}, word);
    ASSERT_TRUE(test::waitFor([&] { return view.webView()->lastContextMenuRequest() != nullptr; }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(model->bookTextMode());
    EXPECT_TRUE(model->selectionText().isEmpty());
    EXPECT_EQ(model->currentPageIndex(), 3);

    ASSERT_TRUE(switchTextToolOn(view));
    ASSERT_TRUE(test::waitFor([&] { return sheetUnder(view, word) == 3; }));
    QTest::mouseClick(input, Qt::RightButton, {}, word);
    EXPECT_TRUE(test::waitFor([&] { return model->selectionText() == QStringLiteral("Page"); }))
        << qPrintable(model->selectionText());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

// The page loaded anew without a crash (the engine's Reload) shows the paper
// again at the page the reader is on.
TEST_F(BookPageTest, APageLoadedAnewShowsThePaperAgain)
{
    openAt(5);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    const QString before = view.coordinator()->token();
    drawnPage = -1;
    view.page()->triggerAction(QWebEnginePage::Reload);
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->token() != before; }));
    EXPECT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady() && drawnPage == 5; }));
    EXPECT_EQ(model->currentPageIndex(), 5);
    EXPECT_FALSE(model->bookError());
}

// With the text tool off, a drag from a page's outer corner turns the leaf
// under the pointer; let go short of the middle, the leaf falls back. With
// the text tool on, the same drag selects text.
TEST_F(BookPageTest, ACornerDragTurnsTheLeafOrLetsItFallBack)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    ASSERT_TRUE(waitForSpreadInPlace(view));
    QWidget *input = view.webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    const QRectF right = sheetOfSpread(view, 1);
    const QPoint corner(int(right.right() - right.width() * 0.04), int(right.bottom() - right.height() * 0.04));
    const auto shown = [&](int page) {
        return evaluate(view, QStringLiteral("getComputedStyle(document.querySelector('.sheet[data-page=\"%1\"]')"
                                             ".closest('.page')).display !== 'none'").arg(page)).toBool();
    };
    const auto drag = [&](QPoint to) {
        QTest::mousePress(input, Qt::LeftButton, {}, corner);
        for (int step = 1; step <= 8; ++step)
            QTest::mouseMove(input, corner + (to - corner) * step / 8);
    };

    // Short of the middle: the leaf is lifted (the page under it shows),
    // then falls back.
    drag(QPoint(int(right.left() + right.width() * 0.6), int(right.center().y())));
    ASSERT_TRUE(test::waitFor([&] { return shown(5); })) << "the leaf was not lifted";
    QTest::mouseRelease(input, Qt::LeftButton, {}, QPoint(int(right.left() + right.width() * 0.6), int(right.center().y())));
    ASSERT_TRUE(test::waitFor([&] { return !shown(5); })) << "the leaf did not fall back";
    ASSERT_TRUE(test::waitFor([&] { return sheetUnder(view, corner) == 4; }));
    EXPECT_EQ(model->currentPageIndex(), 3);
    EXPECT_FALSE(model->bookTextMode());

    // Past the middle: the leaf turns.
    const QPoint far(int(sheetOfSpread(view, 0).left() + 40), int(right.center().y()));
    drag(far);
    QTest::mouseRelease(input, Qt::LeftButton, {}, far);
    ASSERT_TRUE(test::waitFor([&] { return model->currentPageIndex() == 5 && drawnPage == 5; }));
    EXPECT_FALSE(model->bookTextMode());
    EXPECT_TRUE(model->selectionText().isEmpty());

    // With the text tool on the drag selects.
    ASSERT_TRUE(switchTextToolOn(view));
    ASSERT_TRUE(test::waitFor([&] { return sheetUnder(view, corner) == 6; }));
    drag(far);
    QTest::mouseRelease(input, Qt::LeftButton, {}, far);
    EXPECT_TRUE(test::waitFor([&] { return !model->selectionText().isEmpty(); }));
    // The page the selection began on, in the same spread.
    EXPECT_EQ(model->currentPageIndex(), 6);
    EXPECT_TRUE(shown(5) && shown(6) && !shown(7));
}

// Zoomed in, every turn shows the new spread from its top, and across the
// page turned to: the left-hand page going on, the right-hand page going
// back.
TEST_F(BookPageTest, AZoomedTurnShowsTheNewSpreadFromItsTopAndThePageTurnedTo)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    parameters.zoom = 1.3;
    ASSERT_TRUE(showCountingSpreads(view, parameters));
    ASSERT_TRUE(waitForPage(3));
    // The scroll, and whether the left and the right page are whole in the view.
    const QString place = QStringLiteral(R"((() => {
        const stage = document.getElementById('stage');
        const tilt = document.getElementById('tilt');
        const width = tilt.offsetWidth / 2;
        const inView = (left) => left >= stage.scrollLeft && left + width <= stage.scrollLeft + stage.clientWidth;
        return [stage.scrollTop, inView(tilt.offsetLeft), inView(tilt.offsetLeft + width)].join(' ');
    })())");
    const QString toEnd = QStringLiteral(
        "(() => { const s = document.getElementById('stage'); s.scrollTop = s.scrollHeight;"
        " s.scrollLeft = s.scrollWidth; return s.scrollTop > 0 && s.scrollLeft > 0; })()");
    ASSERT_TRUE(evaluate(view, toEnd).toBool()) << "the zoomed book does not overflow the view";
    ASSERT_EQ(evaluate(view, place).toString(), QStringLiteral("%1 false true").arg(evaluate(view, QStringLiteral("document.getElementById('stage').scrollTop")).toInt()));

    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
    ASSERT_TRUE(waitForPage(5));
    EXPECT_EQ(evaluate(view, place).toString(), QStringLiteral("0 true false"));

    evaluate(view, toEnd);
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(false));
    ASSERT_TRUE(waitForPage(3));
    EXPECT_EQ(evaluate(view, place).toString(), QStringLiteral("0 false true"));
}

// The page reads no local file, whatever a script in it asks.
TEST_F(BookPageTest, ThePageReadsNoLocalFile)
{
    PaperBookView view(model.get());
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->isReady(); }));
    EXPECT_EQ(test::readFromPageThroughFileUrls(view.page(), root()), QString());
}

// The first spread is drawn from its rasters before the web engine starts,
// and gives way to the page once the page has drawn it.
TEST_F(BookPageTest, TheFirstSpreadIsShownBeforeThePageHasStarted)
{
    openAt(3);
    PaperBookView view(model.get());
    std::optional<bool> startedAtPaint;
    QObject::connect(view.cover(), &BookCover::spreadPainted, &view,
                     [&] { startedAtPaint = view.webEngineStarted(); });
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return startedAtPaint.has_value(); }));
    EXPECT_FALSE(*startedAtPaint) << "the web engine started before the spread was painted";
    EXPECT_TRUE(view.cover()->complete());
    EXPECT_TRUE(view.cover()->isVisible());
    EXPECT_FALSE(view.coordinator()->paperReady()) << "the page came first";
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->paperReady(); }));
    EXPECT_TRUE(test::waitFor([&] { return view.cover()->finished(); }));
    EXPECT_FALSE(view.cover()->isVisible());
    EXPECT_EQ(model->currentPageIndex(), 3);
}

// The wallpaper of the widget the book lies in shows behind the book where
// that widget draws it, in the cover's spread and on the page, and follows
// the book's moves, the backdrop's size and another wallpaper.
TEST_F(BookPageTest, TheWallpaperShowsBehindTheBookWhereTheBackdropDrawsIt)
{
    openAt(3);
    QImage wallpaper(300, 200, QImage::Format_RGB32);
    wallpaper.fill(Qt::red);
    for (int y = 0; y < 200; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(wallpaper.scanLine(y)) + 150, 150, qRgb(0, 0, 255));
    QWidget backdrop;
    backdrop.resize(1200, 800);
    QWidget holder(&backdrop);
    holder.setGeometry(100, 60, 1000, 700);
    auto *view = new PaperBookView(model.get(), &holder);
    view->resize(1000, 700);
    view->setWallpaper(wallpaper, &backdrop);
    backdrop.show();
    // The wallpaper fills the backdrop: its left half lies under the book's
    // left side, its right half under the right.
    ASSERT_TRUE(test::waitFor([&] { return view->cover()->complete(); }));
    const QImage cover = view->cover()->grab().toImage();
    EXPECT_EQ(cover.pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(cover.pixelColor(996, 696), QColor(Qt::blue));

    ASSERT_TRUE(test::waitFor([&] { return view->coordinator()->paperReady(); }));
    const auto background = [&] {
        return evaluate(*view, QStringLiteral("(() => { const s = getComputedStyle(document.body);"
                                              " return [s.backgroundImage, s.backgroundSize, s.backgroundPosition].join('|'); })()"))
            .toString();
    };
    const QString first = QStringLiteral("url(\"folvan-book://local/wallpaper/1.png\")|");
    EXPECT_TRUE(test::waitFor([&] { return background() == first + QStringLiteral("1200px 800px|-100px -60px"); }))
        << background().toStdString();
    // The page gets the picture itself: red on the left, blue on the right.
    evaluate(*view, QStringLiteral("window.seen = ''; { const i = new Image(); i.onload = () => {"
                                   " const g = document.createElement('canvas').getContext('2d'); g.drawImage(i, 0, 0);"
                                   " const at = (x) => g.getImageData(x, 5, 1, 1).data.slice(0, 3).join(',');"
                                   " window.seen = [i.width, i.height, at(5), at(i.width - 5)].join(' '); };"
                                   " i.src = 'folvan-book://local/wallpaper/1.png'; } 0"));
    EXPECT_TRUE(test::waitFor([&] { return evaluate(*view, QStringLiteral("window.seen")).toString() == QStringLiteral("300 200 255,0,0 0,0,255"); }))
        << evaluate(*view, QStringLiteral("window.seen")).toString().toStdString();

    holder.move(40, 20);
    EXPECT_TRUE(test::waitFor([&] { return background() == first + QStringLiteral("1200px 800px|-40px -20px"); }))
        << background().toStdString();
    backdrop.resize(900, 800);
    EXPECT_TRUE(test::waitFor([&] { return background() == first + QStringLiteral("1200px 800px|-190px -20px"); }))
        << background().toStdString();

    view->setWallpaper(QImage(), &backdrop);
    EXPECT_TRUE(test::waitFor([&] { return background().startsWith(QStringLiteral("none|")); })) << background().toStdString();
    wallpaper.fill(Qt::green);
    view->setWallpaper(wallpaper, &backdrop);
    EXPECT_TRUE(test::waitFor([&] { return background().contains(QStringLiteral("/wallpaper/2.png")); }))
        << background().toStdString();
}

// A book view that is hidden in the turn it was made (a paper opened in the
// page view) starts no web engine until it is shown.
TEST_F(BookPageTest, AHiddenBookViewStartsNoWebEngine)
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    auto *view = new PaperBookView(model.get(), &window);
    view->resize(800, 600);
    view->show();
    view->hide();
    bool turned = false;
    platform::runOnMain([&] { turned = true; });
    ASSERT_TRUE(test::waitFor([&] { return turned; }));
    EXPECT_FALSE(view->webEngineStarted());
    view->show();
    EXPECT_TRUE(test::waitFor([&] { return view->webEngineStarted(); }));
}

// A view too small for the cover paints no spread: the web engine starts
// all the same, and the page draws the book.
TEST_F(BookPageTest, AViewWithoutACoverStillStartsThePage)
{
    PaperBookView view(model.get());
    view.resize(80, 80);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.webEngineStarted(); }));
    EXPECT_FALSE(view.cover()->isVisible());
    EXPECT_TRUE(test::waitFor([&] { return view.coordinator()->isReady(); }));
}

// A resize builds the book again at the page shown: a book of an earlier
// build (before a zoom step) neither turns the reader back nor stores its
// own page.
TEST_F(BookPageTest, AResizeAfterARebuildKeepsThePage)
{
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));

    const QString bookWidth = QStringLiteral("document.getElementById('tilt').style.width");
    const QString widthAtOne = evaluate(view, bookWidth).toString();
    parameters.zoom = 1.1;
    view.setParameters(parameters);
    ASSERT_TRUE(test::waitFor([&] { return evaluate(view, bookWidth).toString() != widthAtOne; }));
    for (int page : {1, 3, 5}) {
        model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
        ASSERT_TRUE(waitForPage(page));
    }
    const QString stored = QStringLiteral("lastPage_") + pdf;
    ASSERT_EQ(platform::Preferences::shared().intValue(stored), 5);

    // The book is built again for the new size, then drawn.
    const QString widthBefore = evaluate(view, bookWidth).toString();
    view.resize(820, 700);
    ASSERT_TRUE(test::waitFor([&] { return evaluate(view, bookWidth).toString() != widthBefore; }));
    const int before = drawn;
    ASSERT_TRUE(waitForDrawing(before));
    EXPECT_EQ(drawnPage, 5);
    EXPECT_EQ(model->currentPageIndex(), 5);
    EXPECT_EQ(platform::Preferences::shared().intValue(stored), 5);
}

// The spread on screen and the spreads either side of it hold decoded
// rasters, so that a turn shows print on its leaf and on the page it
// uncovers from its first frame; pages farther away hold none. A zoom build
// draws them at the new size.
TEST_F(BookPageTest, TheShownAndNeighbouringSpreadsHoldDecodedRasters)
{
    openAt(3);
    PaperBookView view(model.get());
    BookViewParameters parameters;
    ASSERT_TRUE(showCountingSpreads(view, parameters));

    const QString painted = QStringLiteral(
        "[...document.querySelectorAll('canvas.raster')].filter((c) => c.width > 0)"
        ".map((c) => c.closest('.sheet').dataset.page + ':' + Math.max(c.width, c.height)).join(' ')");
    const auto pages = [](const QString &list) {
        QStringList found;
        for (const QString &entry : list.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            found.append(entry.section(QLatin1Char(':'), 0, 0));
        return found.join(QLatin1Char(' '));
    };
    const auto edges = [](const QString &list) {
        QSet<QString> found;
        for (const QString &entry : list.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            found.insert(entry.section(QLatin1Char(':'), 1));
        return found;
    };
    QString atOne;
    ASSERT_TRUE(test::waitFor([&] {
        atOne = evaluate(view, painted).toString();
        return pages(atOne) == QStringLiteral("1 2 3 4 5 6");
    })) << qPrintable(atOne);
    ASSERT_EQ(edges(atOne).size(), 1) << qPrintable(atOne);

    parameters.zoom = 1.5;
    view.setParameters(parameters);
    QString zoomed;
    ASSERT_TRUE(test::waitFor([&] {
        zoomed = evaluate(view, painted).toString();
        return pages(zoomed) == QStringLiteral("1 2 3 4 5 6") && edges(zoomed) != edges(atOne);
    })) << qPrintable(zoomed);
    ASSERT_EQ(edges(zoomed).size(), 1) << qPrintable(zoomed);
    EXPECT_GT(edges(zoomed).begin()->toInt(), edges(atOne).begin()->toInt());

    // A turn that does not end while the test runs: the leaf (pages 4 and
    // 5) and the page it uncovers (6) carry their print as it starts.
    parameters.reducedMotion = false;
    const int before = drawn;
    view.setParameters(parameters);
    ASSERT_TRUE(waitForDrawing(before));
    ASSERT_TRUE(test::waitFor([&] {
        const QString now = evaluate(view, painted).toString();
        return pages(now) == QStringLiteral("1 2 3 4 5 6") && edges(now) == edges(zoomed);
    }));
    evaluate(view, QStringLiteral("window.folvan.settings({turnDuration: 100000}); null;"));
    const QString leaf = QStringLiteral(
        "[4, 5, 6].map((n) => { const s = document.querySelector(`.sheet[data-page=\"${n}\"]`);"
        " if (getComputedStyle(s.closest('.page')).display === 'none') return 'hidden';"
        " return s.querySelector('canvas.raster').width > 0 ? 'print' : 'blank'; }).join(' ')");
    model::SharedPDFViewModelTestPeer(&*model).setBookTurnRequest(model::BookTurnRequest::make(true));
    QString turning;
    ASSERT_TRUE(test::waitFor([&] {
        turning = evaluate(view, leaf).toString();
        return !turning.contains(QStringLiteral("hidden"));
    })) << qPrintable(turning);
    EXPECT_EQ(turning, QStringLiteral("print print print"));
}

// The card over a failed book offers scroll reading.
TEST_F(BookPageTest, TheErrorCardOffersScrollReading)
{
    PaperReadingView view(model.get());
    std::optional<bool> chosen;
    view.setOnModeChange([&](bool book) { chosen = book; });
    view.resize(800, 600);
    view.show();
    EXPECT_FALSE(view.errorCard()->isVisible());
    model::SharedPDFViewModelTestPeer(&*model).setBookError(QStringLiteral("书页渲染失败。"));
    ASSERT_TRUE(view.errorCard()->isVisible());
    EXPECT_LE(view.errorCard()->width(), 360);
    QPushButton *button = nullptr;
    for (QPushButton *candidate : view.errorCard()->findChildren<QPushButton *>())
        if (candidate->text() == QStringLiteral("切换到滚动阅读"))
            button = candidate;
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(chosen, false);
    model::SharedPDFViewModelTestPeer(&*model).setBookError(std::nullopt);
    EXPECT_FALSE(view.errorCard()->isVisible());
}

// Where the web engine would end the process, the book starts no web view:
// its card says the renderer did not start and offers scroll reading, also
// for the next paper, and the card shows the whole message.
TEST_F(BookPageTest, WithoutAWebEngineTheBookShowsItsErrorCard)
{
    test::WithoutWebEngine missing;
    PaperReadingView view(model.get());
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.errorCard()->isVisible(); }));
    EXPECT_FALSE(view.bookView()->webEngineStarted());
    const QString started = QStringLiteral("本地书页渲染器未能启动。");
    EXPECT_EQ(model->bookError(), started);

    model::SharedPDFViewModelTestPeer(&*model).setPdfDocument(engine::PdfDocument::open(pdf));
    bool turned = false;
    platform::runOnMain([&] { turned = true; });
    ASSERT_TRUE(test::waitFor([&] { return turned; }));
    EXPECT_EQ(model->bookError(), started);
    EXPECT_FALSE(view.bookView()->webEngineStarted());

    // A message of several lines in the narrowest card.
    view.resize(200, 600);
    model::SharedPDFViewModelTestPeer(&*model).setBookError(started + started + started);
    QLabel *message = nullptr;
    for (QLabel *label : view.errorCard()->findChildren<QLabel *>())
        if (label->text() == model->bookError())
            message = label;
    ASSERT_NE(message, nullptr);
    EXPECT_GE(message->height(), message->heightForWidth(message->width()));
    EXPECT_GT(message->heightForWidth(message->width()), message->fontMetrics().height());
}

// The card shows a message of any length whole, in lines of even length
// (the last word never alone on its line), and a word longer than the card
// (a path) broken across lines; it follows the interface text size while
// it is shown.
TEST_F(BookPageTest, TheErrorCardShowsItsMessageWholeAndFollowsTheTextSize)
{
    test::WithoutWebEngine missing;
    PaperReadingView view(model.get());
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.errorCard()->isVisible(); }));
    const auto messageLabel = [&]() -> QLabel * {
        for (QLabel *label : view.errorCard()->findChildren<QLabel *>())
            if (label->text() == model->bookError())
                return label;
        return nullptr;
    };
    // The rows of ink of each line of the message as drawn, and their widths.
    const auto inkLines = [&](QLabel *label) {
        const QImage image = label->grab().toImage();
        const QRgb background = image.pixel(0, 0);
        std::vector<int> widths;
        bool inLine = false;
        for (int y = 0; y < image.height(); ++y) {
            int left = image.width();
            int right = -1;
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < qGray(background) - 60) {
                    left = std::min(left, x);
                    right = x;
                }
            if (right >= 0 && !inLine)
                widths.push_back(0);
            if (right >= 0)
                widths.back() = std::max(widths.back(), right - left);
            inLine = right >= 0;
        }
        return widths;
    };

    model::SharedPDFViewModelTestPeer(&*model).setBookError(QStringLiteral("书页渲染器已停止，请切到滚动阅读后重新打开翻书。"));
    QLabel *message = messageLabel();
    ASSERT_NE(message, nullptr);
    std::vector<int> lines = inkLines(message);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_GE(lines.back() * 2, lines.front()) << lines.front() << " " << lines.back();

    const QString path = QStringLiteral("无法读取：/home/reader/papers/") + QString(200, QLatin1Char('x')) + QStringLiteral(".pdf");
    model::SharedPDFViewModelTestPeer(&*model).setBookError(path);
    message = messageLabel();
    ASSERT_NE(message, nullptr);
    const double advance = QFontMetricsF(message->font()).horizontalAdvance(path);
    EXPECT_GE(message->heightForWidth(message->width()), message->fontMetrics().height() * int(advance / message->width()));
    EXPECT_GE(message->height(), message->heightForWidth(message->width()));
    EXPECT_LE(message->geometry().right(), view.errorCard()->width() - 24);

    const double size = message->font().pointSizeF();
    const int height = view.errorCard()->height();
    platform::Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), 20.0);
    EXPECT_GT(message->font().pointSizeF(), size);
    EXPECT_GT(view.errorCard()->height(), height);
    EXPECT_GE(message->height(), message->heightForWidth(message->width()));
    platform::Preferences::shared().remove(QStringLiteral("folvan.interfaceTextSize"));
}

// A render process that could not be launched is not started again: the
// book says it did not start, a failed load after it does not blank the
// message, and later web views are not made.
TEST_F(BookPageTest, ARenderProcessThatNeverRanEndsTheBookAtOnce)
{
    PaperReadingView view(model.get());
    view.resize(800, 600);
    view.show();
    QWebEnginePage *page = view.bookView()->page();
    ASSERT_TRUE(test::waitFor([&] { return view.bookView()->coordinator()->paperReady(); }));
    emit page->renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus(-1), 1002);
    const QString started = QStringLiteral("本地书页渲染器未能启动。");
    EXPECT_EQ(model->bookError(), started);
    EXPECT_TRUE(view.errorCard()->isVisible());
    view.bookView()->coordinator()->pageLoadFailed(QString());
    EXPECT_EQ(model->bookError(), started);
    EXPECT_FALSE(platform::webEngineCanStart());
    platform::forgetRenderProcessNeverStarted();

    // A load failing without a word still says something.
    model::SharedPDFViewModelTestPeer(&*model).setBookError(std::nullopt);
    PaperBookView other(model.get());
    other.coordinator()->pageLoadFailed(QString());
    EXPECT_EQ(model->bookError(), started);
}
