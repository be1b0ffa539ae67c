// Two readers on one notes library (two logins sharing a home): neither
// writes over the notes the other wrote.

#include "NotesTestSupport.h"

#include "platform/StoredFiles.h"

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
    std::optional<notes::PaperNote> storedNote(const QUuid &id)
    {
        for (const notes::PaperNote &note : storedNotes())
            if (note.id == id)
                return note;
        return std::nullopt;
    }
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
    writeFile("{\"version\":1,\"papers\":[");
    first->setNotes({makeNote(QStringLiteral("after the damage"), QString(), 4)});
    first->schedule();
    first->flush();
    const QStringList aside = QDir(path(QStringLiteral("notes")))
                                  .entryList({QStringLiteral("paper-notes-v1.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readTestFile(path(QStringLiteral("notes/")) + aside.first()), "{\"version\":1,\"papers\":[");
    EXPECT_TRUE(first->error().contains(aside.first())) << first->error().toStdString();
    EXPECT_EQ(storedNotes().size(), 1);
}

} // namespace
} // namespace folvan::test
