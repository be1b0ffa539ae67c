#include "platform/StoredFiles.h"

#include "support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace folvan::platform;

namespace {

using folvan::test::readTestFile;

void writePlain(const QString &path, const QByteArray &data)
{
    ASSERT_TRUE(folvan::test::writeTestFile(path, data));
}

class StoredFilesTest : public folvan::test::TempHomeTest {};

TEST_F(StoredFilesTest, AtomicWriteCreatesFolderAndReplacesContent)
{
    const QString target = path(QStringLiteral("a/b/file.json"));
    QString error;
    ASSERT_TRUE(writeFileAtomically(target, "first", &error)) << qPrintable(error);
    ASSERT_TRUE(writeFileAtomically(target, "second", &error)) << qPrintable(error);
    EXPECT_EQ(readTestFile(target), QByteArray("second"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(path(QStringLiteral("a/b"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(StoredFilesTest, WritesCutShortLeaveNothingAfterTheNextStart)
{
    writePlain(path(QStringLiteral("reading-history.json")), "[]");
    writePlain(path(QStringLiteral("reading-history.json.Ab12Cd")), "[{\"id\"");
    writePlain(path(QStringLiteral("Notes/paper-notes-v1.json.x9Y8z7")), "{");
    writePlain(path(QStringLiteral("Annotations/a.json.unreadable-20260101T000000Z")), "kept");
    writePlain(path(QStringLiteral("paper.pdf.Ab12Cd")), "not ours");
    EXPECT_EQ(removeLeftoverTemporaryFiles(root()), 2);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("reading-history.json"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("reading-history.json.Ab12Cd"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Notes/paper-notes-v1.json.x9Y8z7"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("Annotations/a.json.unreadable-20260101T000000Z"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("paper.pdf.Ab12Cd"))));
}

TEST_F(StoredFilesTest, TheStartUpCleanUpCoversTheDataAndThePreferencesFolders)
{
    writePlain(path(QStringLiteral("data/Folvan/reading-history.json.Ab12Cd")), "[");
    writePlain(path(QStringLiteral("config/Folvan/Folvan.json.Zy98Xw")), "{");
    writePlain(path(QStringLiteral("config/Folvan/Folvan.json")), "{}");
    writePlain(path(QStringLiteral("config/other.json.Zy98Xw")), "not ours");
    EXPECT_EQ(removeLeftoverTemporaryFilesOfTheStores(), 2);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("config/Folvan/Folvan.json.Zy98Xw"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("config/Folvan/Folvan.json"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("config/other.json.Zy98Xw"))));
}

TEST_F(StoredFilesTest, FailedAtomicWriteLeavesTargetIntact)
{
    const QString target = path(QStringLiteral("file.json"));
    writePlain(target, "old content");

    // A file size limit makes the write of the new content fail part way,
    // whatever the user's rights.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool ok = writeFileAtomically(target, QByteArray(4096, 'x'), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readTestFile(target), QByteArray("old content"));
    EXPECT_EQ(QDir(root()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(StoredFilesTest, AtomicWriteWithoutAWritableFolderFailsWithSystemText)
{
    writePlain(path(QStringLiteral("blocker")), "x");
    QString error;
    EXPECT_FALSE(writeFileAtomically(path(QStringLiteral("blocker/file.json")), "data", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(writeFileAtomically(QString(), "data", &error));
    if (geteuid() == 0)
        return; // folder permissions do not bind the superuser
    const QString folder = path(QStringLiteral("locked"));
    QDir().mkpath(folder);
    writePlain(folder + QStringLiteral("/file.json"), "old");
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    error.clear();
    EXPECT_FALSE(writeFileAtomically(folder + QStringLiteral("/file.json"), "new", &error));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readTestFile(folder + QStringLiteral("/file.json")), QByteArray("old"));
}

TEST_F(StoredFilesTest, UnreadableFileIsMovedAsideWithItsContent)
{
    const QString target = path(QStringLiteral("reading-history.json"));
    writePlain(target, "garbage");
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    QString error;
    QString movedTo;
    ASSERT_TRUE(moveAsideUnreadable(target, &error, &movedTo)) << qPrintable(error);
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    EXPECT_FALSE(QFile::exists(target));
    const QString name = QFileInfo(movedTo).fileName();
    const QRegularExpression form(QStringLiteral("^reading-history\\.json\\.unreadable-(\\d{8}T\\d{6})Z$"));
    const auto match = form.match(name);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(name);
    QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd'T'HHmmss"));
    stamp.setTimeZone(QTimeZone::utc());
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);
    EXPECT_EQ(readTestFile(movedTo), QByteArray("garbage"));

    // A second unreadable file in the same second keeps the first one.
    writePlain(target, "garbage 2");
    QString second;
    ASSERT_TRUE(moveAsideUnreadable(target, &error, &second));
    EXPECT_NE(second, movedTo);
    EXPECT_EQ(readTestFile(movedTo), QByteArray("garbage"));
    EXPECT_EQ(readTestFile(second), QByteArray("garbage 2"));

    EXPECT_FALSE(moveAsideUnreadable(path(QStringLiteral("missing.json")), &error));
}

TEST_F(StoredFilesTest, OnlyARegularFileIsReadAndAnythingElseIsLeftWhereItIs)
{
    const QString regular = path(QStringLiteral("a.json"));
    writePlain(regular, "[1]");
    const QString fifo = path(QStringLiteral("fifo.json"));
    ASSERT_TRUE(folvan::test::makeTestFifo(fifo));
    const QString folder = path(QStringLiteral("folder.json"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString dangling = path(QStringLiteral("dangling.json"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("nowhere")), dangling));

    QByteArray data;
    QString error;
    EXPECT_EQ(readStoredFile(regular, &data, &error), StoredRead::Read);
    EXPECT_EQ(data, "[1]");
    EXPECT_EQ(readStoredFile(path(QStringLiteral("missing.json")), &data), StoredRead::Absent);
    EXPECT_EQ(readStoredFile(dangling, &data), StoredRead::Absent);
    for (const QString &other : {fifo, folder}) {
        error.clear();
        EXPECT_EQ(readStoredFile(other, &data, &error), StoredRead::Unreadable) << qPrintable(other);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(data.isEmpty());
    }
    // Copying reads too: a FIFO is not copied.
    EXPECT_FALSE(copyWithoutReplacing(fifo, path(QStringLiteral("copy.json")), &error));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("copy.json"))));
    EXPECT_TRUE(folvan::test::isFifo(fifo));
}

TEST_F(StoredFilesTest, RenameAndCopyNeverReplace)
{
    const QString a = path(QStringLiteral("a.pdf"));
    const QString b = path(QStringLiteral("b.pdf"));
    writePlain(a, "A");
    writePlain(b, "B");
    QString error;
    // A dangling symbolic link also counts as taken.
    const QString link = path(QStringLiteral("link.pdf"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("nowhere.pdf")), link));
    for (const QString &taken : {b, link}) {
        EXPECT_FALSE(renameWithoutReplacing(a, taken, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(copyWithoutReplacing(a, taken, &error));
    }
    EXPECT_EQ(readTestFile(a), QByteArray("A"));
    EXPECT_EQ(readTestFile(b), QByteArray("B"));

    const QString c = path(QStringLiteral("sub/c.pdf"));
    QDir().mkpath(path(QStringLiteral("sub")));
    ASSERT_TRUE(copyWithoutReplacing(a, c, &error)) << qPrintable(error);
    EXPECT_EQ(readTestFile(c), QByteArray("A"));
    const QString d = path(QStringLiteral("sub/d.pdf"));
    ASSERT_TRUE(renameWithoutReplacing(a, d, &error)) << qPrintable(error);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(readTestFile(d), QByteArray("A"));

    // Nor does a folder replace an empty folder.
    QDir().mkpath(path(QStringLiteral("empty")));
    EXPECT_FALSE(renameWithoutReplacing(path(QStringLiteral("sub")), path(QStringLiteral("empty")), &error));
    EXPECT_TRUE(QFile::exists(c));
}

} // namespace

TEST_F(StoredFilesTest, ALinkedStoredFileIsWrittenThroughItsLink)
{
    // The store's file is a link into another folder (a synced one): the
    // write lands in the linked file, and the link stays a link.
    const QString synced = path(QStringLiteral("synced/history.json"));
    writePlain(synced, "old");
    const QString store = path(QStringLiteral("data/reading-history.json"));
    QDir().mkpath(path(QStringLiteral("data")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../synced/history.json"), store));
    // A link to that link: followed to the end.
    const QString chained = path(QStringLiteral("data/chained.json"));
    ASSERT_TRUE(QFile::link(store, chained));
    QString error;
    ASSERT_TRUE(writeFileAtomically(store, "new", &error)) << qPrintable(error);
    ASSERT_TRUE(writeFileAtomically(chained, "newer", &error)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(store).isSymLink());
    EXPECT_TRUE(QFileInfo(chained).isSymLink());
    EXPECT_EQ(readTestFile(synced), QByteArray("newer"));
    // The temporary file went beside the target, and nothing was left.
    EXPECT_EQ(QDir(path(QStringLiteral("synced"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_EQ(QDir(path(QStringLiteral("data"))).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);

    // A dangling link gets its file made where it points.
    const QString dangling = path(QStringLiteral("data/notes.json"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("synced/notes.json")), dangling));
    ASSERT_TRUE(writeFileAtomically(dangling, "made", &error)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(readTestFile(path(QStringLiteral("synced/notes.json"))), QByteArray("made"));
    // One into a folder that is not there (a disk not mounted) fails and
    // stays a link.
    const QString unmounted = path(QStringLiteral("data/bookmarks.json"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone/bookmarks.json")), unmounted));
    EXPECT_FALSE(writeFileAtomically(unmounted, "lost", &error));
    EXPECT_TRUE(QFileInfo(unmounted).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("gone"))));

    // An unreadable linked file is set aside beside itself, and the link
    // then leads to the new file.
    writePlain(synced, "garbage");
    QString movedTo;
    ASSERT_TRUE(moveAsideUnreadable(store, &error, &movedTo)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(store).isSymLink());
    EXPECT_EQ(QFileInfo(movedTo).absolutePath(), QFileInfo(synced).absolutePath());
    EXPECT_EQ(readTestFile(movedTo), QByteArray("garbage"));
    ASSERT_TRUE(writeFileAtomically(store, "fresh", &error)) << qPrintable(error);
    EXPECT_EQ(readTestFile(synced), QByteArray("fresh"));
}

TEST_F(StoredFilesTest, ALinkToSomethingOtherThanAFileIsNeverWrittenThrough)
{
    // What a link leads to that is not a plain file (a device, a folder) is
    // never replaced nor moved: the link itself is.
    const QString folder = path(QStringLiteral("elsewhere"));
    QDir().mkpath(folder);
    const QString store = path(QStringLiteral("reading-history.json"));
    ASSERT_TRUE(QFile::link(folder, store));
    QString error;
    QString movedTo;
    ASSERT_TRUE(moveAsideUnreadable(store, &error, &movedTo)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(movedTo).isSymLink());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ASSERT_TRUE(writeFileAtomically(store, "[]", &error)) << qPrintable(error);
    EXPECT_FALSE(QFileInfo(store).isSymLink());

    const QString device = path(QStringLiteral("device.json"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), device));
    ASSERT_TRUE(writeFileAtomically(device, "[]", &error)) << qPrintable(error);
    EXPECT_FALSE(QFileInfo(device).isSymLink());
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/null")).isFile());
}
