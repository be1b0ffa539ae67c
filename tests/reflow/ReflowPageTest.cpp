// The reflow page as built into the program, in a real web view: how it
// behaves as the reader moves through a paper (links followed and back,
// paging, the controls over the text, the keyboard) and how its typography
// holds up. The papers are written by the tests.

#include "support/SharedPDFViewModelTestPeer.h"
#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "localweb/LocalWebView.h"
#include "reflow/ReflowView.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <optional>
#include <tuple>

using namespace folvan;
using folvan::engine::FixtureFont;
using folvan::engine::PdfFixtureWriter;
using folvan::reflow::ReflowView;

namespace {

const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-reflow"));
    return true;
}();

constexpr int kPages = 20;
constexpr int kLinkPage = 1;
constexpr int kTargetPage = 17;

// A paper of twenty pages of body text. Page 1 has a link to the heading
// of page 17; page 5 begins with a heading.
QString writeLongPaper(const QString &path)
{
    PdfFixtureWriter w;
    for (int n = 0; n < kPages; ++n) {
        const int page = w.addPage();
        double y = 740;
        if (n == 5 || n == kTargetPage) {
            w.addText(page, {72, y}, QStringLiteral("%1 Heading Of Page %2").arg(n).arg(n), FixtureFont::Helvetica, 14);
            y -= 28;
        }
        for (int i = 0; i < 44; ++i, y -= 14) {
            // A paragraph of four lines, then the next.
            const double x = i % 4 == 0 ? 84 : 72;
            w.addText(page, {x, y},
                      QStringLiteral("Line %1 of page %2 says what the paper says here in plain words.").arg(i).arg(n),
                      FixtureFont::Helvetica, 10);
        }
        if (n == kLinkPage)
            w.addText(page, {72, 90}, QStringLiteral("See the heading far ahead for more."), FixtureFont::Helvetica, 10);
    }
    w.addLink(kLinkPage, QRectF(72 + PdfFixtureWriter::textWidth(QStringLiteral("See the "), FixtureFont::Helvetica, 10),
                                86, PdfFixtureWriter::textWidth(QStringLiteral("heading"), FixtureFont::Helvetica, 10), 12),
              kTargetPage, QPointF(72, 760));
    EXPECT_TRUE(w.save(path));
    return path;
}

// Three pages of body text under a title set large at the top of the first.
QString writeTitledPaper(const QString &path)
{
    PdfFixtureWriter w;
    for (int n = 0; n < 3; ++n) {
        const int page = w.addPage();
        double y = 740;
        if (n == 0) {
            w.addText(page, {120, y}, QStringLiteral("A Title Set Large"), FixtureFont::Helvetica, 24);
            y -= 48;
        }
        for (int i = 0; y > 80; ++i, y -= 14) {
            w.addText(page, {i % 4 == 0 ? 84.0 : 72.0, y},
                      QStringLiteral("Line %1 of page %2 says what the paper says here in plain words.").arg(i).arg(n),
                      FixtureFont::Helvetica, 10);
        }
    }
    EXPECT_TRUE(w.save(path));
    return path;
}

// Two pages of two columns. Page 0 cites the second reference twice in one
// sentence; the references stand in the right column of page 1, beside a
// paragraph of the left column at the same heights. Each link's target is
// where a typesetter puts it: at the left of the reference, on the baseline
// of the line before.
QString writeTwoColumnCitations(const QString &path)
{
    PdfFixtureWriter w;
    const double left = 54, right = 318, size = 9, lead = 11;
    const auto body = [&](int page, double x, double y, int lines, const QString &words) {
        for (int i = 0; i < lines; ++i, y -= lead)
            w.addText(page, {x, y}, QStringLiteral("%1 line %2 goes on.").arg(words).arg(i), FixtureFont::Helvetica, size);
        return y;
    };
    const int first = w.addPage();
    body(first, left, 740, 30, QStringLiteral("Left text of page one,"));
    const QString cite = QStringLiteral("As shown in [2] and again in [2] the claim holds.");
    w.addText(first, {right, 740}, cite, FixtureFont::Helvetica, size);
    body(first, right, 740 - lead, 29, QStringLiteral("Right text of page one,"));
    const int second = w.addPage();
    body(second, left, 740, 30, QStringLiteral("Left text of page two,"));
    w.addText(second, {right, 740}, QStringLiteral("REFERENCES"), FixtureFont::Helvetica, 10);
    double y = 740 - 16;
    std::vector<double> tops;
    for (int n = 1; n <= 4; ++n) {
        tops.push_back(y + lead); // the baseline of the line before
        w.addText(second, {right, y}, QStringLiteral("[%1] Author %2. 2001. The title of work %1.").arg(n).arg(QChar(u'A' + n)), FixtureFont::Helvetica, 8);
        w.addText(second, {right + 10, y - lead}, QStringLiteral("The journal, volume %1, pages 1 to 10.").arg(n), FixtureFont::Helvetica, 8);
        y -= 2 * lead;
    }
    const auto width = [&](const QString &text) { return PdfFixtureWriter::textWidth(text, FixtureFont::Helvetica, size); };
    for (const qsizetype at : {cite.indexOf(QLatin1String("[2]")), cite.lastIndexOf(QLatin1String("[2]"))})
        w.addLink(first, QRectF(right + width(cite.left(at)), 738, width(QStringLiteral("[2]")), 10), second, QPointF(right, tops[1]));
    EXPECT_TRUE(w.save(path));
    return path;
}

class ReflowPageTest : public test::PaneTest {
protected:
    // Shows the paper in the reflow view and waits for its first screen.
    bool show(ReflowView &view, QSize size = QSize(900, 700))
    {
        view.resize(size);
        view.show();
        view.activateWindow();
        if (!QTest::qWaitForWindowExposed(&view) || !QTest::qWaitForWindowActive(&view))
            return false;
        return test::waitFor([&] { return evaluate(view, QStringLiteral("document.documentElement?.dataset.firstScreen === '1'")).toBool(); });
    }

    // The value of a script run in the page.
    static QVariant evaluate(ReflowView &view, const QString &script)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        view.webView()->page()->runJavaScript(script, [result](const QVariant &value) { *result = value; });
        EXPECT_TRUE(test::waitFor([&] { return result->has_value(); })) << "the script gave no answer";
        return result->value_or(QVariant());
    }

    static bool waitForScript(ReflowView &view, const QString &script)
    {
        return test::waitFor([&] { return evaluate(view, script).toBool(); });
    }

    // Keeps the paragraph of a part (`part`, a script) as its pages have it,
    // chosen from the part's right-click menu.
    static void keepParagraphOf(ReflowView &view, const QString &part)
    {
        evaluate(view, QStringLiteral("(() => { const part = %1; part.scrollIntoView({block: 'center'}); const r = part.getClientRects()[0];"
                                      " part.dispatchEvent(new MouseEvent('contextmenu', {bubbles: true, cancelable: true,"
                                      " clientX: r.left + 5, clientY: r.top + 5})); return true; })()").arg(part));
        ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('block-menu').hidden")));
        evaluate(view, QStringLiteral("document.querySelector('#block-menu button[data-choice=\"keep\"]').click(); true"));
    }

    // Clicks "排版", which opens or closes the layout panel.
    static void clickLayoutButton(ReflowView &view)
    {
        evaluate(view, QStringLiteral("[...document.querySelectorAll('#bar button')].find((b) => b.textContent === '排版').click(); true"));
    }

    // A script: how far down the view the controls cover (the bar, and the
    // layout panel while it is open).
    static QString coveredByControls()
    {
        return QStringLiteral("Math.max(document.getElementById('bar').getBoundingClientRect().bottom,"
                              " document.getElementById('panel').hidden ? 0 : document.getElementById('panel').getBoundingClientRect().bottom)");
    }
};

} // namespace

// "返回" after a link that leads far away: the pages around the link are let
// go on the way, and the button still brings the reader back to the link,
// where it stood on screen.
TEST_F(ReflowPageTest, BackAfterAFarJumpReturnsToTheLink)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("far.pdf"))));
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(kLinkPage);
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('a.link[data-internal]')")));
    // The link is brought into view and its place on screen noted.
    const double before = evaluate(view, QStringLiteral(
        "(() => { const a = document.querySelector('a.link[data-internal]'); a.scrollIntoView({block: 'center'});"
        " return a.getBoundingClientRect().top; })()")).toDouble();
    evaluate(view, QStringLiteral("document.querySelector('a.link[data-internal]').click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.querySelector('#bar button.back').hidden")));
    // Far from the link: its page is let go.
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelector('section[data-page=\"%1\"]').classList.contains('placeholder')").arg(kLinkPage)));
    ASSERT_FALSE(evaluate(view, QStringLiteral("!!document.querySelector('a.link[data-internal]')")).toBool());

    evaluate(view, QStringLiteral("document.querySelector('#bar button.back').click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('a.link[data-internal]')")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "(() => { const r = document.querySelector('a.link[data-internal]').getBoundingClientRect();"
        " return r.top > 0 && r.bottom < innerHeight; })()")));
    const double after = evaluate(view, QStringLiteral("document.querySelector('a.link[data-internal]').getBoundingClientRect().top")).toDouble();
    EXPECT_NEAR(after, before, 30);
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.querySelector('#bar button.back').hidden")).toBool());
}

// The page tells where the reader is while the view moves, not only once it
// rests: what a save writes then is a place the reader has just seen.
TEST_F(ReflowPageTest, ThePlaceIsToldWhileTheViewMoves)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("far.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    ASSERT_TRUE(test::waitFor([&] { return model.reflowPage() >= 0; }));
    const auto place = [&] { return std::tuple(model.reflowPage(), model.reflowBlock(), model.reflowOffset()); };
    const auto first = place();
    // A scroll that goes on, a little every frame.
    evaluate(view, QStringLiteral("(function step() { scrollBy(0, 2); window.__moving = requestAnimationFrame(step); })(); true"));
    EXPECT_TRUE(test::waitFor([&] { return place() != first; }));
    EXPECT_TRUE(evaluate(view, QStringLiteral("scrollY + innerHeight < document.documentElement.scrollHeight - 100")).toBool())
        << "the view was still moving";
    evaluate(view, QStringLiteral("cancelAnimationFrame(window.__moving); true"));
}

// A jump whose page is still being laid out when the reader scrolls there:
// the page waits for that layout instead of going round without end, and
// keeps answering.
TEST_F(ReflowPageTest, AJumpAndAScrollToThePageItLaysOutKeepThePageAnswering)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("race.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    for (const int page : {12, 3, 18}) {
        evaluate(view, QStringLiteral("window.folvanReflow.navigate({page: %1});"
                                      " document.querySelector('section[data-page=\"%1\"]').scrollIntoView(); true")
                           .arg(page));
        ASSERT_TRUE(waitForScript(view, QStringLiteral(
            "!document.querySelector('section[data-page=\"%1\"]').classList.contains('placeholder')").arg(page)))
            << "page " << page;
    }
}

// Scrolling by page and jumps leave their target below the controls at the
// top, also while the layout panel is open and the bar takes two rows.
TEST_F(ReflowPageTest, PagingAndJumpsLeaveTheTargetBelowTheControls)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("paging.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(520, 600)));
    // The layout panel is open: the controls cover more of the view.
    clickLayoutButton(view);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('panel').hidden")));
    const QString covered = coveredByControls();

    // A jump to the heading of page 5 shows it whole below the controls.
    evaluate(view, QStringLiteral("window.folvanReflow.navigate({page: 5}); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('section[data-page=\"5\"] h2, section[data-page=\"5\"] h3')")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "Math.abs(document.querySelector('section[data-page=\"5\"] .page-mark').getBoundingClientRect().top - %1) < 40").arg(covered)));
    // The pages around are laid out (those above would move the text).
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "[4, 5, 6, 7].every((i) => !document.querySelector(`section[data-page=\"${i}\"]`).classList.contains('placeholder'))")));
    const double headingTop = evaluate(view, QStringLiteral(
        "document.querySelector('section[data-page=\"5\"] h2, section[data-page=\"5\"] h3').getBoundingClientRect().top")).toDouble();
    EXPECT_GE(headingTop, evaluate(view, covered).toDouble());

    // PageDown from the keyboard: the line that stood at the foot of the
    // view is still to be read, below the controls.
    view.webView()->setFocus();
    ASSERT_TRUE(test::waitFor([&] { return view.webView()->focusProxy()->hasFocus(); }));
    const QString lastLine = QStringLiteral(
        "(() => { const r = document.caretRangeFromPoint(innerWidth / 2, innerHeight - 6);"
        " const n = r && r.startContainer.parentElement; window.__foot = n && n.closest('.block');"
        " return !!window.__foot; })()");
    ASSERT_TRUE(evaluate(view, lastLine).toBool());
    const double footBottom = evaluate(view, QStringLiteral("window.__foot.getBoundingClientRect().bottom")).toDouble();
    const double y0 = evaluate(view, QStringLiteral("scrollY")).toDouble();
    // Heard after the page's own key handler: whether it kept the browser
    // from scrolling as well.
    evaluate(view, QStringLiteral("addEventListener('keydown', (e) => {"
                                  " if (e.key === 'PageDown') window.__paged = e.defaultPrevented; })"));
    QTest::keyClick(view.webView()->focusProxy(), Qt::Key_PageDown);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("window.__paged !== undefined && scrollY > %1").arg(y0)));
    ASSERT_TRUE(evaluate(view, QStringLiteral("window.__paged")).toBool());
    const double moved = evaluate(view, QStringLiteral("scrollY")).toDouble() - y0;
    // The foot of the block that stood at the foot of the view is not
    // scrolled under the controls.
    EXPECT_GE(footBottom - moved, evaluate(view, covered).toDouble());
    EXPECT_GT(moved, 200);
}

// A control clicked with the pointer (the bar's size "−", a box of the
// layout panel) does its work and leaves the keys with the text: Space
// pages, at once and once the view has the keyboard back.
TEST_F(ReflowPageTest, AClickedControlLeavesTheSpaceBarToThePaging)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("space.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(700, 600)));
    QLineEdit elsewhere(&view);
    elsewhere.show();
    QWidget *surface = view.webView()->focusProxy();
    const auto click = [&](const QString &control) {
        const QVariantList at = evaluate(view, QStringLiteral("(() => { const r = %1.getBoundingClientRect();"
                                                              " return [r.left + 4, r.top + r.height / 2]; })()").arg(control)).toList();
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(at.value(0).toInt(), at.value(1).toInt()));
    };
    const QString state = QStringLiteral("getComputedStyle(document.documentElement).getPropertyValue('--font-size')"
                                         " + document.body.className");
    view.webView()->setFocus();
    click(QStringLiteral("document.querySelector('#bar button[data-step=\"fontSize\"]')"));
    clickLayoutButton(view);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('panel').hidden")));
    click(QStringLiteral("document.querySelector('#panel label')"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.body.classList.contains('justify')")));
    const QString set = evaluate(view, state).toString();
    for (const bool away : {false, true}) {
        if (away) {
            elsewhere.setFocus();
            view.webView()->setFocus();
        }
        const double y0 = evaluate(view, QStringLiteral("scrollY")).toDouble();
        QTest::keyClick(surface, Qt::Key_Space);
        EXPECT_TRUE(waitForScript(view, QStringLiteral("scrollY > %1").arg(y0))) << away;
        EXPECT_EQ(evaluate(view, state).toString(), set) << away;
    }
    EXPECT_TRUE(set.startsWith(QLatin1String("19px"))) << set.toStdString();
}

// The typography of the panel leaves the title block and code as they are
// set: an indent does not pull the authors' lines over each other, and
// justification does not stretch the spaces of code.
TEST_F(ReflowPageTest, IndentAndJustificationKeepTheTitleBlockAndCode)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("plain.pdf")), 2));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    evaluate(view, QStringLiteral(
        "(() => { const flow = document.getElementById('flow'); const add = (cls, text) => {"
        " const p = document.createElement('p'); p.className = 'block paragraph ' + cls; p.textContent = text;"
        " flow.prepend(p); return p; };"
        " window.__code2 = add('code', '\\\\author{Brooke Aster, Cy Dee}');"
        " window.__code1 = add('code', '\\\\documentclass[sigconf]{acmart} % a line long enough to wrap when it is justified across the whole column of text');"
        " window.__affil = add('front', 'Institute of Things, City, Country');"
        " window.__author = add('front name', 'Brooke Aster');"
        " return true; })()"));
    evaluate(view, QStringLiteral("window.folvanReflow.settings({indent: true, paragraphSpacing: 1.3, alignment: 'justify'}); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.body.classList.contains('indent') && document.body.classList.contains('justify')")));
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "window.__affil.getBoundingClientRect().top >= window.__author.getBoundingClientRect().bottom")).toBool());
    EXPECT_EQ(evaluate(view, QStringLiteral("getComputedStyle(window.__code1).textAlign")).toString(), QStringLiteral("start"));
    EXPECT_EQ(evaluate(view, QStringLiteral("getComputedStyle(window.__code2).textIndent")).toString(), QStringLiteral("0px"));
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "window.__code2.getBoundingClientRect().top >= window.__code1.getBoundingClientRect().bottom")).toBool());
}

// The controls hide the text that scrolls under them also where the blur
// behind them is not drawn; and nothing in the page scrolls sideways, also
// in a narrow pane.
TEST_F(ReflowPageTest, ControlsStandOverTheTextAndNothingScrollsSideways)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("narrow.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(440, 600)));
    const QString alpha = QStringLiteral(
        "((id) => { const c = getComputedStyle(document.getElementById(id)).backgroundColor;"
        " const m = c.match(/rgba?\\(([^)]*)\\)/); const v = m ? m[1].split(',').map(Number) : [];"
        " return v.length === 4 ? v[3] : v.length === 3 ? 1 : 0; })('%1')");
    EXPECT_GE(evaluate(view, alpha.arg(QStringLiteral("bar"))).toDouble(), 1);
    EXPECT_GE(evaluate(view, alpha.arg(QStringLiteral("panel"))).toDouble(), 1);
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.querySelectorAll('button.flip').length > 0")).toBool());
    EXPECT_LE(evaluate(view, QStringLiteral("document.scrollingElement.scrollWidth")).toInt(),
              evaluate(view, QStringLiteral("document.scrollingElement.clientWidth")).toInt());
    // The button of a block stays inside the view.
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "[...document.querySelectorAll('.block-buttons button')].every((b) => b.getBoundingClientRect().right <= document.documentElement.clientWidth)")).toBool());
}

// Once something was marked, "撤销" is offered for a while, as a toast is,
// not for the rest of the session.
TEST_F(ReflowPageTest, UndoIsOfferedForAWhileAfterAMark)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("marks.pdf")), 2));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    evaluate(view, QStringLiteral("window.folvanReflow.state({annotations: [], corrections: [], canUndo: true, canRedo: false, selectionMapped: true}); true"));
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "!document.getElementById('tools').hidden && document.getElementById('tools').textContent.includes('撤销')")).toBool());
    EXPECT_TRUE(waitForScript(view, QStringLiteral("document.getElementById('tools').hidden")));
    // A state that changes nothing brings it not back.
    evaluate(view, QStringLiteral("window.folvanReflow.state({annotations: [], corrections: [], canUndo: true, canRedo: false, selectionMapped: true}); true"));
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.getElementById('tools').hidden")).toBool());
}

// The page has the keyboard as soon as it shows: its text scrolls by the
// keys without a click in it first.
TEST_F(ReflowPageTest, ThePageHasTheKeyboardWhenItShows)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("keys.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.activeElement === document.getElementById('flow')")).toBool());
}

// On a page of two columns, a citation leads to its reference in the right
// column, not to the left column's paragraph at the same height: both for
// the text shown when the pointer rests on it and for a click. Each of two
// citations of one reference in a sentence is a link.
TEST_F(ReflowPageTest, ACitationLandsOnItsReferenceInTheRightColumn)
{
    model::SharedPDFViewModel &model = openPane(writeTwoColumnCitations(path(QStringLiteral("cite.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('section[data-page=\"1\"] .part')")));
    EXPECT_EQ(evaluate(view, QStringLiteral("document.querySelectorAll('a.link[data-internal]').length")).toInt(), 2);
    evaluate(view, QStringLiteral("document.querySelector('a.link[data-internal]').dispatchEvent(new MouseEvent('mouseover', {bubbles: true})); true"));
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.querySelector('a.link[data-internal]').title")).toString()
                    .startsWith(QStringLiteral("[2] Author C.")));
    evaluate(view, QStringLiteral("[...document.querySelectorAll('a.link[data-internal]')].pop().click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('.flash-block, mark.flash')")));
    const QString landed = evaluate(view, QStringLiteral(
        "(() => { const f = document.querySelector('.flash-block') || document.querySelector('mark.flash').closest('.part');"
        " return f.textContent; })()")).toString();
    EXPECT_TRUE(landed.startsWith(QStringLiteral("[2] Author C."))) << landed.toStdString();
    // It is on screen, below the controls.
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "(() => { const r = document.querySelector('.flash-block, mark.flash').getBoundingClientRect();"
        " return r.top >= document.getElementById('bar').getBoundingClientRect().bottom && r.bottom <= innerHeight; })()")).toBool());
}

// A search hit that runs across a link is drawn in pieces; the pane's n-th
// hit of a page is still the n-th occurrence, shown whole as the current one.
TEST_F(ReflowPageTest, AHitAcrossALinkCountsOnceAndIsCurrentWhole)
{
    model::SharedPDFViewModel &model = openPane(writeTwoColumnCitations(path(QStringLiteral("hits.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('a.link[data-internal]').length === 2")));
    // "As shown in [2] and again in [2] the claim holds.": each "[2]" is a link.
    evaluate(view, QStringLiteral("window.folvanReflow.settings({query: 'in [2]'}); true"));
    // The text just before the current hit, and the current hit's text.
    const QString current = QStringLiteral(
        "(() => { const cur = [...document.querySelectorAll('mark.hit.current')];"
        " if (!cur.length) return '';"
        " const r = document.createRange(); r.setStart(cur[0].closest('.part'), 0); r.setEndBefore(cur[0]);"
        " return r.toString().slice(-6) + '|' + cur.map((m) => m.textContent).join(''); })()");
    evaluate(view, QStringLiteral("window.folvanReflow.navigate({page: 0, ordinal: 0}); true"));
    EXPECT_EQ(evaluate(view, current).toString(), QStringLiteral("shown |in [2]"));
    evaluate(view, QStringLiteral("window.folvanReflow.navigate({page: 0, ordinal: 1}); true"));
    EXPECT_EQ(evaluate(view, current).toString(), QStringLiteral("again |in [2]"));
}

// In a pane too narrow for a block's buttons beside the column, the buttons
// ("显示原图" and "⋯") cover none of the block's first line.
TEST_F(ReflowPageTest, ABlocksButtonCoversNoneOfItsTextInANarrowPane)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("button.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(440, 600)));
    // Justified, the first lines reach the column's right edge.
    evaluate(view, QStringLiteral("window.folvanReflow.settings({alignment: 'justify'}); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.body.classList.contains('justify')")));
    const QString overlaps = QStringLiteral(
        "[...document.querySelectorAll('#flow p.block')].filter((p) => {"
        "  const part = p.querySelector('.part'); if (!part) return false;"
        "  const range = document.createRange(); range.selectNodeContents(part);"
        "  const line = range.getClientRects()[0];"
        "  return [...p.querySelectorAll('.block-buttons button')].some((b) => { if (b.hidden) return false;"
        "    const r = b.getBoundingClientRect();"
        "    return r.left < line.right && line.left < r.right && r.top < line.bottom && line.top < r.bottom; });"
        "}).length");
    EXPECT_GT(evaluate(view, QStringLiteral("document.querySelectorAll('#flow p.block button.flip').length")).toInt(), 3);
    EXPECT_GT(evaluate(view, QStringLiteral("document.querySelectorAll('#flow p.block button.more').length")).toInt(), 3);
    EXPECT_EQ(evaluate(view, overlaps).toInt(), 0);
    // Nor when the pane is wide enough for the button beside the column.
    view.resize(1200, 600);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("innerWidth >= 1100")));
    EXPECT_EQ(evaluate(view, overlaps).toInt(), 0);
}

// The layout panel opened at the top of a paper leaves its title in view
// below it; closed again, the text stays where it was.
TEST_F(ReflowPageTest, TheLayoutPanelOpenedAtTheTopLeavesTheTitleInView)
{
    model::SharedPDFViewModel &model = openPane(writeTitledPaper(path(QStringLiteral("titled.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(520, 600)));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('#flow .block')")));
    const QString title = QStringLiteral("document.querySelector('#flow .block').getBoundingClientRect().top");
    const QString covered = coveredByControls();
    const double before = evaluate(view, title).toDouble();
    ASSERT_GE(before, evaluate(view, covered).toDouble());
    clickLayoutButton(view);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('panel').hidden")));
    EXPECT_GE(evaluate(view, title).toDouble(), evaluate(view, covered).toDouble());
    clickLayoutButton(view);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.getElementById('panel').hidden")));
    EXPECT_NEAR(evaluate(view, title).toDouble(), before, 2);
}

// A resize that wraps the bar to two rows keeps the line that stood at the
// top of the view in view below it.
TEST_F(ReflowPageTest, ABarWrappedByAResizeLeavesTheTopLineInView)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("wrap.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(1000, 600)));
    // A narrow column, so that the narrower pane sets the text as before.
    evaluate(view, QStringLiteral("window.folvanReflow.settings({width: 480}); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.getElementById('flow').clientWidth < 600")));
    const QString barHeight = QStringLiteral("document.getElementById('bar').getBoundingClientRect().height");
    const double oneRow = evaluate(view, barHeight).toDouble();
    // Scrolled into the text; the first word wholly below the bar is noted.
    evaluate(view, QStringLiteral("scrollTo(0, 1500); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("scrollY === 1500")));
    ASSERT_TRUE(evaluate(view, QStringLiteral(
        "(() => { const top = document.getElementById('bar').getBoundingClientRect().bottom;"
        " const x = document.querySelector('#flow .part').getBoundingClientRect().left + 30;"
        " for (let y = top + 2; y < top + 80; y += 3) {"
        "   const r = document.caretRangeFromPoint(x, y);"
        "   if (!r || r.startContainer.nodeType !== Node.TEXT_NODE) continue;"
        "   r.expand('word'); window.__word = r; window.__text = r.toString();"
        "   if (window.__text.trim() && r.getBoundingClientRect().top >= top) return true; }"
        " return false; })()")).toBool());
    // The line of that word stands right below the bar, once the page
    // heard of the scroll.
    evaluate(view, QStringLiteral("addEventListener('scroll', () => { window.__scrolled = true; }, { once: true });"
                                  " scrollBy(0, window.__word.getBoundingClientRect().top - document.getElementById('bar').getBoundingClientRect().bottom); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("window.__scrolled === true")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "Math.abs(window.__word.getBoundingClientRect().top - document.getElementById('bar').getBoundingClientRect().bottom) < 1")));
    view.resize(540, 600);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("%1 > %2 * 1.5").arg(barHeight).arg(oneRow)));
    // The ResizeObserver answers within the frame after the bar grew.
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "(() => { const r = window.__word.getBoundingClientRect(); const bar = document.getElementById('bar').getBoundingClientRect();"
        " return window.__word.toString() === window.__text && r.top >= bar.bottom - 1 && r.bottom <= innerHeight; })()")));
}

// A pane made narrower and wider again (a split opened and closed, a window
// resized) keeps the reader at the line that stood at the top, and the
// blocks' buttons beside the column once there is room for them again. A
// control of the bar given the focus (the pane given the keyboard) leaves
// the view where it is.
TEST_F(ReflowPageTest, APaneKeepsItsPlaceThroughEveryWidthChange)
{
    model::SharedPDFViewModel &model = openPane(writeLongPaper(path(QStringLiteral("widths.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(1300, 600)));
    evaluate(view, QStringLiteral("scrollTo(0, 2500); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("scrollY === 2500")));
    // The first character below the bar at the column's left edge.
    ASSERT_TRUE(waitForScript(view, QStringLiteral(
        "(() => { const top = document.getElementById('bar').getBoundingClientRect().bottom;"
        " const x = document.getElementById('flow').getBoundingClientRect().left + 24;"
        " for (let y = top + 4; y < top + 80; y += 4) {"
        "   const c = document.caretRangeFromPoint(x, y);"
        "   if (!c || c.startContainer.nodeType !== Node.TEXT_NODE) continue;"
        "   const r = document.createRange(); r.setStart(c.startContainer, c.startOffset); r.setEnd(c.startContainer, c.startOffset + 1);"
        "   window.__word = r;"
        "   if (r.toString().trim() && r.getBoundingClientRect().top >= top - 1) return true; }"
        " return false; })()")));
    const QString below = QStringLiteral(
        "window.__word.getBoundingClientRect().top - document.getElementById('bar').getBoundingClientRect().bottom");
    const double before = evaluate(view, below).toDouble();
    const QString oneRow = QStringLiteral(
        "(() => { const b = document.querySelector('#flow p.block .block-buttons');"
        " return getComputedStyle(b).flexDirection === 'row' && b.querySelector('button.flip').getBoundingClientRect().height < 30; })()");
    EXPECT_TRUE(evaluate(view, oneRow).toBool());
    for (const int width : {440, 900, 1300, 700, 1300}) {
        view.resize(width, 600);
        ASSERT_TRUE(waitForScript(view, QStringLiteral("innerWidth === %1").arg(width)));
        EXPECT_TRUE(waitForScript(view, QStringLiteral("Math.abs(%1 - %2) < 2").arg(below).arg(before)))
            << width << ": " << evaluate(view, below).toDouble() << " below the bar, not " << before;
    }
    EXPECT_TRUE(waitForScript(view, oneRow));
    EXPECT_NEAR(evaluate(view, below).toDouble(), before, 2);

    const double scrolled = evaluate(view, QStringLiteral("scrollY")).toDouble();
    evaluate(view, QStringLiteral("document.querySelector('#bar button[data-step]').focus(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.activeElement.matches('#bar button[data-step]')")));
    EXPECT_EQ(evaluate(view, QStringLiteral("scrollY")).toDouble(), scrolled);
}

namespace {

// A page of paragraphs of four lines each; the PDF's own strike-out runs over
// the second line, the icon of its sticky note over the first word of the
// fifth; another note's icon over "page" in the first line of the third
// paragraph reaches up into the line above it.
QString writeMarkedPaper(const QString &path)
{
    PdfFixtureWriter w;
    const int page = w.addPage();
    for (int i = 0; i < 40; ++i)
        w.addText(page, {i % 4 == 0 ? 84.0 : 72.0, 740.0 - 14 * i},
                  QStringLiteral("Line %1 of the page says what the paper says here in plain words.").arg(i),
                  FixtureFont::Helvetica, 10);
    const QString struck = QStringLiteral("Line 1 of the page says what the paper says here in plain words.");
    w.addTextMarkup(page, "StrikeOut",
                    {PdfFixtureWriter::quadOf(QRectF(72, 724, PdfFixtureWriter::textWidth(struck, FixtureFont::Helvetica, 10), 10))},
                    QColor(220, 0, 0));
    w.addTextNote(page, QRectF(84, 681, 16, 12), QStringLiteral("Check this line."));
    w.addTextNote(page, QRectF(84 + PdfFixtureWriter::textWidth(QStringLiteral("Line 8 of the "), FixtureFont::Helvetica, 10),
                               627, 20, 20),
                  QStringLiteral("This word."));
    EXPECT_TRUE(w.save(path));
    return path;
}

// A script: the computed style `property` of the first element matching
// `selector`.
QString styleOf(const QString &selector, const QString &property)
{
    return QStringLiteral("getComputedStyle(document.querySelector('%1')).%2").arg(selector, property);
}

} // namespace

// The PDF's own strike-out is drawn struck through, not tinted; its note's
// icon marks its place with a bar over one word and colours no text.
TEST_F(ReflowPageTest, APapersStrikeOutIsStruckAndItsNoteTintsNoText)
{
    model::SharedPDFViewModel &model = openPane(writeMarkedPaper(path(QStringLiteral("marked.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('mark.note')")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('mark.note.strikeout')")));
    EXPECT_TRUE(evaluate(view, styleOf(QStringLiteral("mark.note.strikeout"), QStringLiteral("textDecorationLine")))
                    .toString().contains(QStringLiteral("line-through")));
    EXPECT_EQ(evaluate(view, styleOf(QStringLiteral("mark.note.strikeout"), QStringLiteral("backgroundColor"))).toString(),
              QStringLiteral("rgba(0, 0, 0, 0)"));
    EXPECT_TRUE(evaluate(view, QStringLiteral("[...document.querySelectorAll('mark.note.strikeout')].map((m) => m.textContent).join('')"))
                    .toString().contains(QStringLiteral("of the page says")));

    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('mark.note.pin').length === 2")));
    EXPECT_EQ(evaluate(view, QStringLiteral("document.querySelector('mark.note.pin').textContent")).toString(), QStringLiteral("Line"));
    // The word under the middle of the icon, not the line above it.
    EXPECT_EQ(evaluate(view, QStringLiteral("(() => { const m = document.querySelectorAll('mark.note.pin')[1];"
                                            " return m.textContent + ' in ' + m.closest('.part').textContent.slice(0, 6); })()"))
                  .toString(),
              QStringLiteral("page in Line 8"));
    EXPECT_TRUE(evaluate(view, styleOf(QStringLiteral("mark.note.pin"), QStringLiteral("textDecorationLine")))
                    .toString().contains(QStringLiteral("overline")));
    EXPECT_EQ(evaluate(view, QStringLiteral("document.querySelector('mark.note.pin').title")).toString(),
              QStringLiteral("Check this line."));
    EXPECT_EQ(evaluate(view, styleOf(QStringLiteral("mark.note.pin"), QStringLiteral("backgroundColor"))).toString(),
              QStringLiteral("rgba(0, 0, 0, 0)"));
    // Nothing of the page is a highlight.
    EXPECT_EQ(evaluate(view, QStringLiteral("document.querySelectorAll('mark.note.highlight').length")).toInt(), 0);
}

namespace {

// A script: finds a paragraph of page 0 set in one piece, below the title,
// keeps it as window.__block and its key as window.__key, and gives the
// middle of its first line and the key.
const char *const kFindParagraph =
    "(() => { const p = [...document.querySelectorAll('section[data-page=\"0\"] p.paragraph')]"
    "  .find((p) => p.querySelectorAll('.part').length === 1 && p.getBoundingClientRect().top > 120);"
    " if (!p) return []; window.__block = p; window.__key = p.querySelector('.part').dataset.key;"
    " const r = p.querySelector('.part').getClientRects()[0];"
    " return [Math.round(r.left + 30), Math.round(r.top + r.height / 2), window.__key]; })()";

// A script: the labels of the block menu's choices, joined by "|".
const char *const kMenuLabels = "[...document.querySelectorAll('#block-menu button')].map((b) => b.textContent).join('|')";

// A script that clicks the block menu's choice `id`.
QString chooseInMenu(const QString &id)
{
    return QStringLiteral("document.querySelector('#block-menu button[data-choice=\"%1\"]').click(); true").arg(id);
}

} // namespace

// A paragraph chosen "此段保留原版" from its right click shows as its page
// has it, and stays so for the paper: the paper shown again shows it so.
// "恢复重排" from its "⋯" sets it as text again, for the paper too.
TEST_F(ReflowPageTest, AParagraphKeptAsTheOriginalStaysSoForThePaper)
{
    model::SharedPDFViewModel &model = openPane(writeTitledPaper(path(QStringLiteral("kept.pdf"))));
    const QUuid paper = QUuid::createUuid();
    QString key, file;
    const auto stored = [&](ReflowView &view) {
        const reflow::ReflowOverridesStore *store = view.coordinator()->overrides();
        return store && store->keys().count(key) > 0;
    };
    {
        ReflowView view(&model, paper, {}, nullptr);
        ASSERT_TRUE(show(view));
        ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('section[data-page=\"0\"] p.paragraph .part')")));
        const QVariantList at = evaluate(view, QLatin1String(kFindParagraph)).toList();
        ASSERT_EQ(at.size(), 3);
        key = at[2].toString();
        QTest::mouseClick(view.webView()->focusProxy(), Qt::RightButton, {}, QPoint(at[0].toInt(), at[1].toInt()));
        ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('block-menu').hidden")));
        EXPECT_EQ(evaluate(view, QLatin1String(kMenuLabels)).toString(), QStringLiteral("此段保留原版|固定原版对照"));
        evaluate(view, chooseInMenu(QStringLiteral("keep")));
        EXPECT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('figure.cutout[data-key=\"%1\"] img')").arg(key)));
        // Its place is kept, in the picture's shape, before the picture
        // arrives: the text under it does not move when it does.
        EXPECT_TRUE(waitForScript(view, QStringLiteral(
            "(() => { const img = document.querySelector('figure.cutout[data-key=\"%1\"] img');"
            " return img.complete && img.naturalHeight > 0 &&"
            " Math.abs(img.getAttribute('width') / img.getAttribute('height') - img.naturalWidth / img.naturalHeight) < 0.03; })()")
                                              .arg(key)));
        EXPECT_TRUE(evaluate(view, QStringLiteral("document.getElementById('block-menu').hidden")).toBool());
        EXPECT_FALSE(evaluate(view, QStringLiteral("!!document.querySelector('.part[data-key=\"%1\"]')").arg(key)).toBool());
        ASSERT_TRUE(test::waitFor([&] { return stored(view); }));
        file = view.coordinator()->overrides()->file();
    }
    // As a build that numbered the page's blocks otherwise stored it: the
    // mark goes to the block with its text, and is stored under its key.
    const QStringList part = key.split(u':');
    const QString renumbered = part[0] + u':' + QString::number(part[1].toInt() + 1) + u':' + part[2];
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QStringLiteral("[\"%1\"]").arg(renumbered).toUtf8());
    }

    ReflowView again(&model, paper, {}, nullptr);
    ASSERT_TRUE(show(again));
    const QString figure = QStringLiteral("document.querySelector('figure.cutout[data-key=\"%1\"]')").arg(key);
    ASSERT_TRUE(waitForScript(again, QStringLiteral("!!") + figure));
    EXPECT_TRUE(test::waitFor([&] { return again.coordinator()->overrides()->keys() == std::set<QString>{key}; }));
    evaluate(again, figure + QStringLiteral(".querySelector('button.more').click(); true"));
    ASSERT_TRUE(waitForScript(again, QStringLiteral("!document.getElementById('block-menu').hidden")));
    EXPECT_EQ(evaluate(again, QLatin1String(kMenuLabels)).toString(), QStringLiteral("恢复重排|固定原版对照"));
    evaluate(again, chooseInMenu(QStringLiteral("restore")));
    EXPECT_TRUE(waitForScript(again, QStringLiteral("!!document.querySelector('p.block .part[data-key=\"%1\"]')").arg(key)));
    EXPECT_TRUE(test::waitFor([&] { return !stored(again); }));
}

// "固定原版对照" pins the page image of the paragraph beside the text, below
// the controls: the text makes room for it; a pinch over it zooms it and not
// the text; "整页" shows its whole page with the paragraph outlined; "关闭"
// takes it away and the text has its place back.
TEST_F(ReflowPageTest, TheOriginalPinnedBesideTheTextZoomsOnItsOwn)
{
    model::SharedPDFViewModel &model = openPane(writeTitledPaper(path(QStringLiteral("pinned.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view, QSize(1200, 700)));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!document.querySelector('section[data-page=\"0\"] p.paragraph .part')")));
    ASSERT_EQ(evaluate(view, QLatin1String(kFindParagraph)).toList().size(), 3);
    const double flowLeft = evaluate(view, QStringLiteral("document.getElementById('flow').getBoundingClientRect().left")).toDouble();
    // The paragraph pinned stays where the reader has it, though the lines
    // above it take more room in the narrower text.
    const QString blockTop = QStringLiteral("window.__block.getBoundingClientRect().top");
    const double top = evaluate(view, blockTop).toDouble();
    evaluate(view, QStringLiteral("window.__block.querySelector('button.more').click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('block-menu').hidden")));
    evaluate(view, chooseInMenu(QStringLiteral("pin")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('pinned').hidden")));
    EXPECT_NEAR(evaluate(view, blockTop).toDouble(), top, 2);
    const QString image = QStringLiteral("document.querySelector('#pinned img')");
    ASSERT_TRUE(waitForScript(view, image + QStringLiteral(".complete && ") + image + QStringLiteral(".naturalWidth > 0")));
    EXPECT_TRUE(evaluate(view, image + QStringLiteral(".src.includes('/0.png?r=')")).toBool());
    const QString pinned = QStringLiteral("document.getElementById('pinned').getBoundingClientRect()");
    EXPECT_LE(evaluate(view, QStringLiteral("document.getElementById('flow').getBoundingClientRect().right")).toDouble(),
              evaluate(view, pinned + QStringLiteral(".left")).toDouble() + 1);
    EXPECT_LT(evaluate(view, QStringLiteral("document.getElementById('flow').getBoundingClientRect().left")).toDouble(), flowLeft);
    EXPECT_GE(evaluate(view, pinned + QStringLiteral(".top")).toDouble(),
              evaluate(view, QStringLiteral("document.getElementById('bar').getBoundingClientRect().bottom")).toDouble() - 1);

    // A pinch over the image zooms the image alone.
    const QString fontSize = QStringLiteral("document.documentElement.style.getPropertyValue('--font-size')");
    const QString size = evaluate(view, fontSize).toString();
    const QPointF middle(evaluate(view, pinned + QStringLiteral(".left + 100")).toDouble(),
                         evaluate(view, pinned + QStringLiteral(".top + 200")).toDouble());
    view.magnify(0.5, middle);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelector('.pinned-sheet').style.transform.includes('scale(1.5)')")));
    EXPECT_EQ(evaluate(view, fontSize).toString(), size);

    // The whole page, the paragraph outlined inside it.
    evaluate(view, QStringLiteral("[...document.querySelectorAll('.pinned-head button')].find((b) => b.textContent === '整页').click(); true"));
    ASSERT_TRUE(waitForScript(view, image + QStringLiteral(".src.endsWith('/0.png?q=detail')")));
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "(() => { const s = document.querySelector('.pinned-sheet').getBoundingClientRect();"
        " const b = document.querySelector('.pinned-spot').getBoundingClientRect();"
        " return b.width > 0 && b.height > 0 && b.left >= s.left && b.right <= s.right && b.top >= s.top && b.bottom <= s.bottom"
        "  && b.height < s.height / 4; })()")).toBool());

    evaluate(view, QStringLiteral("[...document.querySelectorAll('.pinned-head button')].find((b) => b.textContent === '关闭').click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.getElementById('pinned').hidden")));
    EXPECT_NEAR(evaluate(view, QStringLiteral("document.getElementById('flow').getBoundingClientRect().left")).toDouble(), flowLeft, 1);
    EXPECT_NEAR(evaluate(view, blockTop).toDouble(), top, 2);
}

namespace {

// Two pages; the last paragraph of the first goes on at the top of the
// second.
QString writeParagraphAcrossPages(const QString &path)
{
    PdfFixtureWriter w;
    for (int n = 0; n < 2; ++n) {
        const int page = w.addPage();
        // (The pages' lines differ in their words: lines alike on every page
        // would be running heads.)
        for (int i = 0; i < 42; ++i)
            w.addText(page, {(i % 4 == 0 && !(n == 1 && i == 0)) ? 84.0 : 72.0, 740.0 - 14 * i},
                      n == 0 ? QStringLiteral("Line %1 of the first page says what the paper says in plain %2")
                                   .arg(i).arg(i == 41 ? QStringLiteral("words and") : QStringLiteral("words."))
                             : i == 0 ? QStringLiteral("so on, and the next sheet goes on with other things to tell.")
                                      : QStringLiteral("Sentence %1 on the next sheet goes on with other things to tell.").arg(i),
                      FixtureFont::Helvetica, 10);
    }
    EXPECT_TRUE(w.save(path));
    return path;
}

// A script: the paragraph set from pieces of two pages.
const char *const kJoinedParagraph =
    "[...document.querySelectorAll('p.paragraph')].find((p) => new Set([...p.querySelectorAll('.part')].map((x) => x.dataset.page)).size === 2)";

// A script: the keys of the cut-outs, in their order.
const char *const kCutoutKeys = "[...document.querySelectorAll('figure.cutout')].map((f) => f.dataset.key)";

} // namespace

// "此段保留原版" on a paragraph that goes on from one page to the next keeps
// the whole paragraph as the pages have it: both its pieces, in their
// order, whichever piece was clicked. "恢复重排" on one piece gives the
// whole paragraph back as one.
TEST_F(ReflowPageTest, AParagraphAcrossPagesIsKeptAndRestoredWhole)
{
    model::SharedPDFViewModel &model = openPane(writeParagraphAcrossPages(path(QStringLiteral("across.pdf"))));
    ReflowView view(&model, QUuid::createUuid(), {}, nullptr);
    ASSERT_TRUE(show(view));
    const QString joined = QLatin1String(kJoinedParagraph);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!") + joined));
    const QStringList keys = evaluate(view, QStringLiteral("(() => { const p = %1; window.__joined = p;"
                                                          " return [...p.querySelectorAll('.part')].map((x) => x.dataset.key); })()")
                                                .arg(joined)).toStringList();
    ASSERT_EQ(keys.size(), 2);
    // The menu of the piece on page 1.
    keepParagraphOf(view, QStringLiteral("window.__joined.querySelectorAll('.part')[1]"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('figure.cutout').length === 2")));
    EXPECT_EQ(evaluate(view, QLatin1String(kCutoutKeys)).toStringList(), keys);
    const auto stored = [&] { return view.coordinator()->overrides()->keys(); };
    EXPECT_TRUE(test::waitFor([&] { return stored() == std::set<QString>(keys.begin(), keys.end()); }));

    // Restored from the first piece: both pieces are one paragraph again.
    evaluate(view, QStringLiteral("document.querySelector('figure.cutout[data-key=\"%1\"] button.more').click(); true").arg(keys[0]));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('block-menu').hidden")));
    evaluate(view, chooseInMenu(QStringLiteral("restore")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('figure.cutout').length === 0")));
    EXPECT_EQ(evaluate(view, QStringLiteral("[...(%1).querySelectorAll('.part')].map((x) => x.dataset.key)").arg(joined))
                  .toStringList(), keys);
    EXPECT_TRUE(test::waitFor([&] { return stored().empty(); }));
}

// The marks of the other pane reach the page as one state: the pieces of a
// paragraph kept there stand in their order here too.
TEST_F(ReflowPageTest, AParagraphKeptInTheOtherPaneKeepsItsOrder)
{
    model::SharedPDFViewModel &model = openPane(writeParagraphAcrossPages(path(QStringLiteral("across.pdf"))));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    const QString joined = QLatin1String(kJoinedParagraph);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!") + joined));
    const QStringList keys = evaluate(view, QStringLiteral("[...(%1).querySelectorAll('.part')].map((x) => x.dataset.key)")
                                                .arg(joined)).toStringList();
    ASSERT_EQ(keys.size(), 2);
    evaluate(view, QStringLiteral("window.folvanReflow.state({annotations: [], corrections: ['%1', '%2'], canUndo: false,"
                                  " canRedo: false, selectionMapped: true}); true").arg(keys[0], keys[1]));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('figure.cutout').length === 2")));
    EXPECT_EQ(evaluate(view, QLatin1String(kCutoutKeys)).toStringList(), keys);
}

// Opened at the second page, the reader scrolls up: the first page, laid
// out after the second, takes the text at the top of the second into its
// last paragraph, and the second page's mark then stands after it.
TEST_F(ReflowPageTest, AParagraphAcrossPagesIsOneAlsoWhenThePageAboveComesLater)
{
    model::SharedPDFViewModel &model = openPane(writeParagraphAcrossPages(path(QStringLiteral("across.pdf"))));
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(1);
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    const QString joined = QLatin1String(kJoinedParagraph);
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!!") + joined));
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "(() => { const p = %1; return p.parentNode.dataset.page === '0' &&"
        " /plain words and so on, and the next sheet/.test(p.textContent); })()").arg(joined)).toBool());
    EXPECT_TRUE(evaluate(view, QStringLiteral(
        "document.querySelector('section[data-page=\"1\"] .part').textContent.startsWith('Sentence 1 on')")).toBool());
}

// A paragraph from the foot of page 5 over the whole of page 6 to the top of
// page 7, reached in every order (from below, from above, from far away)
// and let go on either side: the view shows the text of the pages it has
// laid out, each piece once and in order, and the pieces of pages shown
// together are one paragraph; kept as the pages have it, its pieces too.
TEST_F(ReflowPageTest, AParagraphOverThreePagesIsShownWholeAndOnceInEveryOrder)
{
    std::vector<QStringList> pages(20);
    PdfFixtureWriter w;
    for (int n = 0; n < 20; ++n) {
        const int page = w.addPage();
        for (int i = 0; i < 42; ++i) {
            // (Each page in its own words: lines alike on every page are running heads.)
            QString line = QStringLiteral("Line %1 of the page %2 says it in plain words.").arg(i).arg(QString(4, QChar(u'a' + n)));
            if (n == 5 && i >= 36)
                line = QStringLiteral("Long %1 of the opening sheet runs on without a stop").arg(i);
            else if (n == 6)
                line = QStringLiteral("goes on past line %1 of the middle sheet and").arg(i);
            else if (n == 7 && i == 0)
                line = QStringLiteral("comes to the last sheet and");
            w.addText(page, {i % 4 == 0 && !(n == 5 && i == 40) && n != 6 && !(n == 7 && i == 0) ? 84.0 : 72.0, 740.0 - 14 * i}, line,
                      FixtureFont::Helvetica, 10);
            pages[n] << line;
        }
    }
    ASSERT_TRUE(w.save(path(QStringLiteral("three.pdf"))));
    model::SharedPDFViewModel &model = openPane(path(QStringLiteral("three.pdf")));
    model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(7);
    ReflowView view(&model, std::nullopt, {}, nullptr);
    ASSERT_TRUE(show(view));
    const auto check = [&](int at) {
        // The pages laid out, their text as shown, and the pages among 6 and 7
        // whose first piece stands apart from the page above shown with it.
        const QStringList shown = evaluate(view, QStringLiteral(
            "(() => { const laid = [...document.querySelectorAll('section.page:not(.placeholder)')].map((s) => +s.dataset.page);"
            " const pieces = [...document.querySelectorAll('#flow .part, #flow figure.cutout')];"
            " const alone = (p) => p && p.tagName === 'SPAN' && !p.closest('.block').querySelector(`.part[data-page=\"${p.dataset.page - 1}\"]`);"
            " const apart = [6, 7].filter((q) => laid.includes(q - 1) && laid.includes(q) && alone(pieces.find((p) => +p.dataset.page === q)));"
            " const text = pieces.map((p) => p.tagName === 'FIGURE' ? p.querySelector('img').alt : p.textContent);"
            " return [laid.join(','), text.join(' '), apart.join(',')]; })()")).toStringList();
        QString expected;
        for (const QString &page : shown.value(0).split(QLatin1Char(',')))
            expected += pages[page.toInt()].join(QString());
        const QRegularExpression space(QStringLiteral("\\s"));
        const QString text = shown.value(1).remove(space);
        expected.remove(space);
        const auto differ = std::mismatch(text.begin(), text.end(), expected.begin(), expected.end()).first - text.begin();
        EXPECT_EQ(text, expected) << "at page " << at << ", pages " << qPrintable(shown.value(0)) << ": \"" << qPrintable(text.mid(differ - 40, 100)) << "\"";
        EXPECT_EQ(shown.value(2), QString()) << "at page " << at << ", pages " << qPrintable(shown.value(0)) << " set apart";
    };
    const auto go = [&](const QList<int> &steps) {
        for (const int page : steps) {
            evaluate(view, QStringLiteral("document.querySelector('section[data-page=\"%1\"]').scrollIntoView(); true").arg(page));
            ASSERT_TRUE(waitForScript(view, QStringLiteral(
                "(() => { const s = [...document.querySelectorAll('section.page')], top = document.getElementById('bar').getBoundingClientRect().bottom;"
                " const on = s.filter((x) => x.getBoundingClientRect().bottom > top && x.getBoundingClientRect().top < innerHeight).map((x) => +x.dataset.page);"
                " const f = Math.min(...on), l = Math.max(...on), hidden = (x) => x.classList.contains('placeholder');"
                " return s.every((x, i) => i >= f - 1 && i <= l + 2 ? !hidden(x) : i < f - 6 || i > l + 6 ? hidden(x) : true); })()")));
            check(page);
            if (HasFailure())
                return;
        }
    };
    // Up from below; far up (page 7 let go, not page 6); down and up again;
    // far down (page 5 let go, then 6); a jump from the end.
    go({6, 5, 4, 0, 1, 2, 3, 4, 5, 0, 5, 6, 7, 8, 12, 13, 14, 6, 19, 6, 7});
    // Kept as the pages have it, chosen on the middle piece, and let go.
    keepParagraphOf(view, QStringLiteral("document.querySelector('.part[data-page=\"6\"]')"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('figure.cutout').length === 3")));
    go({7, 13, 6, 0, 6});
    // Set as text again, chosen on the middle piece.
    evaluate(view, QStringLiteral("document.querySelector('figure.cutout[data-page=\"6\"] button.more').click(); true"));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("!document.getElementById('block-menu').hidden")));
    evaluate(view, chooseInMenu(QStringLiteral("restore")));
    ASSERT_TRUE(waitForScript(view, QStringLiteral("document.querySelectorAll('figure.cutout').length === 0")));
    go({6, 13, 6, 0, 6});
}

// The place told as the reader leaves the view is where the view opened
// anew puts the reader: the same text at the same height, reopening after
// reopening, part way into a paragraph as into the piece of one that goes
// on from the page before.
TEST_F(ReflowPageTest, AViewOpenedAgainShowsTheTextWhereItWasLeft)
{
    const std::tuple<QString, int, const char *> cases[] = {
        {writeLongPaper(path(QStringLiteral("long.pdf"))), 3, ".part[data-page=\"3\"][data-block=\"6\"]"},
        {writeParagraphAcrossPages(path(QStringLiteral("across.pdf"))), 1, ".part[data-page=\"1\"][data-block=\"0\"]"},
    };
    for (const auto &[paper, casePage, selector] : cases) {
        SCOPED_TRACE(selector);
        // A copy, for the lambdas below: a structured binding is no
        // variable a lambda may capture (clang refuses it).
        const int page = casePage;
        model::SharedPDFViewModel &model = openPane(paper);
        model::SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(page);
        const QString piece = QStringLiteral("document.querySelector('%1')").arg(QLatin1String(selector));
        const QString top = piece + QStringLiteral(".getBoundingClientRect().top");
        const QString edge = QStringLiteral("document.getElementById('bar').getBoundingClientRect().bottom");
        // The place told is the one on screen: the piece stands where the
        // offset told puts it below the controls.
        const auto told = [&](ReflowView &view) {
            return test::waitFor([&] {
                return model.reflowPage() == page && evaluate(view, QStringLiteral(
                    "%1.dataset.block === '%5' && Math.abs(%2 - (%3 - %1.getBoundingClientRect().height * %4 / %1.textContent.length)) < 1.5")
                    .arg(piece, top, edge).arg(model.reflowOffset()).arg(model.reflowBlock())).toBool();
            });
        };
        auto view = std::make_unique<ReflowView>(&model, std::nullopt, reflow::ReflowCoordinator::Callbacks{}, nullptr);
        ASSERT_TRUE(show(*view));
        // Read from the page above: the piece goes on in its paragraph.
        const QString shown = QStringLiteral("!!%1 && !document.querySelector('section[data-page=\"%2\"].placeholder')").arg(piece).arg(page - 1);
        ASSERT_TRUE(waitForScript(*view, shown));
        evaluate(*view, QStringLiteral("scrollBy(0, Math.round(%1 - %2 + 0.6 * %3.getBoundingClientRect().height)); true").arg(top, edge, piece));
        ASSERT_TRUE(told(*view));
        const double left = evaluate(*view, top).toDouble();
        for (int reopened = 1; reopened <= 3; ++reopened) {
            view = std::make_unique<ReflowView>(&model, std::nullopt, reflow::ReflowCoordinator::Callbacks{}, nullptr);
            ASSERT_TRUE(show(*view));
            ASSERT_TRUE(waitForScript(*view, shown));
            EXPECT_TRUE(waitForScript(*view, QStringLiteral("Math.abs(%1 - %2) < 2").arg(top).arg(left)))
                << "reopened " << reopened << ": " << evaluate(*view, top).toDouble() << ", left at " << left;
            ASSERT_TRUE(told(*view));
        }
    }
}
