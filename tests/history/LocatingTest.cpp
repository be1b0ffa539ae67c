#include "platform/FileIdentity.h"
#include "history/HistoryTestSupport.h"

#include <sys/stat.h>

using folvan::history::ReadingHistory;
using folvan::test::HistoryTest;
namespace platform = folvan::platform;

namespace {

// Replaces the file at `path` by another file (another file number) with the
// same name.
void replaceFile(const QString &path)
{
    const QString fresh = path + QStringLiteral(".new");
    QFile out(fresh);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("%PDF-1.7\nreplacement");
    out.close();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(fresh, path));
}

} // namespace

using LocatingRecordedPapers = HistoryTest;

TEST_F(LocatingRecordedPapers, FindsAPaperRenamedInItsFolderByItsIdentity)
{
    auto history = makeStore();
    const QString original = makePaper(QStringLiteral("draft.pdf"));
    history->opened(original, stateAt(8));
    const auto identity = platform::fileIdentity(original);
    ASSERT_TRUE(identity);
    EXPECT_EQ(history->records().first().fileIdentity, identity);

    const QString renamed = path(QStringLiteral("papers/final.pdf"));
    ASSERT_TRUE(QFile::rename(original, renamed));
    EXPECT_EQ(history->resolve(history->records().first()), renamed);
    EXPECT_EQ(history->state(renamed, 100, true).page, 8);

    // Opened under its new name, the record follows it.
    const QUuid id = history->records().first().id;
    history->opened(renamed, stateAt(9));
    ASSERT_EQ(history->records().size(), 1);
    EXPECT_EQ(history->records().first().id, id);
    EXPECT_EQ(history->records().first().path, renamed);
}

TEST_F(LocatingRecordedPapers, ANewFileOnADeletedPapersNumbersIsAnotherPaper)
{
    // The file system gave the deleted paper's numbers to a new file; the
    // record's fingerprint is the deleted paper's.
    const QString newcomer = makePaper(QStringLiteral("newcomer.pdf"));
    const QString gone = path(QStringLiteral("papers/deleted.pdf"));
    writeAll(historyFile(),
             QStringLiteral(R"([{"id":"0F2B8D5E-5C39-4C1F-9D39-3A9E3C1B7A11","path":"%1","fileIdentity":"%2",)"
                            R"("fileFingerprint":"birth:1.5","state":{"page":7,"zoom":2,"angle":0,)"
                            R"("isBook":false,"layout":"spread"},"openedAt":1}])")
                 .arg(gone, *platform::fileIdentity(newcomer))
                 .toUtf8());
    auto history = makeStore();
    ASSERT_EQ(history->records().size(), 1) << history->error().toStdString();
    EXPECT_EQ(history->state(newcomer, 100, false).page, 0);
    EXPECT_TRUE(history->resolve(history->records().first()).isEmpty());
    EXPECT_TRUE(history->formerPaths(newcomer).empty());
    history->opened(newcomer, stateAt(1));
    EXPECT_EQ(history->records().size(), 2);

    // The paper itself, renamed, is still known by its former name.
    const QString renamed = path(QStringLiteral("papers/renamed.pdf"));
    ASSERT_TRUE(QFile::rename(newcomer, renamed));
    EXPECT_EQ(history->formerPaths(renamed), std::vector<QString>{newcomer});
}

TEST_F(LocatingRecordedPapers, FindsAPaperMovedToAnotherFolderByItsStoredIdentity)
{
    auto history = makeStore();
    const QString original = makePaper(QStringLiteral("inbox/paper.pdf"));
    history->opened(original, stateAt(4));
    QDir(root()).mkpath(QStringLiteral("papers/archive"));
    const QString target = path(QStringLiteral("papers/archive/paper-2024.pdf"));
    ASSERT_TRUE(QFile::rename(original, target));

    // Nothing to open until the reader names the new place...
    EXPECT_TRUE(history->resolve(history->records().first()).isEmpty());
    // ...where the record is recognised.
    EXPECT_EQ(history->state(target, 100, true).page, 4);
    history->update(target, stateAt(5));
    EXPECT_EQ(history->records().first().state.page, 5);
}

TEST_F(LocatingRecordedPapers, FindsAReplacedFileByItsPath)
{
    auto history = makeStore();
    const QString paper = makePaper(QStringLiteral("paper.pdf"));
    history->opened(paper, stateAt(3));
    const auto before = platform::fileIdentity(paper);
    replaceFile(paper);
    ASSERT_NE(platform::fileIdentity(paper), before);
    EXPECT_EQ(history->resolve(history->records().first()), paper);
    EXPECT_EQ(history->state(paper, 100, true).page, 3);
}

TEST_F(LocatingRecordedPapers, PrefersTheNewerOfTwoMatchingRecords)
{
    auto history = makeStore();
    const QString x = makePaper(QStringLiteral("x.pdf"));
    history->opened(x, stateAt(1));
    ASSERT_TRUE(QFile::remove(x));
    const QString y = makePaper(QStringLiteral("y.pdf"));
    history->opened(y, stateAt(2));
    // y now takes x's name: the older record matches by path, the newer one
    // by the identity of the file it finds.
    ASSERT_TRUE(QFile::rename(y, x));
    EXPECT_EQ(history->state(x, 100, true).page, 2);
}

TEST_F(LocatingRecordedPapers, FindsAPaperJustMovedAwayByItsStoredPath)
{
    auto history = makeStore();
    const QString old = makePaper(QStringLiteral("old.pdf"));
    history->opened(old, stateAt(6));
    const QString fresh = path(QStringLiteral("papers/new.pdf"));
    ASSERT_TRUE(QFile::rename(old, fresh));
    history->relocate(old, fresh);
    EXPECT_EQ(history->records().first().path, fresh);
    EXPECT_EQ(history->records().first().fileIdentity, platform::fileIdentity(fresh));
    EXPECT_EQ(history->resolve(history->records().first()), fresh);
}

TEST_F(LocatingRecordedPapers, AFileThatMayNotBeReadResolvesToNothing)
{
    auto history = makeStore();
    const QString paper = makePaper(QStringLiteral("locked.pdf"));
    history->opened(paper, stateAt(0));
    ASSERT_EQ(::chmod(QFile::encodeName(paper).constData(), 0), 0);
    EXPECT_FALSE(platform::isReadableFile(paper));
    EXPECT_TRUE(history->resolve(history->records().first()).isEmpty());
    ::chmod(QFile::encodeName(paper).constData(), 0644);
    EXPECT_EQ(history->resolve(history->records().first()), paper);

    ASSERT_TRUE(QFile::remove(paper));
    EXPECT_TRUE(history->resolve(history->records().first()).isEmpty());
}

TEST_F(LocatingRecordedPapers, KeepsAStoredLocatorAsReadButMakesNoneForNewRecords)
{
    const QString paper = makePaper(QStringLiteral("kept.pdf"));
    const QByteArray stored = QStringLiteral(
        R"([{"id":"0F3A2C4E-1B2D-4E5F-8A9B-0C1D2E3F4A5B","path":"%1","bookmark":"AAECAw==",)"
        R"("state":{"page":2,"zoom":1.0,"angle":0.0,"isBook":true,"layout":"spread"},"openedAt":1.0}])")
        .arg(paper).toUtf8();
    writeAll(historyFile(), stored);
    auto history = makeStore();
    ASSERT_EQ(history->records().size(), 1);
    EXPECT_EQ(history->resolve(history->records().first()), paper);
    history->opened(makePaper(QStringLiteral("other.pdf")), stateAt(0));
    history->flush();
    const QByteArray written = readAll(historyFile());
    EXPECT_EQ(written.count("\"bookmark\":\"AAECAw==\""), 1);
    EXPECT_EQ(written.count("bookmark"), 1);
}
