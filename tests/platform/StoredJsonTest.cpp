#include "platform/StoredJson.h"
#include "support/TestEnv.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace folvan::platform;

namespace {

TEST(StoredJsonTest, WriterIsCompactWithEscapedSolidusAndKeysInOrder)
{
    json value = json::object();
    value["path"] = "/home/a/b.pdf";
    value["id"] = uuidString(QUuid(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"))).toStdString();
    value["page"] = 3;
    value["points"] = json::array({json::array({1.5, 2.0, -0.25, 1e300}), json::array()});
    value["title"] = "论文 \"x\"";
    EXPECT_EQ(encodeStoredJson(value),
              QByteArray("{\"path\":\"\\/home\\/a\\/b.pdf\",\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\","
                         "\"page\":3,\"points\":[[1.5,2,-0.25,1e+300],[]],\"title\":\"论文 \\\"x\\\"\"}"));
    EXPECT_EQ(encodeStoredJson(json::array()), QByteArray("[]"));
}

TEST(StoredJsonTest, NonFiniteNumbersAndInvalidTextAreRefused)
{
    EXPECT_FALSE(encodeStoredJson(json(std::string("\xff\xfe")), nullptr, nullptr));
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        json value = json::object();
        value["records"] = json::array({json::object({{"zoom", bad}})});
        EXPECT_THROW(encodeStoredJson(value), StoredJsonError);
        QByteArray out("untouched");
        QString error;
        EXPECT_FALSE(encodeStoredJson(value, &out, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(out, QByteArray("untouched"));
    }
}

TEST(StoredJsonTest, AbsentOptionalsAreLeftOut)
{
    json value = json::object();
    setOptional(value, "page", std::optional<int>());
    setOptional(value, "block", std::optional<int>(4));
    setOptional(value, "title", std::optional<QString>());
    setOptional(value, "path", std::optional<QString>(QStringLiteral("/a")));
    EXPECT_EQ(encodeStoredJson(value), QByteArray("{\"block\":4,\"path\":\"\\/a\"}"));

    const auto parsed = decodeStoredJson("{\"a\":null,\"b\":1}");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(member(*parsed, "a"), nullptr);
    EXPECT_EQ(member(*parsed, "missing"), nullptr);
    ASSERT_NE(member(*parsed, "b"), nullptr);
    EXPECT_THROW(member(json::array(), "b"), JsonDecodingError);
    EXPECT_EQ(readOptional<std::int64_t>(*parsed, "a"), std::nullopt);
    EXPECT_EQ(readOptional<std::int64_t>(*parsed, "b"), 1);
    EXPECT_THROW(readOptional<QString>(*parsed, "b"), JsonDecodingError);
}

// The value that `read` gives, or none when it throws.
template <typename T>
std::optional<T> strict(const json &value)
{
    try {
        return readJson<T>(value, "value");
    } catch (const JsonDecodingError &) {
        return std::nullopt;
    }
}

TEST(StoredJsonTest, StrictReadersRefuseOtherKinds)
{
    EXPECT_EQ(strict<std::int64_t>(json(7)), 7);
    EXPECT_EQ(strict<std::int64_t>(json(3.0)), 3);
    EXPECT_EQ(strict<std::int64_t>(json(1.5)), std::nullopt);
    EXPECT_EQ(strict<std::int64_t>(json("7")), std::nullopt);
    EXPECT_EQ(strict<std::int64_t>(json(true)), std::nullopt);
    EXPECT_EQ(strict<std::int64_t>(json(4294967296LL)), 4294967296LL);
    EXPECT_EQ(strict<std::int64_t>(json(18446744073709551615ULL)), std::nullopt);
    EXPECT_EQ(strict<std::int64_t>(json(1e300)), std::nullopt);

    EXPECT_EQ(strict<double>(json(2)), 2.0);
    EXPECT_EQ(strict<double>(json("2")), std::nullopt);
    EXPECT_EQ(strict<bool>(json(1)), std::nullopt);
    EXPECT_EQ(strict<QString>(json(1)), std::nullopt);
    EXPECT_EQ(strict<QString>(json("斜/杠")), QStringLiteral("斜/杠"));
    EXPECT_EQ(strict<QByteArray>(json("AAEC/w==")), QByteArray::fromHex("000102ff"));
    for (const char *notBase64 : {"AAE", "AAEC_w==", "AAEC\n/w=="})
        EXPECT_EQ(strict<QByteArray>(json(notBase64)), std::nullopt) << notBase64;
    EXPECT_EQ(strict<std::vector<double>>(json::array({1, 2.5})), (std::vector<double>{1, 2.5}));
    EXPECT_EQ(strict<std::vector<double>>(json::array({1, "2"})), std::nullopt);
    EXPECT_EQ(strict<QPointF>(json::parse("[1, 2]")), QPointF(1, 2));
    EXPECT_EQ(strict<QPointF>(json::parse("[1]")), std::nullopt);
    // A rectangle keeps a negative width as given.
    EXPECT_EQ(strict<QRectF>(json::parse("[[1, 2], [-3, 4]]")), QRectF(1, 2, -3, 4));
    EXPECT_EQ(strict<QRectF>(json::parse("[[1, 2], [3]]")), std::nullopt);

    // Parsed text reads the same way.
    const auto parsed = decodeStoredJson("{\"page\":2.5,\"count\":4}");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(strict<std::int64_t>(*member(*parsed, "page")), std::nullopt);
    EXPECT_EQ(strict<std::int64_t>(*member(*parsed, "count")), 4);
    QString error;
    EXPECT_FALSE(decodeStoredJson("{\"page\":", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(StoredJsonTest, AFaultNamesItsKeyAndWhatItShouldHaveHeld)
{
    const auto parsed = decodeStoredJson(R"({"page":1.5,"title":null})");
    ASSERT_TRUE(parsed);
    const auto fault = [&](auto read) {
        try {
            read();
        } catch (const JsonDecodingError &e) {
            return std::make_pair(e.missing(), std::string(e.what()));
        }
        return std::make_pair(false, std::string("no fault"));
    };
    EXPECT_EQ(fault([&] { readRequired<std::int64_t>(*parsed, "page"); }),
              std::make_pair(false, std::string("page: expected an integer")));
    EXPECT_EQ(fault([&] { readRequired<QString>(*parsed, "title"); }),
              std::make_pair(true, std::string("title: expected a string")));
    EXPECT_EQ(fault([&] { readRequired<QString>(*parsed, "body"); }),
              std::make_pair(true, std::string("body: key not found")));
    EXPECT_EQ(fault([&] { readRequired<QString>(json::array(), "body"); }),
              std::make_pair(false, std::string(R"(expected an object holding "body")")));
}

TEST(StoredJsonTest, ErrorTextsCarryNoParserTag)
{
    QString error;
    EXPECT_FALSE(decodeStoredJson("{\"page\":", &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("parse error at line 1"))) << qPrintable(error);
    EXPECT_FALSE(encodeStoredJson(json(std::string("\xff")), nullptr, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(QStringLiteral("json.exception"))) << qPrintable(error);
}

TEST(StoredJsonTest, UuidsAreUpperCaseAndParsedInEitherCase)
{
    const QString fresh = newUuidString();
    EXPECT_EQ(fresh, fresh.toUpper());
    EXPECT_EQ(fresh.size(), 36);
    const auto lower = parseUuid(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
    ASSERT_TRUE(lower);
    EXPECT_EQ(uuidString(*lower), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(parseUuid(QStringLiteral("not-a-uuid")), std::nullopt);
    EXPECT_EQ(parseUuid(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}")), std::nullopt);
    EXPECT_EQ(strict<QUuid>(json(12)), std::nullopt);
    EXPECT_EQ(strict<QUuid>(json("0f8fad5b-d9cb-469f-a165-70867728950e")), *lower);
    EXPECT_EQ(strict<QUuid>(json("not-a-uuid")), std::nullopt);
}

TEST(StoredJsonTest, DatesAreSecondsSince2001)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_DOUBLE_EQ(referenceSeconds(reference), 0.0);
    const QDateTime later(QDate(2024, 3, 1), QTime(12, 30, 15, 250), QTimeZone::utc());
    EXPECT_DOUBLE_EQ(referenceSeconds(later), 730989015.25);
    EXPECT_EQ(dateFromReferenceSeconds(730989015.25), later);
    EXPECT_EQ(dateFromReferenceSeconds(-86400.0), reference.addDays(-1));
    EXPECT_EQ(strict<QDateTime>(json("2024")), std::nullopt);
    EXPECT_EQ(strict<QDateTime>(json(0)), reference);
    // A number too large to be a date is refused, not converted.
    for (double huge : {1e300, -1e300, 1e17})
        EXPECT_EQ(strict<QDateTime>(json(huge)), std::nullopt) << huge;
}

// A NUL byte never belongs to a JSON text: what stands after it is not
// left unread, nor is a file padded with zeros read as whole.
TEST(StoredJsonTest, ANulByteAnywhereIsRefused)
{
    for (const QByteArray &bytes : {QByteArray("[\"a\"]\0\0\0\0", 9), QByteArray("[\"a\"]\0,\"b\"]", 10),
                                    QByteArray("[\"a\0b\"]", 7), QByteArray(16, '\0')}) {
        QString error;
        EXPECT_FALSE(decodeStoredJson(bytes, &error)) << bytes.toHex().toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("NUL"))) << error.toStdString();
    }
    EXPECT_EQ(*decodeStoredJson(R"(["a\u0000b"])"), json::array({std::string("a\0b", 3)}));
}

TEST(StoredJsonTest, NestingBeyondTheLimitIsRefusedAndBracketsInStringsDoNotCount)
{
    QString error;
    EXPECT_FALSE(decodeStoredJson(folvan::test::deeplyNestedJson(), &error));
    EXPECT_TRUE(error.contains(QString::number(maximumJsonDepth))) << error.toStdString();
    // The object around the arrays is one level of its own.
    EXPECT_TRUE(decodeStoredJson(folvan::test::deeplyNestedJson(maximumJsonDepth - 1)));
    EXPECT_FALSE(decodeStoredJson(folvan::test::deeplyNestedJson(maximumJsonDepth)));

    const QByteArray brackets(100000, '[');
    const auto inString = decodeStoredJson("{\"a\":\"\\\"" + brackets + "\",\"b\":[1]}");
    ASSERT_TRUE(inString);
    EXPECT_EQ((*inString)["b"][0], 1);
    // Closing brackets in excess never buy depth for what follows.
    const QByteArray unbalanced = QByteArray(10, ']') + QByteArray(4, '[');
    EXPECT_TRUE(jsonNestsDeeperThan(unbalanced.constBegin(), unbalanced.constEnd(), 3));
}

} // namespace
