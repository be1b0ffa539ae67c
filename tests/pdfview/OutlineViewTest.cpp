#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QTest>
#include <QToolButton>

#include "pdfview/OutlineView.h"
#include "platform/Preferences.h"
#include "PageViewFixtures.h"

using namespace folvan;
using namespace folvan::pdfview;

namespace {

engine::PdfOutlineItem entry(const QString &title, std::optional<int> page,
                             std::vector<engine::PdfOutlineItem> children = {})
{
    engine::PdfOutlineItem item;
    item.title = title;
    if (page)
        item.destination = engine::PdfDestination(*page, QPointF(72, 700));
    item.children = std::move(children);
    return item;
}

class OutlineViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::PdfFixtureWriter writer;
        for (int p = 0; p < 4; ++p)
            writer.addPage();
        writer.setOutline({{QStringLiteral("Introduction"), 0, QPointF(72, 700),
                            {{QStringLiteral("Background"), 1, QPointF(72, 600),
                              {{QStringLiteral("Details"), 2, QPointF(72, 500), {}}}}}},
                           {QStringLiteral("Results"), 3, QPointF(72, 700), {}}});
        document = test::openFixture(writer);
    }
    SelectPageHandler recorder()
    {
        return [this](int page) { selected.push_back(page); };
    }

    std::shared_ptr<engine::PdfDocument> document;
    std::vector<int> selected;
};

TEST_F(OutlineViewTest, ADocumentWithoutOutlineShowsTheEmptyNote)
{
    OutlineView view(test::textDocument(2), recorder());
    EXPECT_TRUE(view.showsEmptyState());
    EXPECT_TRUE(view.topLevelViews().isEmpty());
    const auto labels = view.findChildren<QLabel *>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                            [](QLabel *l) { return l->text() == QStringLiteral("此 PDF 没有内置目录"); }));
}

TEST_F(OutlineViewTest, ShowsTheWholeTreeOpenWithPageNumbers)
{
    OutlineView view(document, recorder());
    ASSERT_FALSE(view.showsEmptyState());
    const auto top = view.topLevelViews();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->titleLabel()->text(), QStringLiteral("Introduction"));
    EXPECT_EQ(top[0]->pageLabel()->text(), QStringLiteral("1"));
    EXPECT_EQ(top[1]->pageLabel()->text(), QStringLiteral("4"));
    ASSERT_EQ(top[0]->childViews().size(), 1);
    OutlineNodeView *background = top[0]->childViews()[0];
    ASSERT_EQ(background->childViews().size(), 1);
    OutlineNodeView *details = background->childViews()[0];
    EXPECT_EQ(details->pageLabel()->text(), QStringLiteral("3"));

    // Indented by level × 10 + 6; the top level is set in medium weight.
    EXPECT_EQ(details->row()->layout()->contentsMargins().left(), 26);
    EXPECT_EQ(top[0]->titleLabel()->font().weight(), QFont::Medium);
    EXPECT_EQ(details->titleLabel()->font().weight(), QFont::Normal);
    // Entries without children keep the room of the disclosure button.
    EXPECT_EQ(details->disclosureButton(), nullptr);
    EXPECT_EQ(top[0]->disclosureButton()->accessibleName(), QStringLiteral("收起目录：Introduction"));
}

TEST_F(OutlineViewTest, CollapsingDropsTheSubtreeWhichComesBackOpen)
{
    OutlineView view(document, recorder());
    OutlineNodeView *intro = view.topLevelViews()[0];
    OutlineNodeView *background = intro->childViews()[0];
    background->setExpanded(false);
    EXPECT_TRUE(background->childViews().isEmpty());

    QTest::mouseClick(intro->disclosureButton(), Qt::LeftButton);
    EXPECT_FALSE(intro->isExpanded());
    EXPECT_TRUE(intro->childViews().isEmpty());
    EXPECT_EQ(intro->disclosureButton()->accessibleName(), QStringLiteral("展开目录：Introduction"));

    intro->setExpanded(true);
    ASSERT_EQ(intro->childViews().size(), 1);
    EXPECT_TRUE(intro->childViews()[0]->isExpanded());
    EXPECT_EQ(intro->childViews()[0]->childViews().size(), 1);
}

TEST_F(OutlineViewTest, ClickingATitleReportsItsPageWhenTheDocumentHasIt)
{
    OutlineView view(document, recorder());
    view.resize(300, 400);
    view.show();
    QTest::mouseClick(view.topLevelViews()[1]->titleLabel(), Qt::LeftButton);
    view.topLevelViews()[0]->childViews()[0]->activate();
    EXPECT_EQ(selected, (std::vector<int>{3, 1}));

    // No page of the document: no number, and a click does nothing.
    OutlineNodeView missing(entry(QStringLiteral("Elsewhere"), 99), 0, document, recorder());
    OutlineNodeView web(entry(QStringLiteral("Web"), std::nullopt), 0, document, recorder());
    for (OutlineNodeView *node : {&missing, &web}) {
        EXPECT_FALSE(node->pageIndex());
        EXPECT_EQ(node->pageLabel(), nullptr);
        node->activate();
    }
    EXPECT_EQ(selected.size(), 2u);
}

TEST_F(OutlineViewTest, ALongTitleTakesAtMostTwoLines)
{
    const QString title = QStringLiteral("A rather long title of a section that goes on and on over many lines");
    QWidget panel;
    auto *node = new OutlineNodeView(entry(title, 0), 0, document, recorder(), &panel);
    panel.resize(180, 200);
    node->resize(180, 100);
    panel.show();
    test::waitForIdle();
    QLabel *label = node->titleLabel();
    EXPECT_TRUE(label->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(label->text().count(u'\n'), 1);
    EXPECT_LE(label->heightForWidth(label->width()), 2 * label->fontMetrics().lineSpacing() + 2);
}

TEST_F(OutlineViewTest, AnEntryWithoutTitleShowsOnlyItsChildren)
{
    OutlineNodeView untitled(entry(QString(), 0, {entry(QStringLiteral("Child"), 1)}), 0, document, recorder());
    EXPECT_EQ(untitled.row(), nullptr);
    ASSERT_EQ(untitled.childViews().size(), 1);
    EXPECT_EQ(untitled.childViews()[0]->level(), 1);
    // A title with spaces is kept as written.
    OutlineNodeView spaced(entry(QStringLiteral("  Spaced  "), 0), 0, document, recorder());
    EXPECT_EQ(spaced.titleLabel()->text(), QStringLiteral("  Spaced  "));
}

TEST_F(OutlineViewTest, EveryPageNumberStandsInsideThePanelBesideItsTitle)
{
    // Long titles at three levels, one with a word longer than the panel.
    const QString sentence = QStringLiteral("Learning to read scientific papers with attention over many pages");
    const QString word = QStringLiteral("Supercalifragilisticexpialidociousnessandmoreofit");
    engine::PdfFixtureWriter writer;
    for (int p = 0; p < 12; ++p)
        writer.addPage();
    writer.setOutline({{sentence, 0, QPointF(72, 700),
                        {{sentence, 4, QPointF(72, 600), {{word, 10, QPointF(72, 500), {}}}}}},
                       {word, 11, QPointF(72, 700), {}}});
    OutlineView view(test::openFixture(writer), recorder());
    view.resize(200, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    test::waitForIdle();
    std::vector<OutlineNodeView *> nodes;
    std::function<void(OutlineNodeView *)> collect = [&](OutlineNodeView *node) {
        nodes.push_back(node);
        for (OutlineNodeView *child : node->childViews())
            collect(child);
    };
    for (OutlineNodeView *node : view.topLevelViews())
        collect(node);
    ASSERT_EQ(nodes.size(), 4u);
    for (OutlineNodeView *node : nodes) {
        SCOPED_TRACE(node->title().toStdString());
        ASSERT_NE(node->pageLabel(), nullptr);
        const QRect page(node->pageLabel()->mapTo(&view, QPoint(0, 0)), node->pageLabel()->size());
        const QRect title(node->titleLabel()->mapTo(&view, QPoint(0, 0)), node->titleLabel()->size());
        EXPECT_TRUE(view.rect().contains(page));
        EXPECT_LE(title.right(), page.left());
        EXPECT_LE(node->titleLabel()->text().count(u'\n'), 1);
        EXPECT_LE(title.height(), 2 * node->titleLabel()->fontMetrics().lineSpacing() + 2);
    }
    // The reader fonts: callout titles, caption page numbers, following the
    // interface text size at once.
    EXPECT_DOUBLE_EQ(nodes[0]->titleLabel()->font().pointSizeF(), (15 - 1) * 0.75);
    EXPECT_DOUBLE_EQ(nodes[0]->pageLabel()->font().pointSizeF(), (15 - 2) * 0.75);
    platform::Preferences::shared().setValue(QStringLiteral("folvan.interfaceTextSize"), 20.0);
    EXPECT_DOUBLE_EQ(nodes[1]->titleLabel()->font().pointSizeF(), (20 - 1) * 0.75);
    EXPECT_EQ(nodes[1]->titleLabel()->font().weight(), QFont::Normal);
    EXPECT_DOUBLE_EQ(nodes[1]->pageLabel()->font().pointSizeF(), (20 - 2) * 0.75);
    platform::Preferences::shared().remove(QStringLiteral("folvan.interfaceTextSize"));
}

} // namespace
