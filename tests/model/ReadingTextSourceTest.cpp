#include "model/JsonValues.h"
#include "model/ReadingTextSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using folvan::ReadingTextSource;
using Json = nlohmann::ordered_json;

namespace {

ReadingTextSource validSource()
{
    ReadingTextSource s;
    s.page = 2;
    s.start = 10;
    s.end = 20;
    s.quote = QStringLiteral("a quoted passage");
    s.before = QStringLiteral("before");
    s.after = QStringLiteral("after");
    return s;
}

bool validIn(const ReadingTextSource &s, std::int64_t pages = 5)
{
    return s.validated(pages).has_value();
}

} // namespace

TEST(ReadingTextSourceValidation, PageMustLieInTheDocument)
{
    ReadingTextSource s = validSource();
    EXPECT_TRUE(validIn(s, 3));
    EXPECT_FALSE(validIn(s, 2));
    EXPECT_FALSE(validIn(s, 0));
    s.page = -1;
    EXPECT_FALSE(validIn(s));
}

TEST(ReadingTextSourceValidation, QuoteLimits)
{
    ReadingTextSource s = validSource();
    s.quote = QStringLiteral(" \n\t ");
    EXPECT_FALSE(validIn(s));
    s.quote = QStringLiteral(" ") + QString(19998, QLatin1Char('x')) + QStringLiteral(" ");
    EXPECT_TRUE(validIn(s));
    s.quote = QString(20001, QLatin1Char('x'));
    EXPECT_FALSE(validIn(s));
}

TEST(ReadingTextSourceValidation, OffsetsAndBlock)
{
    ReadingTextSource s = validSource();
    s.start = s.end = 500000;
    EXPECT_TRUE(validIn(s));
    s.end = 500001;
    EXPECT_FALSE(validIn(s));
    s.start = 30;
    s.end = 20;
    EXPECT_FALSE(validIn(s));
    s = validSource();
    s.block = 20000;
    EXPECT_TRUE(validIn(s));
    s.block = 20001;
    EXPECT_FALSE(validIn(s));
    s.block = -1;
    EXPECT_FALSE(validIn(s));
}

TEST(ReadingTextSourceValidation, ContextCountsUtf16Units)
{
    ReadingTextSource s = validSource();
    s.before = QString(256, QLatin1Char('b'));
    EXPECT_TRUE(validIn(s));
    s.before = QString(255, QLatin1Char('b')) + QString::fromUtf8("😀"); // 257 units
    EXPECT_FALSE(validIn(s));
}

TEST(ReadingTextSourceValidation, Rectangles)
{
    ReadingTextSource s = validSource();
    s.rect = std::vector<double>{0, 0, 1.002, 1.002};
    EXPECT_TRUE(validIn(s));
    s.rect = std::vector<double>{0.5, 0, 0.503, 0.1};
    EXPECT_FALSE(validIn(s));
    s.rect = std::vector<double>{0, 0, 0, 0.1};
    EXPECT_FALSE(validIn(s));
    s.rect = std::vector<double>{0, 0, 0.5};
    EXPECT_FALSE(validIn(s));
    s.rect = std::vector<double>{-0.001, 0, 0.5, 0.5};
    EXPECT_FALSE(validIn(s));

    s = validSource();
    s.pdfRect = QRectF(10, 10, 0, 5);
    EXPECT_FALSE(validIn(s));
    s.pdfRect = QRectF(100, 10, -10, 5);
    const auto kept = s.validated(5);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->pdfRect->width(), -10); // returned as given, not normalized
}

TEST(ReadingTextSourceJson, OptionalKeysAreLeftOut)
{
    const Json j = validSource();
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it)
        keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"page", "start", "end", "quote", "before", "after"}));
}

TEST(ReadingTextSourceJson, RoundTripWithEveryField)
{
    ReadingTextSource s = validSource();
    s.block = 7;
    s.key = QStringLiteral("b7");
    s.rect = std::vector<double>{0.1, 0.2, 0.3, 0.4};
    s.pdfRect = QRectF(72, 600, 200, 14);
    const Json j = s;
    EXPECT_EQ(j["pdfRect"].dump(), "[[72.0,600.0],[200.0,14.0]]");
    EXPECT_EQ(j.get<ReadingTextSource>(), s);
}

TEST(ReadingTextSourceJson, NullOptionalsReadAsAbsentAndMissingRequiredKeysFail)
{
    Json j = Json::parse(R"({"page":1,"block":null,"key":null,"start":0,"end":0,"quote":"q",
                             "before":"","after":"","rect":null,"pdfRect":null,"extra":true})");
    const auto s = j.get<ReadingTextSource>();
    EXPECT_FALSE(s.block);
    EXPECT_FALSE(s.key);
    EXPECT_FALSE(s.rect);
    EXPECT_FALSE(s.pdfRect);

    j.erase("before");
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::json::JsonDecodingError);
    j["before"] = 3;
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::json::JsonDecodingError);
    j["before"] = "";
    j["page"] = 1.5;
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::json::JsonDecodingError);
}

TEST(ReadingTextSourceEquality, CanonicalEquivalenceAndExactRectangles)
{
    ReadingTextSource a = validSource();
    ReadingTextSource b = validSource();
    a.quote = QString::fromUtf8("caf\u00e9");
    b.quote = QString::fromUtf8("cafe\u0301");
    EXPECT_EQ(a, b);
    b.block = 1;
    EXPECT_FALSE(a == b);
    b.block.reset();
    a.rect = std::vector<double>{std::nan(""), 0, 1, 1};
    b.rect = a.rect;
    EXPECT_FALSE(a == b);
    a.rect.reset();
    b.rect.reset();
    a.pdfRect = QRectF(0, 0, 10, 10);
    b.pdfRect = QRectF(0, 0, 10, 10.000001); // QRectF's own == would call these equal
    EXPECT_FALSE(a == b);
}

TEST(ReadingTextSourceDictionary, EmptyWhenANumberIsNotFinite)
{
    ReadingTextSource s = validSource();
    EXPECT_EQ(s.dictionary()["quote"], "a quoted passage");
    s.rect = std::vector<double>{std::numeric_limits<double>::quiet_NaN(), 0, 1, 1};
    EXPECT_TRUE(s.dictionary().empty());
    EXPECT_TRUE(s.dictionary().is_object());
}
