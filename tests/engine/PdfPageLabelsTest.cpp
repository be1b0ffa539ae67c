#include "engine/PdfDocument.h"
#include "fixtures/PdfFixtureWriter.h"
#include "engine/PdfPageLabels.h"

#include <gtest/gtest.h>

using namespace folvan::engine;

namespace {

std::shared_ptr<PdfDocument> documentWithLabels(int pages, const std::vector<FixturePageLabelRange> &ranges,
                                                bool kids = false, bool cyclic = false)
{
    PdfFixtureWriter w;
    for (int i = 0; i < pages; ++i)
        w.addPage();
    w.setPageLabels(ranges);
    if (kids)
        w.setPageLabelsAsKids(cyclic);
    return PdfDocument::openData(w.data());
}

QStringList allLabels(const PdfDocument &doc)
{
    QStringList labels;
    for (int i = 0; i < doc.pageCount(); ++i)
        labels << pageLabel(doc, i);
    return labels;
}

} // namespace

TEST(PdfPageLabels, FormatsEveryStyleWithPrefixesAndStartValues)
{
    auto doc = documentWithLabels(9, {{0, 'r', {}, 1},
                                      {3, 'D', {}, 1},
                                      {5, 'A', "App-", 25},
                                      {7, 'R', {}, 4},
                                      {8, 0, QString::fromUtf8("封底"), 1}});
    ASSERT_TRUE(doc);
    EXPECT_EQ(allLabels(*doc), QStringList({"i", "ii", "iii", "1", "2", "App-Y", "App-Z", "IV",
                                            QString::fromUtf8("封底")}));
    EXPECT_EQ(pageLabel(*doc, 9), QString());
    EXPECT_EQ(pageLabel(*doc, -1), QString());
}

TEST(PdfPageLabels, NumbersInEveryStyle)
{
    EXPECT_EQ(formatPageNumber(1994, 'R'), "MCMXCIV");
    EXPECT_EQ(formatPageNumber(49, 'r'), "xlix");
    EXPECT_EQ(formatPageNumber(26, 'a'), "z");
    EXPECT_EQ(formatPageNumber(27, 'A'), "AA");
    EXPECT_EQ(formatPageNumber(53, 'a'), "aaa");
    EXPECT_EQ(formatPageNumber(12, 'D'), "12");
    // Out of a style's range the number is written in decimal.
    EXPECT_EQ(formatPageNumber(5000, 'R'), "5000");
    EXPECT_EQ(formatPageNumber(1000000, 'a'), "1000000");
}

TEST(PdfPageLabels, ReadsNumberTreesWithKidsAndSurvivesCycles)
{
    const std::vector<FixturePageLabelRange> ranges = {{0, 'a', {}, 1}, {2, 'D', "p", 10}};
    auto kids = documentWithLabels(4, ranges, true);
    ASSERT_TRUE(kids);
    EXPECT_EQ(allLabels(*kids), QStringList({"a", "b", "p10", "p11"}));

    auto cyclic = documentWithLabels(4, ranges, true, true);
    ASSERT_TRUE(cyclic);
    EXPECT_EQ(allLabels(*cyclic), QStringList({"a", "b", "p10", "p11"}));
    ASSERT_EQ(pageLabelRanges(*cyclic).size(), 2u);
}

TEST(PdfPageLabels, AbsentLabelsGiveEmptyStrings)
{
    auto none = documentWithLabels(2, {});
    ASSERT_TRUE(none);
    EXPECT_TRUE(pageLabelRanges(*none).empty());
    EXPECT_EQ(allLabels(*none), QStringList({"", ""}));

    // Pages before the first range have no label.
    auto late = documentWithLabels(3, {{1, 'D', {}, 1}});
    ASSERT_TRUE(late);
    EXPECT_EQ(allLabels(*late), QStringList({"", "1", "2"}));
}
