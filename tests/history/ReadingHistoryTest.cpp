#include "history/HistoryTestSupport.h"

#include "platform/UnsavedChanges.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using folvan::history::DocumentReadingState;
using folvan::history::ReadingHistory;
using folvan::history::RecentReading;
using folvan::test::HistoryTest;

namespace {

QByteArray recordJson(int n, double zoom = 1.0)
{
    return QStringLiteral(R"({"id":"%1","path":"\/papers\/p%2.pdf","state":{"page":%2,"zoom":%3,)"
                          R"("angle":0,"isBook":true,"layout":"spread"},"openedAt":%2})")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))
        .arg(n)
        .arg(zoom)
        .toUtf8();
}

QByteArray historyJson(int count)
{
    QByteArrayList records;
    for (int i = 0; i < count; ++i)
        records.append(recordJson(i, i == 0 ? 9.0 : 1.0));
    return "[" + records.join(',') + "]";
}

} // namespace

using ReadingHistoryRecords = HistoryTest;

TEST_F(ReadingHistoryRecords, KeepsTheHundredNewestOpenings)
{
    auto history = makeStore();
    for (int i = 0; i < 101; ++i)
        history->opened(QStringLiteral("/papers/p%1.pdf").arg(i), stateAt(i));
    ASSERT_EQ(history->records().size(), 100);
    EXPECT_EQ(history->records().first().path, QStringLiteral("/papers/p100.pdf"));
    EXPECT_EQ(history->records().last().path, QStringLiteral("/papers/p1.pdf"));
}

TEST_F(ReadingHistoryRecords, AReopenedPaperMovesToTheFrontWithItsIdentifier)
{
    writeAll(historyFile(), "[" + recordJson(3) + "]");
    auto history = makeStore();
    history->opened(QStringLiteral("/papers/b.pdf"), stateAt(4));
    const RecentReading first = history->records().at(1);
    // The same paper under an unclean spelling of its path.
    history->opened(QStringLiteral("/papers/./x/../p3.pdf"), stateAt(-4, 2.0));
    ASSERT_EQ(history->records().size(), 2);
    const RecentReading &again = history->records().first();
    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(again.path, QStringLiteral("/papers/p3.pdf"));
    EXPECT_GT(again.openedAt, first.openedAt);
    EXPECT_EQ(again.state.page, 0);
    EXPECT_EQ(again.state.zoom, 2.0);

    // Paths are equal in their composed Unicode form.
    history->opened(QStringLiteral("/papers/Cafe\u0301.pdf"), stateAt(6));
    EXPECT_EQ(history->state(QStringLiteral("/papers/Caf\u00e9.pdf"), 100, true).page, 6);
    history->opened(QStringLiteral("/papers/Caf\u00e9.pdf"), stateAt(7));
    EXPECT_EQ(history->records().size(), 3);
}

TEST_F(ReadingHistoryRecords, UpdatesAStateInPlaceAndOnlyWhenItChanged)
{
    auto history = makeStore();
    const QString a = QStringLiteral("/papers/a.pdf");
    history->opened(a, stateAt(3));
    history->opened(QStringLiteral("/papers/b.pdf"), stateAt(1));
    history->flush();
    const RecentReading before = history->records().at(1);
    ASSERT_TRUE(QFile::remove(historyFile()));

    // Equal once normalized: nothing changes and nothing is written.
    QSignalSpy changes(history.get(), &ReadingHistory::recordsChanged);
    history->update(a, stateAt(3, 1.0));
    DocumentReadingState sameNormalized = stateAt(3);
    sameNormalized.zoom = std::nan("");
    history->update(a, sameNormalized);
    history->update(QStringLiteral("/papers/never-opened.pdf"), stateAt(9));
    clock.advance(1);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(QFile::exists(historyFile()));

    history->update(a, stateAt(3, 1.5));
    const RecentReading after = history->records().at(1);
    EXPECT_EQ(after.state.zoom, 1.5);
    EXPECT_EQ(after.id, before.id);
    EXPECT_EQ(after.openedAt, before.openedAt);
    EXPECT_EQ(history->records().size(), 2);
    clock.advance(0.05);
    EXPECT_TRUE(QFile::exists(historyFile()));
}

TEST_F(ReadingHistoryRecords, RestoresTheStoredStateWithinTheDocumentOrTheLegacyPage)
{
    auto history = makeStore();
    const QString a = QStringLiteral("/papers/a.pdf");
    DocumentReadingState stored = stateAt(250, 1.5);
    stored.isReflow = true;
    stored.reflowBlock = 12;
    history->opened(a, stored);

    const DocumentReadingState restored = history->state(a, 12, true);
    EXPECT_EQ(restored.page, 11);
    EXPECT_EQ(restored.reflowBlock, 12);
    EXPECT_EQ(history->records().first().state.page, 250);

    const QString legacy = QStringLiteral("/papers/old/../legacy.pdf");
    preferences->setValue(QStringLiteral("lastPage_") + legacy, 7);
    DocumentReadingState expected = stateAt(4);
    expected.isBook = false;
    EXPECT_EQ(history->state(legacy, 5, false), expected);
    // The key holds the path as given, not its standardized form.
    EXPECT_EQ(history->state(QStringLiteral("/papers/legacy.pdf"), 5, false).page, 0);
    EXPECT_TRUE(history->state(QStringLiteral("/papers/other.pdf"), 5, true).isBook);
    EXPECT_EQ(history->records().size(), 1);
}

TEST_F(ReadingHistoryRecords, RelocatedRecordKeepsItsStateAndPlace)
{
    auto history = makeStore();
    history->opened(QStringLiteral("/papers/a.pdf"), stateAt(5));
    history->opened(QStringLiteral("/papers/b.pdf"), stateAt(1));
    const RecentReading before = history->records().at(1);
    history->relocate(QStringLiteral("/papers/a.pdf"), QStringLiteral("/elsewhere/renamed.pdf"));
    const RecentReading &after = history->records().at(1);
    EXPECT_EQ(after.path, QStringLiteral("/elsewhere/renamed.pdf"));
    EXPECT_EQ(after.id, before.id);
    EXPECT_EQ(after.state, before.state);
    EXPECT_EQ(after.openedAt, before.openedAt);
    EXPECT_EQ(history->state(QStringLiteral("/elsewhere/renamed.pdf"), 100, true).page, 5);

    history->relocate(QStringLiteral("/papers/unknown.pdf"), QStringLiteral("/x.pdf"));
    EXPECT_EQ(history->records().at(0).path, QStringLiteral("/papers/b.pdf"));
}

using ReadingHistorySaving = HistoryTest;

TEST_F(ReadingHistorySaving, CoalescesABurstOfChangesIntoOneWrite)
{
    auto history = makeStore(300);
    const QString a = QStringLiteral("/papers/a.pdf");
    history->opened(a, stateAt(0));
    for (int i = 1; i < 10; ++i) {
        clock.advance(0.25);
        history->update(a, stateAt(i));
    }
    clock.advance(0.29);
    EXPECT_FALSE(QFile::exists(historyFile())) << "written before the delay after the last change";
    clock.advance(0.01);
    EXPECT_TRUE(readAll(historyFile()).contains("\"page\":9"));
    ASSERT_TRUE(QFile::remove(historyFile()));
    clock.advance(10);
    EXPECT_FALSE(QFile::exists(historyFile())) << "a second write";
}

TEST_F(ReadingHistorySaving, ForgetAndClearWriteAtOnce)
{
    auto history = makeStore(10000);
    history->opened(QStringLiteral("/papers/a.pdf"), stateAt(0));
    history->opened(QStringLiteral("/papers/b.pdf"), stateAt(0));
    history->forget(QUuid::createUuid());
    EXPECT_EQ(history->records().size(), 2);
    EXPECT_EQ(readAll(historyFile()).count("\"id\""), 2);

    history->forget(history->records().first().id);
    EXPECT_EQ(readAll(historyFile()).count("\"id\""), 1);
    EXPECT_EQ(history->records().first().path, QStringLiteral("/papers/a.pdf"));

    history->clear();
    EXPECT_TRUE(history->records().isEmpty());
    EXPECT_EQ(readAll(historyFile()), QByteArray("[]"));
}

TEST_F(ReadingHistorySaving, FlushesWhenTheApplicationQuits)
{
    auto history = makeStore(10000);
    history->opened(QStringLiteral("/papers/a.pdf"), stateAt(0));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_TRUE(QFile::exists(historyFile()));
}

TEST_F(ReadingHistorySaving, AFailedWriteReportsItsErrorAndKeepsTheChange)
{
    // A file where the history folder should be: the folder cannot be made.
    const QString blocked = path(QStringLiteral("blocked"));
    writeAll(blocked, "not a folder");
    ReadingHistory history(blocked + QStringLiteral("/Folvan"), preferences.get(), 50);
    history.opened(QStringLiteral("/papers/a.pdf"), stateAt(2));
    history.flush();
    EXPECT_TRUE(history.error().startsWith(QStringLiteral("无法保存阅读记录："))) << history.error().toStdString();
    EXPECT_GT(history.error().size(), QStringLiteral("无法保存阅读记录：").size());
    EXPECT_EQ(history.records().size(), 1);
    EXPECT_TRUE(folvan::platform::unsavedDescriptions().contains(QStringLiteral("阅读记录")));

    // Once the folder can be made, the change is written without another one.
    ASSERT_TRUE(QFile::remove(blocked));
    clock.advance(0.05 * ReadingHistory::retryDelayFactor);
    EXPECT_TRUE(history.error().isEmpty());
    EXPECT_FALSE(folvan::platform::unsavedDescriptions().contains(QStringLiteral("阅读记录")));
    EXPECT_TRUE(readAll(blocked + QStringLiteral("/Folvan/reading-history.json")).contains("a.pdf"));

    if (geteuid() == 0)
        return; // the superuser writes into read-only folders
    const QByteArray folder = QFile::encodeName(blocked + QStringLiteral("/Folvan"));
    history.opened(QStringLiteral("/papers/b.pdf"), stateAt(2));
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    history.flush();
    ::chmod(folder.constData(), 0755);
    EXPECT_TRUE(history.error().startsWith(QStringLiteral("无法保存阅读记录：")));
    history.flush();
    EXPECT_TRUE(history.error().isEmpty());
    EXPECT_TRUE(readAll(blocked + QStringLiteral("/Folvan/reading-history.json")).contains("b.pdf"));
}

using ReadingHistoryLoading = HistoryTest;

TEST_F(ReadingHistoryLoading, TrimsAndNormalizesWithoutRewritingTheFile)
{
    const QByteArray original = historyJson(120);
    writeAll(historyFile(), original);
    auto history = makeStore();
    ASSERT_EQ(history->records().size(), 100);
    EXPECT_TRUE(history->error().isEmpty());
    EXPECT_EQ(history->records().first().state.zoom, 4.0);
    EXPECT_EQ(history->records().last().path, QStringLiteral("/papers/p99.pdf"));
    history->flush();
    clock.advance(10);
    EXPECT_EQ(readAll(historyFile()), original);

    history->update(QStringLiteral("/papers/p3.pdf"), stateAt(30));
    history->flush();
    EXPECT_EQ(readAll(historyFile()).count("\"id\""), 100);
}

TEST_F(ReadingHistoryLoading, AnUnreadableFileIsSetAsideBeforeTheFirstWrite)
{
    const QByteArray broken = "[" + recordJson(1) + R"(,{"id":"x"}])";
    writeAll(historyFile(), broken);
    auto history = makeStore();
    EXPECT_TRUE(history->records().isEmpty());
    const QString loadError = history->error();
    EXPECT_TRUE(loadError.startsWith(QStringLiteral("无法读取阅读记录："))) << loadError.toStdString();
    EXPECT_EQ(readAll(historyFile()), broken);

    history->opened(QStringLiteral("/papers/new.pdf"), stateAt(1));
    history->flush();
    const QStringList aside = QDir(historyFolder()).entryList({QStringLiteral("reading-history.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(QDir(historyFolder()).filePath(aside.first())), broken);
    EXPECT_TRUE(readAll(historyFile()).contains("new.pdf"));
    // What is told names the file set aside, in one run of Chinese sentences.
    EXPECT_TRUE(loadError.endsWith(QChar(0x3002))) << loadError.toStdString();
    EXPECT_EQ(history->loadProblem(), loadError + QStringLiteral("原文件已保留为 %1。").arg(aside.first()));
    // The successful save clears the error: the unreadable file is kept aside.
    EXPECT_TRUE(history->error().isEmpty()) << history->error().toStdString();

    // Later writes replace the new file; the set-aside one stays alone.
    history->opened(QStringLiteral("/papers/newer.pdf"), stateAt(1));
    history->flush();
    EXPECT_EQ(QDir(historyFolder()).entryList({QStringLiteral("reading-history.json.unreadable-*")}).size(), 1);
}

TEST_F(ReadingHistoryLoading, AFileNestedTooDeeplyIsUnreadableNotACrash)
{
    const QByteArray nested = "[" + recordJson(1) + "," + folvan::test::deeplyNestedJson() + "]";
    writeAll(historyFile(), nested);
    auto history = makeStore();
    EXPECT_TRUE(history->records().isEmpty());
    EXPECT_TRUE(history->error().startsWith(QStringLiteral("无法读取阅读记录："))) << history->error().toStdString();
    history->opened(QStringLiteral("/papers/new.pdf"), stateAt(1));
    history->flush();
    const QStringList aside = QDir(historyFolder()).entryList({QStringLiteral("reading-history.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(QDir(historyFolder()).filePath(aside.first())), nested);
}

TEST_F(ReadingHistoryLoading, AFifoInPlaceOfTheFileIsUnreadableNotWaitedOn)
{
    ASSERT_TRUE(folvan::test::makeTestFifo(historyFile()));
    auto history = makeStore();
    EXPECT_TRUE(history->records().isEmpty());
    EXPECT_TRUE(history->error().startsWith(QStringLiteral("无法读取阅读记录："))) << history->error().toStdString();
    EXPECT_TRUE(folvan::test::isFifo(historyFile()));

    // The first write sets it aside, never into it.
    history->opened(QStringLiteral("/papers/new.pdf"), stateAt(1));
    history->flush();
    const QStringList aside = QDir(historyFolder()).entryList({QStringLiteral("reading-history.json.unreadable-*")},
                                                             QDir::System | QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(folvan::test::isFifo(QDir(historyFolder()).filePath(aside.first())));
    EXPECT_TRUE(readAll(historyFile()).contains("new.pdf"));
}

TEST_F(ReadingHistoryLoading, TheSharedStoreLivesInTheDataFolderAndReadsTheSharedPreferences)
{
    ReadingHistory &shared = ReadingHistory::shared();
    EXPECT_EQ(shared.file(), path(QStringLiteral("data/Folvan/reading-history.json")));
    EXPECT_EQ(&ReadingHistory::shared(), &shared);
    folvan::platform::Preferences::shared().setValue(QStringLiteral("lastPage_/papers/p.pdf"), 3);
    EXPECT_EQ(shared.state(QStringLiteral("/papers/p.pdf"), 10, true).page, 3);
}
