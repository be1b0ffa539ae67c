// Two readers on one notes library (two logins sharing a home): neither
// writes over the notes the other wrote.

#include "NotesTestSupport.h"

#include "platform/FileIdentity.h"
#include "platform/NotificationCenter.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

class NotesSharedLibrary : public NotesStoreTest {
protected:
    QList<notes::PaperNote> storedNotes()
    {
        const platform::json top = *platform::decodeStoredJson(fileBytes());
        QList<notes::PaperNote> notes;
        for (const platform::json &note : top["notes"])
            notes.append(note.get<notes::PaperNote>());
        return notes;
    }
    QList<notes::NotePaper> storedPapers()
    {
        const platform::json top = *platform::decodeStoredJson(fileBytes());
        QList<notes::NotePaper> papers;
        for (const platform::json &paper : top["papers"])
            papers.append(paper.get<notes::NotePaper>());
        return papers;
    }
    // The joins announced while the test runs, dropped → kept.
    void watchJoins()
    {
        platform::NotificationCenter::shared().observe<notes::PaperRecordsJoined>(
            &context, [this](const notes::PaperRecordsJoined &joined) { joins.insert(joined.keptFor); });
    }
    std::optional<notes::PaperNote> storedNote(const QUuid &id)
    {
        for (const notes::PaperNote &note : storedNotes())
            if (note.id == id)
                return note;
        return std::nullopt;
    }
    QObject context;
    QHash<QUuid, QUuid> joins;
};

TEST_F(NotesSharedLibrary, NotesWrittenByTwoStoresOnOneFileAreAllKept)
{
    auto first = openStore();
    auto second = openStore();
    const notes::PaperNote a = makeNote(QStringLiteral("from-instance-0"), QString(), 1);
    const notes::PaperNote b = makeNote(QStringLiteral("from-instance-1"), QString(), 2);
    first->setNotes({a});
    first->schedule();
    first->flush();
    second->setNotes({b});
    second->schedule();
    second->flush();
    EXPECT_TRUE(storedNote(a.id) && storedNote(b.id));
    // The second store now also shows the first's note.
    EXPECT_EQ(second->notes().size(), 2);

    // Each side edits or trashes what the other does not touch.
    first->update(a.id, std::nullopt, QStringLiteral("edited by the first"));
    first->flush();
    second->trash(b.id);
    second->flush();
    ASSERT_TRUE(storedNote(a.id) && storedNote(b.id));
    EXPECT_EQ(storedNote(a.id)->body, QStringLiteral("edited by the first"));
    EXPECT_FALSE(storedNote(b.id)->isLive());

    // Both edit one note: the later edit stands, the other's notes stay.
    const notes::PaperNote c = makeNote(QStringLiteral("from-instance-0 again"), QString(), 3);
    first->setNotes(first->notes() << c);
    first->update(b.id, QStringLiteral("ignored"), std::nullopt);
    first->schedule();
    second->update(a.id, std::nullopt, QStringLiteral("edited by both"));
    nextInstant();
    first->update(a.id, std::nullopt, QStringLiteral("edited by the first, later"));
    second->flush();
    first->flush();
    EXPECT_EQ(storedNote(a.id)->body, QStringLiteral("edited by the first, later"));
    EXPECT_TRUE(storedNote(c.id).has_value());
    EXPECT_EQ(storedNotes().size(), 3);

    // The library as a third reader opens it afterwards.
    auto third = openStore();
    EXPECT_EQ(third->notes().size(), 3);
    EXPECT_FALSE(third->hasError());
}

TEST_F(NotesSharedLibrary, PapersRegisteredByBothAreKeptAndADamagedFileIsSetAside)
{
    writeFile(R"({"version":1,"papers":[],"notes":[],"legacyImported":true})");
    auto first = openStore();
    auto second = openStore();
    ASSERT_TRUE(writeTestFile(path(QStringLiteral("a.pdf")), "%PDF-1.4 a"));
    ASSERT_TRUE(writeTestFile(path(QStringLiteral("b.pdf")), "%PDF-1.4 b"));
    const QUuid a = first->registerPaper(path(QStringLiteral("a.pdf")));
    first->flush();
    const QUuid b = second->registerPaper(path(QStringLiteral("b.pdf")));
    second->flush();
    auto reopened = openStore();
    EXPECT_TRUE(reopened->paper(a) && reopened->paper(b));

    // Someone else leaves the file damaged: it is set aside, named, and the
    // library written anew.
    const notes::PaperNote earlier = makeNote(QStringLiteral("before the damage"), QString(), 3, a);
    first->setNotes({earlier});
    first->schedule();
    first->flush();
    writeFile("{\"version\":1,\"papers\":[");
    first->setNotes({earlier, makeNote(QStringLiteral("after the damage"), QString(), 4)});
    first->schedule();
    first->flush();
    const QStringList aside = QDir(path(QStringLiteral("notes")))
                                  .entryList({QStringLiteral("paper-notes-v1.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readTestFile(path(QStringLiteral("notes/")) + aside.first()), "{\"version\":1,\"papers\":[");
    EXPECT_TRUE(first->error().contains(aside.first())) << first->error().toStdString();
    // Everything this store held is written anew, not only what changed.
    EXPECT_EQ(storedNotes().size(), 2);
    EXPECT_EQ(storedPapers().size(), 2);
}

TEST_F(NotesSharedLibrary, OnePaperRegisteredByTwoStoresStaysOneRecordWithBothNotes)
{
    watchJoins();
    writeFile(R"({"version":1,"papers":[],"notes":[],"legacyImported":true})");
    auto first = openStore();
    auto second = openStore();
    const QString paper = path(QStringLiteral("c.pdf"));
    ASSERT_TRUE(writeTestFile(paper, "%PDF-1.4 c"));

    // Each reader opens the paper before it has seen the other's record,
    // and notes something in it.
    const QUuid a = first->registerPaper(paper);
    const notes::PaperNote fromFirst = makeNote(QStringLiteral("first"), QString(), 1, a);
    first->setNotes({fromFirst});
    first->flush();
    const QUuid b = second->registerPaper(paper);
    ASSERT_NE(a, b);
    const notes::PaperNote fromSecond = makeNote(QStringLiteral("second"), QString(), 2, b);
    second->setNotes({fromSecond});
    second->schedule();
    second->flush();

    // The record the file held already stays; the other's notes follow it.
    ASSERT_EQ(storedPapers().size(), 1);
    EXPECT_EQ(storedPapers().first().id, a);
    EXPECT_EQ(storedNote(fromSecond.id)->paperID, a);
    EXPECT_EQ(second->papers().size(), 1);
    EXPECT_EQ(second->registerPaper(paper), a);
    EXPECT_EQ(joins, (QHash<QUuid, QUuid>{{b, a}}));

    // The first writes again (quitting after the second): still one record.
    first->update(fromFirst.id, std::nullopt, QStringLiteral("edited"));
    first->flush();
    ASSERT_EQ(storedPapers().size(), 1);
    EXPECT_EQ(first->registerPaper(paper), a);
    auto reopened = openStore();
    EXPECT_EQ(reopened->search(QString(), a, true).size(), 2);
}

TEST_F(NotesSharedLibrary, ALibraryHoldingOneFileTwiceIsMendedAsItIsRead)
{
    watchJoins();
    const QString paper = path(QStringLiteral("c.pdf"));
    const QString other = path(QStringLiteral("d.pdf"));
    ASSERT_TRUE(writeTestFile(paper, "%PDF-1.4 c"));
    ASSERT_TRUE(writeTestFile(other, "%PDF-1.4 d"));
    const auto record = [](const QString &file, const QString &at) {
        notes::NotePaper paper;
        paper.path = at;
        paper.title = QStringLiteral("c");
        paper.fileIdentity = platform::fileIdentity(file);
        paper.fileFingerprint = platform::fileFingerprint(file);
        return paper;
    };
    // Twice by its path, once more under a name it had before; another
    // paper, and a record of a file since replaced by another with its
    // numbers (another fingerprint), stay apart.
    const notes::NotePaper kept = record(paper, paper);
    const notes::NotePaper samePath = record(paper, paper);
    const notes::NotePaper formerName = record(paper, path(QStringLiteral("old c.pdf")));
    const notes::NotePaper apart = record(other, other);
    notes::NotePaper replaced = record(paper, path(QStringLiteral("gone.pdf")));
    replaced.fileFingerprint = QStringLiteral("birth:1.0");
    notes::PaperNotesFile file;
    file.papers = {kept, apart, samePath, formerName, replaced};
    file.notes = {makeNote(QStringLiteral("1"), QString(), 1, kept.id),
                  makeNote(QStringLiteral("2"), QString(), 2, samePath.id),
                  makeNote(QStringLiteral("3"), QString(), 3, formerName.id),
                  makeNote(QStringLiteral("4"), QString(), 4, apart.id)};
    file.legacyImported = true;
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(notes::encodePaperNotesFile(file, &bytes, &error));
    writeFile(bytes);

    auto store = openStore();
    ASSERT_EQ(store->papers().size(), 3);
    EXPECT_EQ(store->registerPaper(paper), kept.id);
    EXPECT_EQ(store->search(QString(), kept.id, true).size(), 3);
    EXPECT_EQ(store->search(QString(), apart.id, true).size(), 1);
    EXPECT_EQ(joins, (QHash<QUuid, QUuid>{{samePath.id, kept.id}, {formerName.id, kept.id}}));
    // Written mended once the store writes.
    store->flush();
    QList<QUuid> stored;
    for (const notes::NotePaper &paper : storedPapers())
        stored << paper.id;
    EXPECT_EQ(stored, (QList<QUuid>{kept.id, apart.id, replaced.id}));
}

} // namespace
} // namespace folvan::test
