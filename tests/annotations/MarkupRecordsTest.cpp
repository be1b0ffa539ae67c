#include <gtest/gtest.h>

#include <cmath>

#include "annotations/MarkupColor.h"
#include "annotations/ReadingMarkup.h"

using namespace folvan;
using namespace folvan::annotations;

namespace {

ReadingMarkup plainMarkup()
{
    ReadingMarkup m;
    m.id = QUuid::fromString(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    m.page = 2;
    m.kind = QStringLiteral("highlight");
    m.rectangles = {QRectF(10.5, 100, 50, 12)};
    m.quote = QStringLiteral("and/or");
    return m;
}

} // namespace

TEST(MarkupFileForm, WritesRequiredKeysOnlyWhenOptionalsAreAbsent)
{
    ReadingMarkup full = plainMarkup();
    full.note = QStringLiteral("注");
    full.color = QStringLiteral("green");
    full.rgba = std::vector<double>{1, 0, 0, 0.5};
    full.sourceKey = QStringLiteral("ab12");

    QByteArray bytes;
    QString error;
    ASSERT_TRUE(encodeMarkups({plainMarkup(), full}, &bytes, &error)) << error.toStdString();
    EXPECT_EQ(bytes.toStdString(),
              "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"page\":2,\"kind\":\"highlight\","
              "\"rectangles\":[[[10.5,100],[50,12]]],\"quote\":\"and\\/or\",\"note\":\"\"},"
              "{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"page\":2,\"kind\":\"highlight\","
              "\"rectangles\":[[[10.5,100],[50,12]]],\"quote\":\"and\\/or\",\"note\":\"注\","
              "\"color\":\"green\",\"rgba\":[1,0,0,0.5],\"sourceKey\":\"ab12\"}]");

    std::optional<std::vector<ReadingMarkup>> back = decodeMarkups(bytes, &error);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[0], plainMarkup());
    EXPECT_EQ((*back)[1], full);
    EXPECT_FALSE((*back)[0].color);

    ASSERT_TRUE(encodeMarkups({}, &bytes, &error));
    EXPECT_EQ(bytes, "[]");

    // A number that is not finite is never written.
    ReadingMarkup broken = plainMarkup();
    broken.rectangles = {QRectF(NAN, 0, 1, 1)};
    EXPECT_FALSE(encodeMarkups({broken}, &bytes, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(MarkupFileForm, DecodingIgnoresExtraKeysAndNullOptionals)
{
    const QByteArray text =
        "[{\"id\":\"6f9619ff-8b86-d011-b42d-00c04fc964ff\",\"page\":2,\"kind\":\"highlight\","
        "\"rectangles\":[[[10.5,100],[50,12]]],\"quote\":\"and/or\",\"note\":\"\","
        "\"color\":null,\"rgba\":null,\"sourceKey\":null,\"later\":{\"x\":1}}]";
    QString error;
    std::optional<std::vector<ReadingMarkup>> markups = decodeMarkups(text, &error);
    ASSERT_TRUE(markups) << error.toStdString();
    ASSERT_EQ(markups->size(), 1u);
    EXPECT_EQ(markups->front(), plainMarkup());

    QByteArray again;
    ASSERT_TRUE(encodeMarkups(*markups, &again, &error));
    EXPECT_FALSE(again.contains("later"));
    EXPECT_FALSE(again.contains("null"));
}

TEST(MarkupFileForm, OneBadElementFailsTheWholeList)
{
    const QByteArray good = "{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"page\":0,\"kind\":\"text\","
                            "\"rectangles\":[],\"quote\":\"\",\"note\":\"n\"}";
    QString error;
    EXPECT_TRUE(decodeMarkups("[" + good + "]", &error));

    const QByteArray withoutNote = "{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"page\":0,"
                                   "\"kind\":\"text\",\"rectangles\":[],\"quote\":\"\"}";
    EXPECT_FALSE(decodeMarkups("[" + good + "," + withoutNote + "]", &error));
    EXPECT_FALSE(error.isEmpty());

    QByteArray fractionalPage = good;
    fractionalPage.replace("\"page\":0", "\"page\":1.5");
    EXPECT_FALSE(decodeMarkups("[" + fractionalPage + "]", &error));

    QByteArray numberNote = good;
    numberNote.replace("\"note\":\"n\"", "\"note\":3");
    EXPECT_FALSE(decodeMarkups("[" + numberNote + "]", &error));

    EXPECT_FALSE(decodeMarkups("{}", &error));
    EXPECT_FALSE(decodeMarkups("not json", &error));
}

TEST(MarkupEquality, ComparesEveryFieldExactly)
{
    ReadingMarkup a = plainMarkup();
    ReadingMarkup b = a;
    EXPECT_EQ(a, b);
    b.rectangles[0].setWidth(50.0000000001); // QRectF's own == would call these equal
    EXPECT_FALSE(a == b);
    b = a;
    b.rgba = std::vector<double>{};
    EXPECT_FALSE(a == b);
}

TEST(MarkupColors, RawValuesAreExactAndOrdered)
{
    EXPECT_FALSE(MarkupColor::fromRawValue(QStringLiteral("Yellow")));
    EXPECT_FALSE(MarkupColor::fromRawValue(QString()));
    EXPECT_EQ(MarkupColor::fromRawValue(QStringLiteral("pink")), MarkupColor(MarkupColor::pink));

    QStringList names;
    QStringList raw;
    for (MarkupColor c : MarkupColor::allCases()) {
        names << c.displayName();
        raw << c.id();
    }
    EXPECT_EQ(raw, QStringList({"yellow", "green", "blue", "pink"}));
    EXPECT_EQ(names, QStringList({"黄色", "绿色", "蓝色", "粉色"}));
}

TEST(MarkupColors, OnlyAHighlightIsTranslucent)
{
    const MarkupColor green(MarkupColor::green);
    EXPECT_EQ(green.color(QStringLiteral("highlight")), (engine::PdfColor{0.35, 0.78, 0.43, 0.35}));
    EXPECT_EQ(green.color(QStringLiteral("underline")), (engine::PdfColor{0.35, 0.78, 0.43, 1.0}));
    EXPECT_EQ(MarkupColor(MarkupColor::yellow).color(QStringLiteral("Highlight")).alpha, 1.0);
    EXPECT_EQ(MarkupColor(MarkupColor::yellow).color(QString()).alpha, 1.0);
}
