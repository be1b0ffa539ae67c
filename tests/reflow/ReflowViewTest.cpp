#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "localweb/FileUrlProbe.h"
#include "localweb/LocalWebView.h"
#include "platform/WebEngineStart.h"
#include "reflow/ReflowView.h"

#include <QApplication>
#include <QPushButton>
#include <QWebEnginePage>
#include <QTest>
#include <QWebEngineView>

#include <memory>

using namespace folvan;
using folvan::reflow::ReflowView;

namespace {

class ReflowViewTest : public test::PaneTest {};

// As the program does, before the application object exists.
const bool schemeRegistered = [] {
    QWebEngineUrlScheme::registerScheme(localweb::localScheme("folvan-reflow"));
    return true;
}();

} // namespace

// The page is loaded over the scheme, says it is there, gets "open" with the
// token and reports a reading position that reaches the pane.
TEST_F(ReflowViewTest, PageOpensWithTheTokenAndMovesThePane)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return model.currentPageIndex() == 3; }));
    EXPECT_TRUE(view.coordinator()->loaded());
    EXPECT_EQ(model.reflowBlock(), 3);
    EXPECT_EQ(model.reflowOffset(), 7);
    EXPECT_EQ(model.reflowPage(), 3);
    EXPECT_EQ(view.webView()->url(), QUrl(QStringLiteral("folvan-reflow://local/index.html")));
}

// The pane's search bar is raised above the view: a see-through page would
// be composed over it (its text showing through the bar), so the page is
// painted in the colour of the window behind it.
TEST_F(ReflowViewTest, WidgetsRaisedAboveThePageStayAboveIt)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 2));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); }));
    const QColor background = view.webView()->page()->backgroundColor();
    EXPECT_EQ(background.alpha(), 255);
    EXPECT_EQ(background, view.palette().color(QPalette::Window));
    QWidget *surface = view.webView()->focusProxy();
    ASSERT_NE(surface, nullptr);
    EXPECT_FALSE(surface->testAttribute(Qt::WA_AlwaysStackOnTop));
}

// The pane holds the place the page reported last, which is what a save
// writes: the page reports it as the view moves.
TEST_F(ReflowViewTest, ThePaneHoldsThePlaceThePageReportedLast)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return model.reflowBlock() == 3; }));
    view.webView()->page()->runJavaScript(QStringLiteral("scrolled()"));
    ASSERT_TRUE(test::waitFor([&] { return model.reflowBlock() == 26; }));
    EXPECT_EQ(model.reflowOffset(), 2);
    EXPECT_EQ(model.currentPageIndex(), 3);
}

// A page whose process ends is loaded once more with the same token; after
// a second end the view keeps a message and the way back to the PDF.
TEST_F(ReflowViewTest, APageThatEndsTwiceGivesWayToTheOriginal)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    std::vector<model::ReadingLocation> originals;
    reflow::ReflowCoordinator::Callbacks callbacks;
    callbacks.showOriginal = [&](const model::ReadingLocation &location) { originals.push_back(location); };
    ReflowView view(&model, std::nullopt, callbacks, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.show();
    QWebEnginePage *page = view.webView()->page();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); }));
    const QString token = view.coordinator()->token();

    emit page->renderProcessTerminated(QWebEnginePage::CrashedTerminationStatus, 1);
    EXPECT_FALSE(view.failed());
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); })); // opened again
    EXPECT_EQ(view.coordinator()->token(), token);

    emit page->renderProcessTerminated(QWebEnginePage::CrashedTerminationStatus, 1);
    ASSERT_TRUE(view.failed());
    QPushButton *back = view.findChild<QPushButton *>();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), QStringLiteral("返回原版 PDF"));
    back->click();
    ASSERT_EQ(originals.size(), 1u);
    EXPECT_EQ(originals[0].page, model.currentPageIndex());
}

// Where the web engine would end the process, the view makes no web view
// and offers the way back to the PDF at once.
TEST_F(ReflowViewTest, WithoutAWebEngineTheViewGivesWayToTheOriginal)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    std::vector<model::ReadingLocation> originals;
    reflow::ReflowCoordinator::Callbacks callbacks;
    callbacks.showOriginal = [&](const model::ReadingLocation &location) { originals.push_back(location); };
    test::WithoutWebEngine missing;
    auto view = std::make_unique<ReflowView>(&model, std::nullopt, callbacks, nullptr,
                                             QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view->show();
    EXPECT_TRUE(view->failed());
    EXPECT_EQ(view->webView(), nullptr);
    view->magnify(0.5, QPointF(10, 10));
    QPushButton *back = view->findChild<QPushButton *>();
    ASSERT_NE(back, nullptr);
    back->click();
    EXPECT_EQ(originals.size(), 1u);
    view.reset();
}

// A page whose process could not be launched at all is not loaded again:
// the way back to the PDF shows at once, and later web views are not made.
TEST_F(ReflowViewTest, APageWhoseProcessNeverRanGivesWayAtOnce)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.show();
    emit view.webView()->page()->renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus(-1), 1002);
    EXPECT_TRUE(view.failed());
    EXPECT_FALSE(platform::webEngineCanStart());
    platform::forgetRenderProcessNeverStarted();
}

// The reflow page itself, as built into the program: it parses the paper,
// answers "open" and reports where the reader is.
TEST_F(ReflowViewTest, BuiltInPageReportsItsReadingPosition)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 3));
    ReflowView view(&model, std::nullopt, {}, nullptr);
    view.resize(900, 700);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); }));
    ASSERT_TRUE(test::waitFor([&] { return model.reflowPage() >= 0; }));
    EXPECT_LT(model.reflowPage(), 3);
}

// The page shows text from untrusted papers: it reads no local file.
TEST_F(ReflowViewTest, ThePageReadsNoLocalFile)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 2));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); }));
    EXPECT_EQ(test::readFromPageThroughFileUrls(view.webView()->page(), root()), QString());
}

// A right click on the page shows no menu of the web engine's own (back,
// reload, save page): a reload would leave the view empty.
TEST_F(ReflowViewTest, ARightClickShowsNoMenuOfTheEngine)
{
    model::SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 2));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(test::waitFor([&] { return view.coordinator()->loaded(); }));
    QWidget *input = view.webView()->focusProxy();
    ASSERT_NE(input, nullptr);
    QTest::mouseClick(input, Qt::RightButton, {}, QPoint(400, 300));
    ASSERT_TRUE(test::waitFor([&] { return view.webView()->lastContextMenuRequest() != nullptr; }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}
