// Paper records follow their file: registration by path and by file
// identity, and resolution to a readable file.

#include "NotesTestSupport.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

class PaperRegistration : public NotesStoreTest {
protected:
    void SetUp() override
    {
        NotesStoreTest::SetUp();
        QDir(root()).mkpath(QStringLiteral("papers/sub"));
        QDir(root()).mkpath(QStringLiteral("elsewhere"));
        store = openStore(0.05);
    }

    QString paperFile(const QString &relative, const QByteArray &content = "%PDF-1.4\n")
    {
        const QString file = path(relative);
        EXPECT_TRUE(writeTestFile(file, content));
        return file;
    }

    notes::NotePaper record(const QUuid &id) const { return *store->paper(id); }

    std::unique_ptr<notes::PaperNotesStore> store;
};

TEST_F(PaperRegistration, SameFileTwiceGivesOneRecordAndNoSecondSave)
{
    const QString file = paperFile(QStringLiteral("papers/Deep Nets.v2.pdf"));
    const QUuid id = store->registerPaper(file);
    EXPECT_EQ(store->papers().size(), 1);
    const notes::NotePaper stored = record(id);
    EXPECT_EQ(stored.path, file);
    EXPECT_EQ(stored.title, QStringLiteral("Deep Nets.v2"));
    ASSERT_TRUE(stored.fileIdentity.has_value());
    EXPECT_TRUE(stored.fileIdentity->contains(QLatin1Char(':')));
    store->flush();

    ASSERT_TRUE(QFile::remove(notesFile()));
    EXPECT_EQ(store->registerPaper(path(QStringLiteral("papers/sub/../Deep Nets.v2.pdf"))), id);
    EXPECT_EQ(store->papers().size(), 1);
    store->flush();
    EXPECT_FALSE(QFile::exists(notesFile())) << "an unchanged record is not saved again";

    // A copy is another paper.
    const QString copy = path(QStringLiteral("elsewhere/Deep Nets.v2.pdf"));
    ASSERT_TRUE(QFile::copy(file, copy));
    EXPECT_NE(store->registerPaper(copy), id);
    EXPECT_EQ(store->papers().size(), 2);
}

TEST_F(PaperRegistration, RenamedOrMovedPaperKeepsItsRecord)
{
    const QString file = paperFile(QStringLiteral("papers/draft.pdf"));
    const QUuid id = store->registerPaper(file);

    const QString renamed = path(QStringLiteral("papers/Final Title.pdf"));
    ASSERT_TRUE(QFile::rename(file, renamed));
    EXPECT_EQ(store->registerPaper(renamed), id);
    EXPECT_EQ(record(id).path, renamed);
    EXPECT_EQ(record(id).title, QStringLiteral("Final Title"));
    store->flush();
    store.reset();

    // Moved to another folder while the reader was closed.
    const QString moved = path(QStringLiteral("elsewhere/Final Title.pdf"));
    ASSERT_TRUE(QFile::rename(renamed, moved));
    store = openStore();
    EXPECT_EQ(store->registerPaper(moved), id);
    EXPECT_EQ(store->papers().size(), 1);
    EXPECT_EQ(record(id).path, moved);
    EXPECT_EQ(store->resolve(id), moved);
}

TEST_F(PaperRegistration, IdentityAloneNeverTakesARecordWhosePathHoldsAnotherFile)
{
    const QString newcomer = paperFile(QStringLiteral("elsewhere/new.pdf"));
    const QString identity = *record(store->registerPaper(newcomer)).fileIdentity;

    // An older record that carries the same identity (a number the file
    // system handed out again) while its own file is still in place.
    const QString replaced = paperFile(QStringLiteral("papers/old.pdf"), "another file");
    notes::NotePaper old;
    old.title = QStringLiteral("old");
    old.path = replaced;
    old.fileIdentity = identity;
    store->setPapers({old});
    const QUuid fresh = store->registerPaper(newcomer);
    EXPECT_NE(fresh, old.id);
    EXPECT_EQ(record(old.id).path, replaced);

    // Once the recorded file is gone, the identity finds the paper again,
    // unless the record's fingerprint tells that it was another file.
    ASSERT_TRUE(QFile::remove(replaced));
    old.fileFingerprint = QStringLiteral("birth:1.5");
    store->setPapers({old});
    EXPECT_NE(store->registerPaper(newcomer), old.id);
    old.fileFingerprint.reset();
    store->setPapers({old});
    EXPECT_EQ(store->registerPaper(newcomer), old.id);
    EXPECT_EQ(record(old.id).path, newcomer);
}

TEST_F(PaperRegistration, ARecordFollowsItsPaperOnlyWhenAnotherFileTookItsName)
{
    const QString file = paperFile(QStringLiteral("papers/paper.pdf"));
    const QUuid id = store->registerPaper(file);
    const QString renamed = path(QStringLiteral("papers/renamed.pdf"));
    ASSERT_TRUE(QFile::copy(file, renamed));
    store->paperMoved(file, renamed);
    EXPECT_EQ(record(id).path, file) << "a copy is another paper, and the paper is still in place";

    ASSERT_TRUE(QFile::remove(renamed));
    ASSERT_TRUE(QFile::rename(file, renamed));
    paperFile(QStringLiteral("papers/paper.pdf"), "another paper");
    store->paperMoved(file, renamed);
    EXPECT_EQ(record(id).path, renamed);
    EXPECT_EQ(record(id).title, QStringLiteral("renamed"));
    EXPECT_NE(store->registerPaper(file), id);
}

TEST_F(PaperRegistration, UnreadableFileLosesItsIdentityAndKeepsItsBookmark)
{
    const QString missing = path(QStringLiteral("papers/missing.pdf"));
    notes::NotePaper known;
    known.title = QStringLiteral("missing");
    known.path = missing;
    known.fileIdentity = QStringLiteral("1:2");
    known.bookmark = QByteArray("bookmark bytes");
    store->setPapers({known});
    EXPECT_EQ(store->registerPaper(missing), known.id);
    EXPECT_FALSE(record(known.id).fileIdentity.has_value());
    EXPECT_EQ(record(known.id).bookmark, QByteArray("bookmark bytes"));

    const QUuid other = store->registerPaper(path(QStringLiteral("papers/never.pdf")));
    EXPECT_FALSE(record(other).fileIdentity.has_value());
    EXPECT_FALSE(record(other).bookmark.has_value());
}

TEST_F(PaperRegistration, ResolveGivesOnlyAReadableFileFoundByPathOrIdentity)
{
    EXPECT_FALSE(store->resolve(std::nullopt).has_value());
    EXPECT_FALSE(store->resolve(QUuid::createUuid()).has_value());

    const QString file = paperFile(QStringLiteral("papers/here.pdf"));
    const QUuid id = store->registerPaper(file);
    EXPECT_EQ(store->resolve(id), file);
    // Renamed outside the reader: found in its folder by its identity.
    const QString renamed = path(QStringLiteral("papers/renamed.pdf"));
    ASSERT_TRUE(QFile::rename(file, renamed));
    EXPECT_EQ(store->resolve(id), renamed);
    ASSERT_TRUE(QFile::remove(renamed));
    EXPECT_FALSE(store->resolve(id).has_value());
    EXPECT_TRUE(store->paper(id).has_value()) << "the record stays";
}

} // namespace
// The lookups by name, file numbers and /ID follow the records one change
// at a time, also where several records share a key.
TEST_F(PaperRegistration, TheIndexFollowsRecordsThatShareAKey)
{
    notes::NotePaper a, b, c;
    for (notes::NotePaper *paper : {&a, &b, &c}) {
        paper->path = path(QStringLiteral("papers/shared.pdf"));
        paper->fileIdentity = QStringLiteral("1:2");
        paper->documentID = QStringLiteral("abc");
    }
    c.away = notes::PaperAway{}; // found nowhere: it holds no name
    store->setPapers({a, b, c});
    const auto sorted = [](QList<qsizetype> list) {
        std::sort(list.begin(), list.end());
        return list;
    };
    EXPECT_EQ(sorted(store->paperIndex().holders(a.path)), (QList<qsizetype>{0, 1}));
    EXPECT_EQ(store->paperIndex().ofDocument(QStringLiteral("abc")).size(), 3);

    // The first holder takes another name: the second is found in its place.
    a.path = path(QStringLiteral("papers/moved.pdf"));
    store->updatePapers({a});
    EXPECT_EQ(store->paperIndex().holders(b.path), QList<qsizetype>{1});
    EXPECT_EQ(store->paperIndex().holders(a.path), QList<qsizetype>{0});

    // One comes back from nowhere and one is added, under the shared name.
    c.away.reset();
    notes::NotePaper d = b;
    d.id = QUuid::createUuid();
    store->updatePapers({c}, {d});
    EXPECT_EQ(sorted(store->paperIndex().holders(b.path)), (QList<qsizetype>{1, 2, 3}));
    EXPECT_EQ(store->paperIndex().position(d.id), 3);
    EXPECT_EQ(store->paperIndex().ofIdentity(QStringLiteral("1:2")).size(), 4);
}

// A paper shown under an identifier no record keeps (its name could not be
// settled yet) turns out to be a recorded one: its notes follow that one.
TEST_F(PaperRegistration, NotesOfAPaperKnownUnderAnotherIdentifierFollowItsRecord)
{
    const QUuid kept = store->registerPaper(paperFile(QStringLiteral("papers/kept.pdf")));
    const QUuid shownAs = QUuid::createUuid();
    store->setNotes({makeNote(QStringLiteral("held"), QString(), 1, shownAs),
                     makeNote(QStringLiteral("other"), QString(), 2)});
    QHash<QUuid, QUuid> told;
    QObject context;
    platform::NotificationCenter::shared().observe<notes::PaperRecordsJoined>(
        &context, [&told](const notes::PaperRecordsJoined &joined) { told.insert(joined.keptFor); });
    store->joinPaper(shownAs, kept);
    EXPECT_EQ(store->notes().at(0).paperID, kept);
    EXPECT_EQ(store->notes().at(1).paperID, std::nullopt);
    EXPECT_EQ(told, (QHash<QUuid, QUuid>{{shownAs, kept}}));
}

} // namespace folvan::test
