#include <gtest/gtest.h>

#include "annotations/AnnotationTestSupport.h"
#include "localweb/LocalWebPage.h"
#include "reflow/ReflowView.h"

#include <QTest>
#include <QWebEngineView>

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
    SharedPDFViewModel &model = openPane(test::writePaper(path(QStringLiteral("paper.pdf")), 4));
    ReflowView view(&model, std::nullopt, {}, nullptr, QStringLiteral(FOLVAN_TEST_REFLOW_PAGE));
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentPageIndex() == 3; }, 60000));
    EXPECT_TRUE(view.coordinator()->loaded());
    EXPECT_EQ(model.reflowBlock(), 3);
    EXPECT_EQ(model.reflowOffset(), 7);
    EXPECT_EQ(model.reflowPage, 3);
    EXPECT_EQ(view.webView()->url(), QUrl(QStringLiteral("folvan-reflow://local/index.html")));
}

TEST(ReflowViewScript, MagnifyWritesShortestNumbers)
{
    EXPECT_EQ(ReflowView::magnifyScript(0.1, QPointF(12.5, 40)),
              QStringLiteral("window.folvanReflow?.magnify({delta:0.1,x:12.5,y:40})"));
}
