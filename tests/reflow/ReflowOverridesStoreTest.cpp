#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/StoredJson.h"
#include "platform/SystemErrors.h"
#include "platform/UnsavedChanges.h"
#include "reflow/ReflowOverridesStore.h"
#include "support/HeldDataFolder.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

using folvan::reflow::ReflowOverridesChanged;
using folvan::reflow::ReflowOverridesStore;
using namespace folvan;

namespace {

class OverridesTest : public test::TempHomeTest {
protected:
    QString folder() const { return path(QStringLiteral("Reflow")); }
    QString fileOf(const QUuid &paper) const
    {
        return QDir(folder()).filePath(paper.toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".json"));
    }
    QUuid paper = QUuid::createUuid();
};

} // namespace

TEST(ReflowOverridesKeys, AcceptOnlyTheBlockIdentifierForm)
{
    EXPECT_TRUE(ReflowOverridesStore::valid(QStringLiteral("1:2:abcdef12")));
    EXPECT_TRUE(ReflowOverridesStore::valid(QStringLiteral("12345:0:00000000")));
    EXPECT_FALSE(ReflowOverridesStore::valid(QStringLiteral("1:2:ABCDEF12")));
    EXPECT_FALSE(ReflowOverridesStore::valid(QStringLiteral("123456:2:abcdef12")));
    EXPECT_FALSE(ReflowOverridesStore::valid(QStringLiteral("1:2:abcdef1")));
    EXPECT_FALSE(ReflowOverridesStore::valid(QStringLiteral("1:2:abcdef12\n")));
    EXPECT_FALSE(ReflowOverridesStore::valid(QString::fromUtf8("١:2:abcdef12"))); // not an ASCII digit
}

TEST_F(OverridesTest, MarksAreWrittenSortedAndReadBack)
{
    std::vector<ReflowOverridesChanged> posted;
    QObject context;
    platform::NotificationCenter::shared().observe<ReflowOverridesChanged>(
        &context, [&](const ReflowOverridesChanged &change) { posted.push_back(change); });
    {
        ReflowOverridesStore store(paper, folder());
        EXPECT_TRUE(store.set(QStringLiteral("3:1:bbbbbbbb"), true));
        EXPECT_TRUE(store.set(QStringLiteral("1:2:aaaaaaaa"), true));
        EXPECT_TRUE(store.set(QStringLiteral("9:9:cccccccc"), false)); // not marked: still written
        EXPECT_FALSE(store.set(QStringLiteral("bad"), true));
        ASSERT_EQ(posted.size(), 3u);
        EXPECT_EQ(posted.back().file, fileOf(paper));
        EXPECT_EQ(posted.back().session, store.sessionID());
    }
    EXPECT_EQ(test::readTestFile(fileOf(paper)), QByteArray(R"(["1:2:aaaaaaaa","3:1:bbbbbbbb"])"));
    ReflowOverridesStore again(paper, folder());
    EXPECT_EQ(again.keys(), (std::set<QString>{QStringLiteral("1:2:aaaaaaaa"), QStringLiteral("3:1:bbbbbbbb")}));
    EXPECT_TRUE(again.error().isEmpty());
}

TEST_F(OverridesTest, KeepsAtMostFiveThousandMarks)
{
    QByteArray content = "[";
    for (int i = 0; i < 4999; ++i)
        content += (i ? "," : "") + QStringLiteral("\"%1:0:aaaaaaaa\"").arg(i).toUtf8();
    content += "]";
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), content));
    ReflowOverridesStore store(paper, folder());
    ASSERT_EQ(store.keys().size(), 4999u);
    EXPECT_TRUE(store.set(QStringLiteral("99999:0:aaaaaaaa"), true));
    const QByteArray full = test::readTestFile(fileOf(paper));
    EXPECT_FALSE(store.set(QStringLiteral("99999:1:aaaaaaaa"), true));
    EXPECT_EQ(store.keys().size(), 5000u);
    EXPECT_EQ(test::readTestFile(fileOf(paper)), full);
    EXPECT_TRUE(store.set(QStringLiteral("0:0:aaaaaaaa"), false));
}

TEST_F(OverridesTest, AnUnreadableFileIsKeptAndNothingIsWritten)
{
    const QByteArray content = R"(["1:2:abcdef12", 7])";
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), content));
    ReflowOverridesStore store(paper, folder());
    EXPECT_TRUE(store.keys().empty());
    EXPECT_FALSE(store.writable());
    EXPECT_EQ(store.error(), QStringLiteral("无法读取局部修正，原文件已保留。"));
    EXPECT_FALSE(store.set(QStringLiteral("1:2:abcdef12"), false));
    EXPECT_EQ(test::readTestFile(fileOf(paper)), content);

    const QUuid fifo = QUuid::createUuid();
    ASSERT_TRUE(test::makeTestFifo(fileOf(fifo)));
    ReflowOverridesStore waitsOnNothing(fifo, folder());
    EXPECT_FALSE(waitsOnNothing.writable());
    EXPECT_EQ(waitsOnNothing.error(), QStringLiteral("无法读取局部修正，原文件已保留。"));
    EXPECT_TRUE(test::isFifo(fileOf(fifo)));

    const QUuid other = QUuid::createUuid();
    ASSERT_TRUE(test::writeTestFile(fileOf(other), R"(["1:2:abcdef12", "stray"])"));
    ReflowOverridesStore lenient(other, folder());
    EXPECT_EQ(lenient.keys().size(), 1u);
    EXPECT_TRUE(lenient.writable());
}

// However the file was damaged, the store says it cannot read it, keeps it
// as it is and writes nothing over it.
TEST_F(OverridesTest, EveryDamagedFormOfTheFileIsSaidAndKept)
{
    const QByteArray whole = R"(["0:10:9d6e7206","0:11:666b3b43"])";
    const std::vector<std::pair<const char *, QByteArray>> damaged = {
        {"truncated", whole.left(24)},
        {"empty", QByteArray()},
        {"invalid UTF-8", QByteArray(R"(["0:10:9d6e7206","0:11:666b3b43)") + "\xff\xfe\"]"},
        {"padded with NUL bytes", whole + QByteArray(64, '\0')},
        {"a NUL byte, then more", whole + QByteArray(1, '\0') + R"(["1:1:aaaaaaaa"])"},
        {"nested deep", test::deeplyNestedJson()},
    };
    for (const auto &[form, content] : damaged) {
        const QUuid id = QUuid::createUuid();
        ASSERT_TRUE(test::writeTestFile(fileOf(id), content));
        ReflowOverridesStore store(id, folder());
        EXPECT_TRUE(store.keys().empty()) << form;
        EXPECT_EQ(store.error(), QStringLiteral("无法读取局部修正，原文件已保留。")) << form;
        EXPECT_FALSE(store.set(QStringLiteral("0:12:aaaaaaaa"), true)) << form;
        EXPECT_EQ(test::readTestFile(fileOf(id)), content) << form;
    }
}

// A mark that cannot be written says why, as the system tells it (a full
// disk, no permission); the next mark written clears it.
TEST_F(OverridesTest, AFailedWriteSaysWhy)
{
    ASSERT_TRUE(test::writeTestFile(folder(), "not a folder"));
    ReflowOverridesStore store(paper, folder());
    EXPECT_FALSE(store.set(QStringLiteral("1:2:abcdef12"), true));
    EXPECT_EQ(store.error(), QStringLiteral("局部修正尚未保存：%1。").arg(platform::systemErrorText(ENOTDIR)));
    EXPECT_TRUE(store.keys().empty());
    ASSERT_TRUE(QFile::remove(folder()));
    EXPECT_TRUE(store.set(QStringLiteral("1:2:abcdef12"), true));
    EXPECT_TRUE(store.error().isEmpty());
}

TEST_F(OverridesTest, TakesInOnlyOtherStoresChangesToItsFile)
{
    ReflowOverridesStore mine(paper, folder());
    ReflowOverridesStore theirs(paper, folder());
    ASSERT_TRUE(theirs.set(QStringLiteral("1:1:aaaaaaaa"), true));
    const ReflowOverridesChanged fromThem{mine.file(), theirs.sessionID()};
    EXPECT_FALSE(mine.refresh({mine.file(), mine.sessionID()}));
    EXPECT_FALSE(mine.refresh({fileOf(QUuid::createUuid()), QUuid()}));
    EXPECT_TRUE(mine.keys().empty());
    EXPECT_TRUE(mine.refresh({mine.file(), QUuid()})); // no session: another store's
    EXPECT_EQ(mine.keys().size(), 1u);

    ASSERT_TRUE(test::writeTestFile(mine.file(), "not json"));
    EXPECT_FALSE(mine.refresh(fromThem));
    EXPECT_EQ(mine.keys().size(), 1u);
    EXPECT_EQ(mine.error(), QStringLiteral("无法同步局部修正，原文件已保留。"));
    EXPECT_FALSE(mine.set(QStringLiteral("2:2:aaaaaaaa"), true));
    EXPECT_EQ(test::readTestFile(mine.file()), QByteArray("not json"));
}

TEST_F(OverridesTest, TwoReadersWritingOneFileKeepEachOthersMarks)
{
    const QString k0 = QStringLiteral("1:0:aaaaaaaa"), k1 = QStringLiteral("1:1:aaaaaaaa"),
                  k2 = QStringLiteral("1:2:aaaaaaaa");
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), R"(["1:0:aaaaaaaa"])"));
    // Each reader's store, neither hearing of the other's writes.
    ReflowOverridesStore one(paper, folder());
    ReflowOverridesStore two(paper, folder());
    ASSERT_TRUE(one.set(k1, true));
    ASSERT_TRUE(two.set(k0, false));
    EXPECT_EQ(two.keys(), std::set<QString>{k1});
    // What the other removed stays removed.
    ASSERT_TRUE(one.set(k2, true));
    EXPECT_EQ(one.keys(), (std::set<QString>{k1, k2}));
    EXPECT_EQ(test::readTestFile(fileOf(paper)), QByteArray(R"(["1:1:aaaaaaaa","1:2:aaaaaaaa"])"));

    // Left unreadable by the other meanwhile: kept as it is.
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), "not json"));
    EXPECT_FALSE(two.set(k0, true));
    EXPECT_EQ(two.error(), QStringLiteral("无法同步局部修正，原文件已保留。"));
    EXPECT_EQ(test::readTestFile(fileOf(paper)), QByteArray("not json"));
}

TEST_F(OverridesTest, AReadOnlyReaderWritesNothingUntilItMayAndLosesNoMark)
{
    const QString mine = QStringLiteral("1:0:aaaaaaaa"), theirs = QStringLiteral("2:0:bbbbbbbb");
    const QString data = platform::folvanDataFolder();
    const QString file = QDir(data).filePath(QStringLiteral("Reflow/") + platform::uuidString(paper) + QStringLiteral(".json"));
    test::HeldDataFolder other;
    // Every pane takes in what another store announces, as its coordinator does.
    std::vector<std::unique_ptr<ReflowOverridesStore>> panes;
    QObject context;
    platform::NotificationCenter::shared().observe<ReflowOverridesChanged>(
        &context, [&](const ReflowOverridesChanged &change) {
            for (const auto &pane : panes)
                pane->refresh(change);
        });
    panes.push_back(std::make_unique<ReflowOverridesStore>(paper));
    panes.push_back(std::make_unique<ReflowOverridesStore>(paper));
    EXPECT_TRUE(panes[0]->set(mine, true));
    EXPECT_TRUE(panes[0]->error().isEmpty());
    EXPECT_EQ(panes[1]->keys(), std::set<QString>{mine});
    EXPECT_EQ(QDir(data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("Folvan.lock")});
    EXPECT_TRUE(platform::unsavedDescriptions().contains(QStringLiteral("重排的局部修正")));

    // The paper closes; the other reader writes a mark meanwhile; the paper
    // opens again and shows both.
    panes.clear();
    ASSERT_TRUE(test::writeTestFile(file, R"(["2:0:bbbbbbbb"])"));
    panes.push_back(std::make_unique<ReflowOverridesStore>(paper));
    EXPECT_EQ(panes[0]->keys(), (std::set<QString>{mine, theirs}));
    EXPECT_EQ(test::readTestFile(file), QByteArray(R"(["2:0:bbbbbbbb"])"));

    // The other reader quits: this one writes what it held.
    other.otherQuits();
    ASSERT_TRUE(platform::DataFolderAccess::shared().retry());
    EXPECT_EQ(test::readTestFile(file), QByteArray(R"(["1:0:aaaaaaaa","2:0:bbbbbbbb"])"));
    EXPECT_FALSE(platform::unsavedDescriptions().contains(QStringLiteral("重排的局部修正")));
    EXPECT_TRUE(panes[0]->set(mine, false));
    EXPECT_EQ(test::readTestFile(file), QByteArray(R"(["2:0:bbbbbbbb"])"));
}

TEST_F(OverridesTest, JoinedPapersKeepBothPapersMarksUnderTheKeptOne)
{
    const QUuid kept = QUuid::createUuid();
    std::vector<ReflowOverridesChanged> posted;
    QObject context;
    platform::NotificationCenter::shared().observe<ReflowOverridesChanged>(
        &context, [&](const ReflowOverridesChanged &change) { posted.push_back(change); });
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), R"(["1:0:aaaaaaaa","2:0:aaaaaaaa"])"));
    ASSERT_TRUE(test::writeTestFile(fileOf(kept), R"(["2:0:aaaaaaaa","3:0:aaaaaaaa"])"));
    ReflowOverridesStore showing(kept, folder());
    ReflowOverridesStore::joinPapers(paper, kept, folder());
    EXPECT_EQ(test::readTestFile(fileOf(kept)), QByteArray(R"(["1:0:aaaaaaaa","2:0:aaaaaaaa","3:0:aaaaaaaa"])"));
    EXPECT_FALSE(QFileInfo::exists(fileOf(paper)));
    // A pane showing the kept paper takes the marks in.
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_TRUE(showing.refresh(posted.back()));
    EXPECT_EQ(showing.keys().size(), 3u);

    // Without a file for the kept paper, the dropped one's becomes it.
    const QUuid third = QUuid::createUuid();
    ReflowOverridesStore::joinPapers(kept, third, folder());
    EXPECT_EQ(test::readTestFile(fileOf(third)), QByteArray(R"(["1:0:aaaaaaaa","2:0:aaaaaaaa","3:0:aaaaaaaa"])"));
    EXPECT_FALSE(QFileInfo::exists(fileOf(kept)));

    // An unreadable file on either side is left as it is, and so is the other.
    ASSERT_TRUE(test::writeTestFile(fileOf(paper), "not json"));
    ReflowOverridesStore::joinPapers(paper, third, folder());
    EXPECT_EQ(test::readTestFile(fileOf(paper)), QByteArray("not json"));
    ReflowOverridesStore::joinPapers(third, paper, folder());
    EXPECT_EQ(test::readTestFile(fileOf(paper)), QByteArray("not json"));
    EXPECT_TRUE(QFileInfo::exists(fileOf(third)));
}

TEST_F(OverridesTest, APaperWithoutALastingIdentifierKeepsItsMarksInMemoryAndSaysSo)
{
    const QString document = path(QStringLiteral("paper.pdf"));
    const QString key = QStringLiteral("1:0:aaaaaaaa");
    QObject context;
    std::unique_ptr<ReflowOverridesStore> other;
    platform::NotificationCenter::shared().observe<ReflowOverridesChanged>(
        &context, [&](const ReflowOverridesChanged &change) {
            if (other)
                other->refresh(change);
        });
    auto store = ReflowOverridesStore::unnamed(document);
    other = ReflowOverridesStore::unnamed(document);
    EXPECT_TRUE(store->file().isEmpty());
    EXPECT_EQ(store->error(), QStringLiteral("笔记库现在无法读取，这篇论文的局部修正暂时无法读取或保存；所作的标记只保留到退出 Folvan。"));
    EXPECT_TRUE(store->set(key, true));
    EXPECT_FALSE(store->set(QStringLiteral("bad"), true));
    EXPECT_EQ(store->keys(), std::set<QString>{key});
    EXPECT_FALSE(store->error().isEmpty());
    // Another pane of the paper shows it; so does one opened later.
    EXPECT_EQ(other->keys(), std::set<QString>{key});
    EXPECT_EQ(ReflowOverridesStore::unnamed(document)->keys(), std::set<QString>{key});
    EXPECT_TRUE(ReflowOverridesStore::unnamed(path(QStringLiteral("other.pdf")))->keys().empty());
    // Nothing is written anywhere, and the quit names what would be lost.
    EXPECT_FALSE(QFileInfo::exists(platform::folvanDataPath(QStringLiteral("Reflow"))));
    EXPECT_FALSE(QFileInfo::exists(folder()));
    EXPECT_TRUE(platform::unsavedDescriptions().contains(QStringLiteral("重排的局部修正：paper.pdf")));
}
