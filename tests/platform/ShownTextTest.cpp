#include <gtest/gtest.h>

#include "platform/ShownText.h"

using folvan::platform::kRowCharacters;
using folvan::platform::rowText;

TEST(RowText, KeepsWhatFitsAndCutsTheRestWithAnEllipsis)
{
    EXPECT_EQ(rowText(QString()), QString());
    EXPECT_EQ(rowText(QStringLiteral("paper")), QStringLiteral("paper"));
    const QString whole(kRowCharacters, QLatin1Char('x'));
    EXPECT_EQ(rowText(whole), whole);

    const QString huge(3'000'000, QLatin1Char('x'));
    EXPECT_EQ(rowText(huge), QString(kRowCharacters, QLatin1Char('x')) + QChar(0x2026));
    EXPECT_EQ(rowText(huge, 3).size(), 3 * kRowCharacters + 1);
    EXPECT_EQ(rowText(huge, 0), rowText(huge, 1));

    // The cut never splits a character outside the basic plane in two.
    const QString math = QString::fromUcs4(U"\U0001D465");
    const QString pairs = QString(kRowCharacters - 1, QLatin1Char('a')) + math.repeated(4);
    const QString cut = rowText(pairs);
    EXPECT_EQ(cut, QString(kRowCharacters - 1, QLatin1Char('a')) + QChar(0x2026));
}

TEST(RowText, ShowsNoMoreLinesThanItsRows)
{
    EXPECT_EQ(rowText(QStringLiteral("one\ntwo\nthree"), 2), QStringLiteral("one\ntwo…"));
    EXPECT_EQ(rowText(QStringLiteral("one\ntwo\nthree"), 3), QStringLiteral("one\ntwo\nthree"));
    EXPECT_EQ(rowText(QStringLiteral("one\ntwo"), 1), QStringLiteral("one…"));
    // A line break that ends the text hides nothing.
    EXPECT_EQ(rowText(QStringLiteral("one\n"), 1), QStringLiteral("one\n"));
    EXPECT_EQ(rowText(QString(1'000'000, QLatin1Char('\n')), 2), QStringLiteral("\n…"));
}
