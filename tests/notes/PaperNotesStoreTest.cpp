// The store's life: loading, the unreadable file, the deferred save and
// flush, and the one-time take-over of the older notes pad.

#include "NotesTestSupport.h"

#include "notes/NotesViewModel.h"
#include "platform/UnsavedChanges.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

const QByteArray kEmptyImported = R"({"version":1,"papers":[],"notes":[],"legacyImported":true})";

class NotesStoreLifecycle : public NotesStoreTest {};

TEST_F(NotesStoreLifecycle, FirstStartWritesAnEmptyLibraryAndTheNextDoesNotImportAgain)
{
    {
        auto store = openStore();
        EXPECT_FALSE(store->hasError());
        const platform::json top = *platform::decodeStoredJson(fileBytes());
        EXPECT_EQ(top["papers"], platform::json::array());
        EXPECT_EQ(top["notes"], platform::json::array());
        EXPECT_EQ(top["legacyImported"], true);
    }
    prefs->setValue(QStringLiteral("SavedNotes"), QStringLiteral("written after the import"));
    auto again = openStore();
    EXPECT_TRUE(again->notes().isEmpty());
}

TEST_F(NotesStoreLifecycle, ManyChangesEndInOneWriteAfterTheDelay)
{
    writeFile(kEmptyImported);
    auto store = openStore();
    for (int i = 0; i < 3; ++i) {
        store->setNotes(store->notes() << makeNote(QString::number(i), QString(), i));
        store->schedule();
        elapse(100);
        EXPECT_EQ(fileBytes(), kEmptyImported) << "written before the delay ran out, change " << i;
    }
    // 0.2 s after the third change: each change restarted the delay.
    elapse(100);
    EXPECT_EQ(fileBytes(), kEmptyImported);
    elapse(150);
    const platform::json top = *platform::decodeStoredJson(fileBytes());
    EXPECT_EQ(top["notes"].size(), 3u);
}

TEST_F(NotesStoreLifecycle, FlushWritesAtOnceAndOnlyWhenSomethingChanged)
{
    auto store = openStore();
    store->setNotes({makeNote(QStringLiteral("now"), QString(), 1)});
    store->schedule();
    store->flush();
    EXPECT_EQ((*platform::decodeStoredJson(fileBytes()))["notes"].size(), 1u);

    // Nothing pending: flush does not touch the file, and the deferred save
    // was cancelled by the first flush.
    ASSERT_TRUE(QFile::remove(notesFile()));
    store->flush();
    elapse(500);
    EXPECT_FALSE(QFile::exists(notesFile()));
}

TEST_F(NotesStoreLifecycle, FailedSaveIsReportedAndRetriedLater)
{
    // A plain file where the notes folder should be makes the save fail.
    QFile blocker(path(QStringLiteral("notes")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto store = openStore(0.05);
    EXPECT_TRUE(store->error().startsWith(QStringLiteral("笔记尚未保存："))) << store->error().toStdString();

    // Once the folder can be made, the library is written without a change.
    ASSERT_TRUE(QFile::remove(blocker.fileName()));
    elapse(50 * notes::PaperNotesStore::kRetryDelayFactor);
    EXPECT_FALSE(store->hasError());
    EXPECT_FALSE(fileBytes().isEmpty());
}

TEST_F(NotesStoreLifecycle, ReleasedStoreDropsItsPendingSave)
{
    writeFile(kEmptyImported);
    {
        auto store = openStore();
        store->setNotes({makeNote(QStringLiteral("lost"), QString(), 1)});
        store->schedule();
    }
    elapse(500);
    EXPECT_EQ(fileBytes(), kEmptyImported);
}

class NotesStoreUnreadableFile : public NotesStoreTest {};

TEST_F(NotesStoreUnreadableFile, FileIsKeptUntouchedForTheStoresWholeLife)
{
    const QByteArray variants[] = {
        R"({"version":2,"papers":[],"notes":[],"legacyImported":true})",
        R"({"version":1,"papers":[],"notes":[{"id":"x"}],"legacyImported":false})",
        "not json at all",
        deeplyNestedJson(),
    };
    prefs->setValue(QStringLiteral("SavedNotes"), QStringLiteral("old pad text"));
    for (const QByteArray &bytes : variants) {
        writeFile(bytes);
        auto store = openStore(0.05);
        EXPECT_TRUE(store->error().startsWith(QStringLiteral("无法读取笔记库，原文件已保留：")))
            << store->error().toStdString();
        EXPECT_TRUE(store->notes().isEmpty()) << "the import must not run";
        EXPECT_TRUE(store->papers().isEmpty());
        const QString loadError = store->error();

        store->setNotes({makeNote(QStringLiteral("in memory"), QString(), 1)});
        store->schedule();
        elapse(150);
        store->flush();
        store->registerPaper(path(QStringLiteral("paper.pdf")));
        store->flush();
        EXPECT_EQ(fileBytes(), bytes);
        EXPECT_EQ(store->notes().size(), 1) << "changes stay in memory";
        EXPECT_EQ(store->error(), loadError);
        EXPECT_EQ(QDir(QFileInfo(notesFile()).absolutePath()).entryList(QDir::Files).size(), 1)
            << "no file beside it either";
    }
    // A FIFO in the file's place is unreadable too, and stays as it is.
    QFile::remove(notesFile());
    ASSERT_TRUE(makeTestFifo(notesFile()));
    auto store = openStore(0.05);
    EXPECT_TRUE(store->error().startsWith(QStringLiteral("无法读取笔记库，原文件已保留："))) << store->error().toStdString();
    store->registerPaper(path(QStringLiteral("paper.pdf")));
    store->flush();
    EXPECT_TRUE(isFifo(notesFile()));
    QFile::remove(notesFile());

    // A version other than 1 names the file in the message.
    writeFile(variants[0]);
    EXPECT_TRUE(openStore()->error().contains(notes::PaperNotesStore::kFileName));
}

TEST_F(NotesStoreUnreadableFile, TheQuitNamesTheNotesOnlyForWhatTheReaderChanged)
{
    writeFile("not json at all");
    auto store = openStore(0.05);
    const QStringList before = platform::unsavedDescriptions();
    // Opening a paper records it in memory; nothing the reader made is lost.
    ASSERT_TRUE(writeTestFile(path(QStringLiteral("paper.pdf")), "%PDF-1.4"));
    const QUuid paper = store->registerPaper(path(QStringLiteral("paper.pdf")));
    EXPECT_EQ(store->registerPaper(path(QStringLiteral("paper.pdf"))), paper);
    store->flush();
    EXPECT_EQ(platform::unsavedDescriptions(), before);

    store->setNotes({makeNote(QStringLiteral("typed"), QString(), 1, paper)});
    store->schedule();
    EXPECT_EQ(platform::unsavedDescriptions(), before + QStringList{QStringLiteral("笔记")});
    platform::noteSaved(notesFile());
}

class NotesLegacyImport : public NotesStoreTest {};

TEST_F(NotesLegacyImport, NonEmptySlotsBecomeUnlinkedNotesInSlotOrder)
{
    prefs->setValue(QStringLiteral("SavedNotes"), QStringLiteral("  第一格\n"));
    prefs->setValue(QStringLiteral("SavedNotes1"), QStringLiteral("second"));
    prefs->setValue(QStringLiteral("SavedNotesLabel1"), QString(""));
    prefs->setValue(QStringLiteral("SavedNotes2"), QStringLiteral(" \n\t\u3000"));
    prefs->setValue(QStringLiteral("SavedNotesLabel2"), QStringLiteral("skipped"));
    prefs->setValue(QStringLiteral("SavedNotes3"), QStringLiteral("fourth"));
    auto store = openStore();

    const QList<notes::PaperNote> notes = store->notes();
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[0].title, QStringLiteral("笔记"));
    EXPECT_EQ(notes[0].body, QStringLiteral("  第一格\n"));
    EXPECT_EQ(notes[1].title, QString());
    EXPECT_EQ(notes[1].body, QStringLiteral("second"));
    EXPECT_EQ(notes[2].title, QStringLiteral("笔记 4"));
    for (const notes::PaperNote &note : notes) {
        EXPECT_FALSE(note.paperID.has_value());
        EXPECT_FALSE(note.page.has_value());
        EXPECT_FALSE(note.sources.has_value());
        EXPECT_TRUE(note.isLive());
    }
    // Written at once; the pad's keys stay.
    EXPECT_EQ((*platform::decodeStoredJson(fileBytes()))["notes"].size(), 3u);
    EXPECT_EQ(prefs->value(QStringLiteral("SavedNotes1")).toString(), QStringLiteral("second"));
}

TEST_F(NotesLegacyImport, ImportedNotesFollowTheLoadedOnesWhenTheFileHasNotImportedYet)
{
    writeFile(R"({"version":1,"papers":[],"notes":[{"id":"1A2B3C4D-0000-4000-8000-00000000000A",)"
              R"("title":"kept","body":"","createdAt":0,"updatedAt":0}],"legacyImported":false})");
    prefs->setValue(QStringLiteral("SavedNotesLabel"), QStringLiteral("pad"));
    prefs->setValue(QStringLiteral("SavedNotes"), QStringLiteral("pad text"));
    auto store = openStore();
    ASSERT_EQ(store->notes().size(), 2);
    EXPECT_EQ(store->notes()[0].title, QStringLiteral("kept"));
    EXPECT_EQ(store->notes()[1].title, QStringLiteral("pad"));
    const platform::json top = *platform::decodeStoredJson(fileBytes());
    EXPECT_EQ(top["legacyImported"], true);
    EXPECT_EQ(top["notes"].size(), 2u);
}

TEST_F(NotesLegacyImport, ClearedPadImportsNothingAndKeepsItsLabels)
{
    notes::NotesViewModel pad(prefs.get());
    pad.setNotesText(QStringLiteral("one"));
    pad.setNotesText3(QStringLiteral("four"));
    pad.setNotesLabel2(QStringLiteral("label three"));
    pad.saveNotes();
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_TRUE(prefs->contains(notes::NotesViewModel::textKey(slot)));
        EXPECT_TRUE(prefs->contains(notes::NotesViewModel::labelKey(slot)));
    }
    EXPECT_EQ(prefs->value(QStringLiteral("SavedNotes3")).toString(), QStringLiteral("four"));

    pad.handleClearAll();
    EXPECT_EQ(pad.notesText3(), QString());
    EXPECT_EQ(prefs->value(QStringLiteral("SavedNotes")).toString(), QString());
    EXPECT_EQ(prefs->value(QStringLiteral("SavedNotesLabel2")).toString(), QStringLiteral("label three"));

    auto store = openStore();
    EXPECT_TRUE(store->notes().isEmpty());
}

} // namespace
} // namespace folvan::test
