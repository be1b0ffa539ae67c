// Two readers on one data folder: a store never writes over what another
// wrote since it last read, and only one reader writes the folder at once.

#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "platform/StoredFiles.h"
#include "platform/StoredMerge.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

using namespace folvan::platform;

namespace {

using folvan::test::readTestFile;

class StoredWritesTest : public folvan::test::TempHomeTest {
protected:
    void TearDown() override
    {
        DataFolderAccess::shared().release();
        folvan::test::TempHomeTest::TearDown();
    }
};

TEST_F(StoredWritesTest, AWriteOverAFileSomeoneElseWroteSinceIsRefusedWithWhatTheyWrote)
{
    const QString file = path(QStringLiteral("data/notes.json"));
    StoredFileVersion first;
    StoredFileVersion second;
    QByteArray current;
    QString error;
    // Both start from nothing; the first to write wins the race.
    ASSERT_EQ(writeStoredFile(file, &first, "one", &current, &error), StoredWrite::Written) << qPrintable(error);
    EXPECT_EQ(writeStoredFile(file, &second, "two", &current, &error), StoredWrite::Changed);
    EXPECT_EQ(current, "one");
    EXPECT_EQ(readTestFile(file), "one");
    // Having taken in what it was shown, the second writes.
    ASSERT_EQ(writeStoredFile(file, &second, "one+two", &current, &error), StoredWrite::Written);
    // The first's next write is refused in turn; its own writes never are.
    EXPECT_EQ(writeStoredFile(file, &first, "one again", &current, &error), StoredWrite::Changed);
    EXPECT_EQ(current, "one+two");
    ASSERT_EQ(writeStoredFile(file, &first, "three", &current, &error), StoredWrite::Written);
    ASSERT_EQ(writeStoredFile(file, &first, "four", &current, &error), StoredWrite::Written);

    // A store that read the file may write it; a file removed meanwhile
    // holds nothing to lose.
    StoredFileVersion reader;
    QByteArray read;
    ASSERT_EQ(readStoredFile(file, &read, &error, &reader), StoredRead::Read);
    EXPECT_EQ(writeStoredFile(file, &reader, "five", &current, &error), StoredWrite::Written);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(writeStoredFile(file, &first, "six", &current, &error), StoredWrite::Written);

    // Something unreadable put there is reported as a change with no bytes.
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(folvan::test::makeTestFifo(file));
    EXPECT_EQ(writeStoredFile(file, &first, "seven", &current, &error), StoredWrite::Changed);
    EXPECT_TRUE(current.isEmpty());
    EXPECT_TRUE(folvan::test::isFifo(file));
}

TEST_F(StoredWritesTest, AReaderFindingTheDataFolderHeldWritesNothingThereUntilItMayWrite)
{
    const QString folder = path(QStringLiteral("data/Folvan"));
    QDir().mkpath(folder);
    // Another reader holds the folder.
    const int other = ::open(QFile::encodeName(folder + QStringLiteral("/Folvan.lock")).constData(),
                             O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    DataFolderAccess &access = DataFolderAccess::shared();
    QSignalSpy changes(&access, &DataFolderAccess::readOnlyChanged);
    EXPECT_EQ(access.claim(folder), DataFolderAccess::Claim::HeldElsewhere);
    EXPECT_TRUE(access.readOnly());
    EXPECT_EQ(changes.size(), 1);

    StoredFileVersion seen;
    QByteArray current;
    QString error;
    const QString inside = folder + QStringLiteral("/Notes/paper-notes-v1.json");
    EXPECT_EQ(writeStoredFile(inside, &seen, "held", &current, &error), StoredWrite::Failed);
    EXPECT_EQ(error, DataFolderAccess::heldBackText());
    EXPECT_FALSE(QFile::exists(inside));
    // Nor is anything there set aside or copied.
    const QString history = folder + QStringLiteral("/reading-history.json");
    ASSERT_TRUE(folvan::test::writeTestFile(history, "damaged"));
    EXPECT_FALSE(moveAsideUnreadable(history, &error));
    EXPECT_FALSE(copyAside(history, QStringLiteral("dropped"), &error));
    EXPECT_FALSE(copyWithoutReplacing(history, folder + QStringLiteral("/copy.json"), &error));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    // Nor a folder made there; one that is there is fine.
    EXPECT_FALSE(ensureFolder(folder + QStringLiteral("/Annotations"), &error));
    EXPECT_EQ(error, DataFolderAccess::heldBackText());
    EXPECT_TRUE(ensureFolder(folder));
    EXPECT_EQ(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    // Elsewhere nothing is held back.
    EXPECT_EQ(writeStoredFile(path(QStringLiteral("export.json")), &seen, "free", &current), StoredWrite::Written);

    // Quitting while the other still runs: its writes go through.
    access.holdWritesBack(false);
    EXPECT_FALSE(access.readOnly());
    seen = {};
    EXPECT_EQ(writeStoredFile(inside, &seen, "at quit", &current, &error), StoredWrite::Written);
    access.holdWritesBack(true);
    EXPECT_TRUE(access.readOnly());

    // The other reader ends (the system lets go of its lock): taken over.
    EXPECT_FALSE(access.retry());
    ::close(other);
    EXPECT_TRUE(access.retry());
    EXPECT_FALSE(access.readOnly());
    EXPECT_EQ(changes.size(), 4);

    // And now this one holds it against the next.
    const int next = ::open(QFile::encodeName(folder + QStringLiteral("/Folvan.lock")).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(next, 0);
    EXPECT_NE(::flock(next, LOCK_EX | LOCK_NB), 0);
    access.release();
    EXPECT_EQ(::flock(next, LOCK_EX | LOCK_NB), 0);
    ::close(next);
}

struct Record {
    int id;
    QString text;
    friend bool operator==(const Record &, const Record &) = default;
};

TEST(StoredMerge, EachSideKeepsWhatItChangedAndTheOtherDidNot)
{
    const std::vector<Record> base{{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}};
    // Mine: 1 changed, 2 removed, 6 added, 5 changed (they removed it).
    const std::vector<Record> mine{{1, "A"}, {3, "c"}, {4, "d"}, {5, "E"}, {6, "f"}};
    // Theirs: 3 changed, 4 removed, 7 added, 2 changed (we removed it),
    // 1 changed too.
    const std::vector<Record> theirs{{1, "a1"}, {2, "B"}, {3, "C"}, {7, "g"}};
    const auto merged = mergeRecords(base, mine, theirs, [](const Record &r) { return r.id; },
                                     [](const Record &m, const Record &t) {
                                         return Record{m.id, m.text + "|" + t.text};
                                     });
    const std::vector<Record> expected{{1, "A|a1"}, {3, "C"}, {5, "E"}, {6, "f"}, {2, "B"}, {7, "g"}};
    EXPECT_EQ(merged, expected);
    // Nothing changed on the other side: the merge is what this side holds.
    EXPECT_EQ(mergeRecords(base, mine, base, [](const Record &r) { return r.id; },
                           [](const Record &m, const Record &) { return m; }),
              mine);
}

} // namespace
