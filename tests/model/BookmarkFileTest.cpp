// The bookmark file's stored form, compared with literal files.

#include "ModelFixtures.h"
#include "model/ReadingBookmark.h"
#include "platform/DocumentHash.h"
#include "support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ReadingTextSource passage()
{
    ReadingTextSource s;
    s.page = 4;
    s.block = 3;
    s.start = 5;
    s.end = 9;
    s.quote = QStringLiteral("text");
    s.before = QStringLiteral("a/b");
    s.after = QString();
    s.pdfRect = QRectF(72, 600.5, 100, 12);
    return s;
}

} // namespace

TEST(ReadingLocationJson, ReadsWhatItWritesAndIgnoresOtherKeys)
{
    const auto j = nlohmann::ordered_json::parse(R"({"page":2,"point":[10.5,20],"source":null,"zoom":3})");
    const auto location = j.get<ReadingLocation>();
    EXPECT_EQ(location.page, 2);
    EXPECT_FALSE(location.source);
    ASSERT_TRUE(location.point);
    EXPECT_EQ(*location.point, QPointF(10.5, 20));
    EXPECT_THROW(nlohmann::ordered_json::parse(R"({"point":[1,2]})").get<ReadingLocation>(), std::exception);
    EXPECT_THROW(nlohmann::ordered_json::parse(R"({"page":"1"})").get<ReadingLocation>(), std::exception);
}

TEST(ReadingLocationEquality, NaNPointsNeverCompareEqual)
{
    const ReadingLocation a{1, std::nullopt, QPointF(qQNaN(), 0)};
    EXPECT_FALSE(a == a);
    EXPECT_TRUE((ReadingLocation{1, std::nullopt, QPointF(1, 2)} == ReadingLocation{1, std::nullopt, QPointF(1, 2)}));
    EXPECT_FALSE((ReadingLocation{1, std::nullopt, QPointF(1, 2)} == ReadingLocation{1, std::nullopt, std::nullopt}));
}

TEST(BookmarkFileCoding, MatchesTheStoredFormKeyByKey)
{
    const std::vector<ReadingBookmark> bookmarks{
        {QUuid(QStringLiteral("{6f1c2e0a-9b7d-4c3e-8a21-0d5e4f6a7b8c}")),
         ReadingLocation{0, std::nullopt, QPointF(72.5, 700)}, QStringLiteral("Intro/Background")},
        {QUuid(QStringLiteral("{00000000-0000-4000-8000-00000000000a}")), ReadingLocation{4, passage(), std::nullopt},
         QStringLiteral("第 5 页")},
    };
    QByteArray data;
    QString error;
    ASSERT_TRUE(encodeBookmarkFile(bookmarks, &data, &error)) << error.toStdString();
    const QByteArray expected =
        R"([{"id":"6F1C2E0A-9B7D-4C3E-8A21-0D5E4F6A7B8C","location":{"page":0,"point":[72.5,700]},"title":"Intro\/Background"},)"
        R"({"id":"00000000-0000-4000-8000-00000000000A","location":{"page":4,"source":{"page":4,"block":3,"start":5,"end":9,)"
        R"("quote":"text","before":"a\/b","after":"","pdfRect":[[72,600.5],[100,12]]}},"title":"第 5 页"}])";
    EXPECT_EQ(QString::fromUtf8(data), QString::fromUtf8(expected));

    std::vector<ReadingBookmark> decoded;
    ASSERT_TRUE(decodeBookmarkFile(expected, &decoded, &error)) << error.toStdString();
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].id, bookmarks[0].id);
    EXPECT_EQ(decoded[0].title, bookmarks[0].title);
    EXPECT_EQ(decoded[1].location, bookmarks[1].location);
}

TEST(BookmarkFileCoding, OneBadEntryFailsTheWholeFile)
{
    std::vector<ReadingBookmark> decoded;
    QString error;
    EXPECT_FALSE(decodeBookmarkFile(R"([{"id":"00000000-0000-4000-8000-00000000000A","location":{"page":1}}])",
                                    &decoded, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(decodeBookmarkFile(R"([{"id":"nope","location":{"page":1},"title":""}])", &decoded, &error));
    EXPECT_FALSE(decodeBookmarkFile(R"({"id":"x"})", &decoded, &error));
    EXPECT_TRUE(decodeBookmarkFile("[]", &decoded, &error));
    EXPECT_TRUE(decoded.empty());

    // The detail that the load error shows.
    const std::string id = R"("id":"00000000-0000-4000-8000-00000000000A")";
    const std::pair<std::string, const char *> told[] = {
        {R"({"id":"x"})", "expected an array of bookmarks"},
        {"[3]", R"(expected an object holding "id")"},
        {"[{" + id + R"(,"location":{"page":1}}])", "title: key not found"},
        {R"([{"id":"nope","location":{"page":1},"title":""}])", "id: not a UUID"},
        {R"([{"id":7,"location":{"page":1},"title":""}])", "id: expected a string"},
        {"[{" + id + R"(,"title":""}])", "location: key not found"},
        {"[{" + id + R"(,"location":null,"title":""}])", R"(expected an object holding "page")"},
        {"[{" + id + R"(,"location":{"page":"1"},"title":""}])", "page: expected an integer"},
        {"[{" + id + R"(,"location":{"page":null},"title":""}])", "page: expected an integer"},
        {"[{" + id + R"(,"location":{"page":1,"point":[1]},"title":""}])", "point: expected [x, y]"},
        {"[{" + id + R"(,"location":{"page":1,"point":[1,"2"]},"title":""}])", "point: expected a number"},
        {"[{" + id + R"(,"location":{"page":1,"source":{"page":1}},"title":""}])", "start: key not found"},
        {"[{" + id + R"(,"location":{"page":1,"source":{"page":1,"start":0,"end":0,"quote":"q","before":"",)"
                     R"("after":"","rect":[1,"x"]}},"title":""}])",
         "rect: expected a number"},
        {"[{" + id + R"(,"location":{"page":1,"source":{"page":1,"start":0,"end":0,"quote":"q","before":"",)"
                     R"("after":"","pdfRect":[[1,2],[3]]}},"title":""}])",
         "rectangle: expected [[x, y], [width, height]]"},
        {"[{" + id + R"(,"location":{"page":1},"title":null}])", "title: expected a string"},
    };
    for (const auto &[text, detail] : told) {
        EXPECT_FALSE(decodeBookmarkFile(QByteArray::fromStdString(text), &decoded, &error)) << text;
        EXPECT_EQ(error, QString::fromUtf8(detail)) << text;
    }
}

class BookmarkFileOnDisk : public test::TempHomeTest {};

TEST_F(BookmarkFileOnDisk, StoredUnderTheDocumentHashInTheAnnotationsFolder)
{
    const QString pdf = path("paper.pdf");
    auto document = test::writeDocument(pdf, 3);
    ASSERT_TRUE(document);
    SharedPDFViewModel model;
    test::openAndShowInModel(model, document, QUrl::fromLocalFile(pdf), 1);
    model.toggleBookmark();

    const QString expectedPath = QDir::cleanPath(root() + "/data/Folvan/Annotations/")
        + QLatin1Char('/') + platform::documentFileName(pdf) + QStringLiteral("-bookmarks.json");
    EXPECT_EQ(model.bookmarkURL(QUrl::fromLocalFile(pdf)), expectedPath);
    const QByteArray stored = readAll(expectedPath);
    const QString id = model.bookmarks().at(0).id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_EQ(QString::fromUtf8(stored),
              QStringLiteral(R"([{"id":"%1","location":{"page":1},"title":"第 2 页"}])").arg(id));
}
