// Editing, linking, trashing, restoring and searching notes.

#include "NotesTestSupport.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

QStringList titles(const QList<notes::PaperNote> &notes)
{
    QStringList result;
    for (const notes::PaperNote &note : notes)
        result.append(note.title);
    return result;
}

class NoteOperations : public NotesStoreTest {
protected:
    void SetUp() override
    {
        NotesStoreTest::SetUp();
        store = openStore(0.05);
        notes::NotePaper vision;
        vision.title = QStringLiteral("视觉 Transformer 综述");
        vision.path = QStringLiteral("/papers/vision.pdf");
        notes::NotePaper other;
        other.title = QStringLiteral("Graph Networks");
        other.path = QStringLiteral("/papers/graph.pdf");
        store->setPapers({vision, other});
        visionID = vision.id;
        otherID = other.id;
    }

    QUuid add(notes::PaperNote note)
    {
        store->setNotes(store->notes() << note);
        return note.id;
    }

    // Whether a save is pending: it reaches the file shortly.
    bool savedSoon()
    {
        const QByteArray before = fileBytes();
        elapse(200);
        return fileBytes() != before;
    }

    std::unique_ptr<notes::PaperNotesStore> store;
    QUuid visionID, otherID;
};

TEST_F(NoteOperations, UpdateEditsOnlyGivenFieldsAndAlwaysStampsTheEdit)
{
    EXPECT_FALSE(store->note(std::nullopt).has_value());
    const QUuid id = add(makeNote(QStringLiteral("title"), QStringLiteral("body"), 10));
    store->update(id, std::nullopt, QStringLiteral("  新的正文 "));
    notes::PaperNote edited = *store->note(id);
    EXPECT_EQ(edited.title, QStringLiteral("title"));
    EXPECT_EQ(edited.body, QStringLiteral("  新的正文 "));
    const QDateTime first = edited.updatedAt;
    EXPECT_GT(first, at(10));
    EXPECT_TRUE(savedSoon());

    store->update(id, QString(""), std::nullopt);
    EXPECT_EQ(store->note(id)->title, QString());
    store->update(id, std::nullopt, std::nullopt);
    EXPECT_GE(store->note(id)->updatedAt, first);
    EXPECT_TRUE(savedSoon());
}

TEST_F(NoteOperations, TrashedNoteIsHiddenAndCannotBeEdited)
{
    const QUuid id = add(makeNote(QStringLiteral("keep"), QStringLiteral("b"), 10));
    store->trash(id);
    EXPECT_FALSE(store->note(id).has_value());
    EXPECT_EQ(store->notes().size(), 1) << "a trashed note stays in the library";
    EXPECT_TRUE(store->canUndoDelete());
    EXPECT_TRUE(savedSoon());

    store->update(id, QStringLiteral("changed"), std::nullopt);
    EXPECT_EQ(store->notes()[0].title, QStringLiteral("keep"));
    EXPECT_EQ(store->notes()[0].updatedAt, at(10));
    EXPECT_FALSE(savedSoon()) << "an edit of a trashed note schedules nothing";
    EXPECT_TRUE(store->search(QStringLiteral("keep"), std::nullopt, false).isEmpty());
}

TEST_F(NoteOperations, UndoDeleteRestoresTheMostRecentlyTrashedNoteOneAtATime)
{
    EXPECT_FALSE(store->canUndoDelete());
    store->undoDelete();
    EXPECT_FALSE(savedSoon());

    const QUuid a = add(makeNote(QStringLiteral("a"), QString(), 1));
    const QUuid b = add(makeNote(QStringLiteral("b"), QString(), 2));
    store->trash(a);
    nextInstant();
    store->trash(b);
    nextInstant();
    store->trash(a); // trashed again: now the most recent
    store->undoDelete();
    EXPECT_TRUE(store->note(a).has_value());
    EXPECT_FALSE(store->note(b).has_value());
    EXPECT_EQ(store->note(a)->updatedAt, at(1)) << "restoring is not an edit";
    store->undoDelete();
    EXPECT_TRUE(store->note(b).has_value());
    EXPECT_FALSE(store->canUndoDelete());
}

TEST_F(NoteOperations, AssociateLinksAPaperAndDropsPassagesOfAnotherPaper)
{
    notes::PaperNote quoted = makeNote(QStringLiteral("q"), QString(), 1, visionID);
    quoted.page = 2;
    quoted.sources = std::vector<model::ReadingTextSource>{quoteSource(QStringLiteral("passage"), 2)};
    const QUuid id = add(quoted);

    store->associate(id, visionID, 7);
    EXPECT_EQ(store->note(id)->page, 7);
    EXPECT_TRUE(store->note(id)->sources.has_value()) << "same paper keeps its passages";

    store->associate(id, otherID, std::nullopt);
    EXPECT_EQ(store->note(id)->paperID, otherID);
    EXPECT_FALSE(store->note(id)->page.has_value());
    EXPECT_FALSE(store->note(id)->sources.has_value());
    elapse(200);

    const notes::PaperNote before = *store->note(id);
    store->associate(id, QUuid::createUuid(), 1);
    EXPECT_EQ(*store->note(id), before) << "an unknown paper changes nothing";
    EXPECT_FALSE(savedSoon());

    // An unlinked (imported) note takes the paper.
    const QUuid old = add(makeNote(QStringLiteral("old"), QString(), 1));
    store->associate(old, visionID, 0);
    EXPECT_EQ(store->note(old)->paperID, visionID);
    EXPECT_EQ(store->note(old)->page, 0);
}

class NoteSearch : public NoteOperations {};

TEST_F(NoteSearch, EveryWordOccursInATitleBodyQuoteOrPaperTitleIgnoringCaseAndAccentsNewestEditFirst)
{
    notes::PaperNote quoted = makeNote(QStringLiteral("q"), QStringLiteral("body"), 1, otherID);
    quoted.sources = std::vector<model::ReadingTextSource>{quoteSource(QStringLiteral("自注意力的计算")),
                                                    quoteSource(QStringLiteral("second passage"))};
    add(quoted);
    add(makeNote(QStringLiteral("ATTENTION 机制"), QStringLiteral("多头 heads"), 2));
    add(makeNote(QStringLiteral("attention only"), QStringLiteral("nothing else"), 3, visionID));
    add(makeNote(QStringLiteral("Résumé"), QStringLiteral("le CAFÉ"), 4));
    add(makeNote(QStringLiteral("missing paper"), QString(), 5, QUuid::createUuid()));
    add(makeNote(QStringLiteral("mentions 旧版 itself"), QString(), 6, visionID));
    store->trash(add(makeNote(QStringLiteral("gone attention"), QString(), 7)));

    const struct {
        const char *query;
        std::optional<QUuid> paper;
        bool currentOnly;
        const char *titles;
    } cases[] = {
        {"", std::nullopt, false, "mentions 旧版 itself|missing paper|Résumé|attention only|ATTENTION 机制|q"},
        {" \u3000\t", std::nullopt, false, "mentions 旧版 itself|missing paper|Résumé|attention only|ATTENTION 机制|q"},
        {"attention\u3000heads", std::nullopt, false, "ATTENTION 机制"},
        {"机制 多头", std::nullopt, false, "ATTENTION 机制"},
        {"机制多头", std::nullopt, false, ""}, // a word does not span two pieces of the note
        {"cafe resume", std::nullopt, false, "Résumé"},
        {"注意力", std::nullopt, false, "q"},
        {"passage", std::nullopt, false, "q"},
        {"综述", std::nullopt, false, "mentions 旧版 itself|attention only"},
        {"旧版", std::nullopt, false, "mentions 旧版 itself|missing paper|Résumé|ATTENTION 机制"},
        {"attention", visionID, true, "attention only"},
        {"attention", visionID, false, "attention only|ATTENTION 机制"},
        {"", std::nullopt, true, "Résumé|ATTENTION 机制"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(titles(store->search(QString::fromUtf8(c.query), c.paper, c.currentOnly)).join('|'),
                  QString::fromUtf8(c.titles))
            << c.query;
    }
}

TEST_F(NoteSearch, EqualEditTimesAreOrderedByIdentifierText)
{
    notes::PaperNote b = makeNote(QStringLiteral("b"), QString(), 5);
    b.id = QUuid::fromString(QStringLiteral("b0000000-0000-4000-8000-000000000000"));
    notes::PaperNote a = makeNote(QStringLiteral("a"), QString(), 5);
    a.id = QUuid::fromString(QStringLiteral("A0000000-0000-4000-8000-000000000000"));
    notes::PaperNote nine = makeNote(QStringLiteral("9"), QString(), 5);
    nine.id = QUuid::fromString(QStringLiteral("90000000-0000-4000-8000-000000000000"));
    add(b);
    add(a);
    add(nine);
    EXPECT_EQ(titles(store->search(QString(), std::nullopt, false)), (QStringList{"9", "a", "b"}));

    // An edit, even without changes, brings a note to the top.
    store->update(b.id, std::nullopt, std::nullopt);
    EXPECT_EQ(titles(store->search(QString(), std::nullopt, false)).first(), QStringLiteral("b"));
}

} // namespace
} // namespace folvan::test
