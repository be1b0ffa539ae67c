#include "model/ReadingTextSource.h"
#include "platform/StoredJson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using folvan::model::ReadingTextSource;
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

} // namespace

// Each case changes a valid passage; the page count of the document is 5
// unless given.
TEST(ReadingTextSourceValidation, LimitsOfPageOffsetsQuoteContextAndRectangles)
{
    using Change = std::function<void(ReadingTextSource &)>;
    const struct {
        const char *what;
        Change change;
        bool valid;
        std::int64_t pages = 5;
    } cases[] = {
        {"page in a 3-page document", [](auto &) {}, true, 3},
        {"page beyond the document", [](auto &) {}, false, 2},
        {"empty document", [](auto &) {}, false, 0},
        {"negative page", [](auto &s) { s.page = -1; }, false},
        {"blank quote", [](auto &s) { s.quote = " \n\t "; }, false},
        {"20000 units after trimming", [](auto &s) { s.quote = " " + QString(19998, 'x') + " "; }, true},
        {"quote too long", [](auto &s) { s.quote = QString(20001, 'x'); }, false},
        {"offsets at the limit", [](auto &s) { s.start = s.end = 500000; }, true},
        {"end beyond the limit", [](auto &s) { s.start = 500000, s.end = 500001; }, false},
        {"start after end", [](auto &s) { s.start = 30, s.end = 20; }, false},
        {"block at the limit", [](auto &s) { s.block = 20000; }, true},
        {"block beyond the limit", [](auto &s) { s.block = 20001; }, false},
        {"negative block", [](auto &s) { s.block = -1; }, false},
        {"256 units of context", [](auto &s) { s.before = QString(256, 'b'); }, true},
        {"257 units of context", [](auto &s) { s.before = QString(255, 'b') + QString::fromUtf8("😀"); }, false},
        {"rect within tolerance", [](auto &s) { s.rect = std::vector<double>{0, 0, 1.002, 1.002}; }, true},
        {"rect beyond the sheet", [](auto &s) { s.rect = std::vector<double>{0.5, 0, 0.503, 0.1}; }, false},
        {"rect without width", [](auto &s) { s.rect = std::vector<double>{0, 0, 0, 0.1}; }, false},
        {"rect of three numbers", [](auto &s) { s.rect = std::vector<double>{0, 0, 0.5}; }, false},
        {"rect left of the sheet", [](auto &s) { s.rect = std::vector<double>{-0.001, 0, 0.5, 0.5}; }, false},
        {"pdfRect without width", [](auto &s) { s.pdfRect = QRectF(10, 10, 0, 5); }, false},
    };
    for (const auto &c : cases) {
        ReadingTextSource s = validSource();
        c.change(s);
        EXPECT_EQ(s.validated(c.pages).has_value(), c.valid) << c.what;
    }

    // A rectangle of negative width is returned as given, not normalized.
    ReadingTextSource s = validSource();
    s.pdfRect = QRectF(100, 10, -10, 5);
    const auto kept = s.validated(5);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->pdfRect->width(), -10);
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
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::platform::JsonDecodingError);
    j["before"] = 3;
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::platform::JsonDecodingError);
    j["before"] = "";
    j["page"] = 1.5;
    EXPECT_THROW(j.get<ReadingTextSource>(), folvan::platform::JsonDecodingError);
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
