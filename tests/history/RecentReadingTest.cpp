#include "history/RecentReading.h"

#include <gtest/gtest.h>

using folvan::history::DocumentReadingState;
using folvan::history::RecentReading;
using folvan::history::decodeReadingHistory;
using folvan::history::encodeReadingHistory;

namespace {

// Two records as the history file holds them: one with every field, one with
// only the required ones.
const QByteArray storedFile = QByteArrayLiteral(
    R"([{"id":"0F3A2C4E-1B2D-4E5F-8A9B-0C1D2E3F4A5B","path":"\/home\/u\/papers\/a b.pdf",)"
    R"("bookmark":"AAECAw==","fileIdentity":"2049:131","state":{"page":12,"zoom":1.5,)"
    R"("angle":-12.5,"isBook":false,"layout":"single","isReflow":true,"reflowBlock":40,)"
    R"("reflowOffset":7},"openedAt":786543210.25},)"
    R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/tmp\/论文.pdf",)"
    R"("state":{"page":0,"zoom":1,"angle":0,"isBook":true,"layout":"spread"},)"
    R"("openedAt":786000000.5}])");

QByteArray encoded(const QList<RecentReading> &records)
{
    QByteArray out;
    QString error;
    EXPECT_TRUE(encodeReadingHistory(records, &out, &error)) << error.toStdString();
    return out;
}

std::optional<QList<RecentReading>> decoded(const char *text, QString *error = nullptr)
{
    QString ignored;
    return decodeReadingHistory(QByteArray(text), error ? error : &ignored);
}

} // namespace

TEST(ReadingHistoryFile, ReadsAndWritesTheStoredFormExactly)
{
    QString error;
    const auto records = decodeReadingHistory(storedFile, &error);
    ASSERT_TRUE(records) << error.toStdString();
    ASSERT_EQ(records->size(), 2);

    const RecentReading &full = records->at(0);
    EXPECT_EQ(full.id, QUuid::fromString(QStringLiteral("0f3a2c4e-1b2d-4e5f-8a9b-0c1d2e3f4a5b")));
    EXPECT_EQ(full.path, QStringLiteral("/home/u/papers/a b.pdf"));
    EXPECT_EQ(full.bookmark, QByteArray("\x00\x01\x02\x03", 4));
    EXPECT_EQ(full.fileIdentity, QStringLiteral("2049:131"));
    EXPECT_EQ(full.state.page, 12);
    EXPECT_EQ(full.state.zoom, 1.5);
    EXPECT_EQ(full.state.angle, -12.5);
    EXPECT_FALSE(full.state.isBook);
    EXPECT_EQ(full.state.layout, folvan::platform::BookLayout::Single);
    EXPECT_EQ(full.state.isReflow, true);
    EXPECT_EQ(full.state.reflowBlock, 40);
    EXPECT_EQ(full.state.reflowOffset, 7);
    EXPECT_EQ(full.openedAt, 786543210.25);

    const RecentReading &bare = records->at(1);
    EXPECT_EQ(bare.path, QStringLiteral("/tmp/论文.pdf"));
    EXPECT_FALSE(bare.bookmark || bare.fileIdentity);
    EXPECT_FALSE(bare.state.isReflow || bare.state.reflowBlock || bare.state.reflowOffset);

    EXPECT_EQ(encoded(*records), storedFile);
}

TEST(ReadingHistoryFile, ReadsAnyLayoutButSingleAsSpread)
{
    for (const char *layout : {"Single", "", "double"}) {
        const QByteArray file = QByteArrayLiteral(R"([{"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/a.pdf",)")
            + R"("state":{"page":0,"zoom":1,"angle":0,"isBook":true,"layout":")" + layout + R"("},"openedAt":1}])";
        QString error;
        const auto records = decodeReadingHistory(file, &error);
        ASSERT_TRUE(records && records->size() == 1) << error.toStdString();
        EXPECT_EQ(records->at(0).state.layout, folvan::platform::BookLayout::Spread) << layout;
    }
}

TEST(ReadingHistoryFile, LeavesAbsentFieldsOutAndReadsNullAsAbsent)
{
    RecentReading record;
    record.id = QUuid::createUuid();
    record.path = QStringLiteral("/a.pdf");
    const QByteArray out = encoded({record});
    EXPECT_EQ(out.count("\"id\""), 1);
    EXPECT_FALSE(out.contains("bookmark") || out.contains("fileIdentity") || out.contains("reflow")
                 || out.contains("isReflow") || out.contains("null"));
    EXPECT_TRUE(out.contains(record.id.toString(QUuid::WithoutBraces).toUpper().toLatin1()));

    const auto withNulls = decoded(
        R"([{"id":"0f3a2c4e-1b2d-4e5f-8a9b-0c1d2e3f4a5b","path":"\/a.pdf","bookmark":null,)"
        R"("fileIdentity":null,"extra":[1,2],"state":{"page":3,"zoom":2,"angle":0,"isBook":true,)"
        R"("layout":"spread","isReflow":null,"reflowBlock":null,"reflowOffset":null},"openedAt":5}])");
    ASSERT_TRUE(withNulls);
    const RecentReading &read = withNulls->at(0);
    EXPECT_FALSE(read.bookmark || read.fileIdentity);
    EXPECT_FALSE(read.state.isReflow || read.state.reflowBlock || read.state.reflowOffset);
    EXPECT_EQ(read.state.zoom, 2.0);
    EXPECT_EQ(read.openedAt, 5.0);

    // A number that is not finite is never written.
    record.state.zoom = std::numeric_limits<double>::quiet_NaN();
    QByteArray refused;
    QString error;
    EXPECT_FALSE(encodeReadingHistory({record}, &refused, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ReadingHistoryFile, OneIncompleteRecordMakesTheWholeFileUnreadable)
{
    const char *good = R"({"id":"0F3A2C4E-1B2D-4E5F-8A9B-0C1D2E3F4A5B","path":"\/a.pdf",)"
                       R"("state":{"page":1,"zoom":1,"angle":0,"isBook":true,"layout":"spread"},"openedAt":1})";
    ASSERT_TRUE(decoded((std::string("[") + good + "]").c_str()));

    const char *broken[] = {
        // a record without "openedAt" beside a complete one
        R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf",)"
        R"("state":{"page":1,"zoom":1,"angle":0,"isBook":true,"layout":"spread"}})",
        // a fractional page
        R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf",)"
        R"("state":{"page":1.5,"zoom":1,"angle":0,"isBook":true,"layout":"spread"},"openedAt":1})",
        // an identifier that is not a UUID
        R"({"id":"not-a-uuid","path":"\/b.pdf",)"
        R"("state":{"page":1,"zoom":1,"angle":0,"isBook":true,"layout":"spread"},"openedAt":1})",
        // bookmark bytes that are not Base64
        R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf","bookmark":"AAE",)"
        R"("state":{"page":1,"zoom":1,"angle":0,"isBook":true,"layout":"spread"},"openedAt":1})",
        // a required state key that holds null
        R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf",)"
        R"("state":{"page":1,"zoom":null,"angle":0,"isBook":true,"layout":"spread"},"openedAt":1})",
    };
    for (const char *record : broken) {
        QString error;
        const std::string text = std::string("[") + good + "," + record + "]";
        EXPECT_FALSE(decoded(text.c_str(), &error)) << record;
        // Said in the interface's language, as one sentence.
        EXPECT_TRUE(error.startsWith(QStringLiteral("第 2 条记录"))) << error.toStdString();
        EXPECT_TRUE(error.endsWith(QChar(0x3002))) << error.toStdString();
    }
    // Each fault told by its key.
    const std::pair<const char *, const char *> told[] = {
        {broken[0], "第 2 条记录缺少“openedAt”。"},
        {broken[1], "第 2 条记录“page”的类型或格式不对。"},
        {broken[2], "第 2 条记录“id”的类型或格式不对。"},
        {broken[3], "第 2 条记录“bookmark”的类型或格式不对。"},
        {broken[4], "第 2 条记录缺少“zoom”。"},
        {R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":3,"state":{},"openedAt":1})",
         "第 2 条记录“path”的类型或格式不对。"},
        {R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf","openedAt":1})", "第 2 条记录缺少“state”。"},
        {R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf","state":[],"openedAt":1})",
         "第 2 条记录“state”不是对象。"},
        {R"({"id":"9C2B7D11-4A5E-4C3B-9F00-6D7E8F9A0B1C","path":"\/b.pdf",)"
         R"("state":{"page":1,"zoom":1,"angle":0,"isBook":true,"layout":"spread","isReflow":1},"openedAt":1})",
         "第 2 条记录“isReflow”的类型或格式不对。"},
        {"7", "第 2 条记录不是对象。"},
    };
    for (const auto &[record, text] : told) {
        QString error;
        decoded((std::string("[") + good + "," + record + "]").c_str(), &error);
        EXPECT_EQ(error, QString::fromUtf8(text)) << record;
    }
    EXPECT_FALSE(decoded(R"({"records":[]})"));
    EXPECT_FALSE(decoded("[{"));
}
