#include <gtest/gtest.h>

#include "annotations/ReflowTextMap.h"

using namespace folvan;

TEST(ReflowFolding, FoldsCaseAccentsLigaturesAndPunctuation)
{
    const QString input = QStringLiteral("Über-ﬁne, №5");
    const ReflowTextMap::Normalized folded(input);
    EXPECT_EQ(folded.text, QStringLiteral("uberfineno5"));
    ASSERT_EQ(folded.starts.size(), size_t(folded.text.size()));
    ASSERT_EQ(folded.ends.size(), size_t(folded.text.size()));
    // "f" and "i" both come from the ligature at offset 5.
    EXPECT_EQ(folded.starts[4], 5);
    EXPECT_EQ(folded.starts[5], 5);
    EXPECT_EQ(folded.ends[5], 6);
    // "n" and "o" come from the numero sign at offset 10.
    EXPECT_EQ(folded.starts[8], 10);
    EXPECT_EQ(folded.ends[9], 11);
    EXPECT_EQ(folded.starts[10], 11);

    EXPECT_TRUE(ReflowTextMap::Normalized(QStringLiteral(" -,. ")).text.isEmpty());
    EXPECT_TRUE(ReflowTextMap::Normalized(QString()).starts.empty());
}

TEST(ReflowFolding, KeepsOffsetsOfCombinedSequences)
{
    // "e" followed by a combining acute accent is one sequence of two units.
    const QString input = QStringLiteral("xe\u0301y");
    const ReflowTextMap::Normalized folded(input);
    EXPECT_EQ(folded.text, QStringLiteral("xey"));
    EXPECT_EQ(folded.starts, (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(folded.ends, (std::vector<int>{1, 3, 4}));
}
