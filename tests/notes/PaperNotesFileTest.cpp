// The stored form of the notes library: reading a file written by hand and
// the exact form of what the store writes.

#include "NotesTestSupport.h"

#include "notes/PaperNotesFile.h"
#include "platform/StoredJson.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

const QUuid kPaperA = QUuid::fromString(QStringLiteral("6f1c2e0a-5b3d-4c1e-9a7b-0123456789ab"));
const QUuid kNoteA = QUuid::fromString(QStringLiteral("1A2B3C4D-0000-4000-8000-00000000000A"));
const QUuid kNoteB = QUuid::fromString(QStringLiteral("1A2B3C4D-0000-4000-8000-00000000000B"));

const char kLiteralFile[] =
    R"({"version":1,"papers":[)"
    R"({"id":"6f1c2e0a-5b3d-4c1e-9a7b-0123456789ab","title":"Vision Notes",)"
    R"("path":"\/home\/u\/papers\/Vision Notes.pdf","fileIdentity":"2049:1234","bookmark":"AAEC/w=="},)"
    R"({"title":"Plain","id":"1A2B3C4D-0000-4000-8000-0000000000FF","path":"/p/plain.pdf","bookmark":null,"extra":7}],)"
    R"("notes":[)"
    R"({"id":"1A2B3C4D-0000-4000-8000-00000000000A","paperID":"6F1C2E0A-5B3D-4C1E-9A7B-0123456789AB",)"
    R"("title":"注意力图","body":"第一行\n第二行","page":4,)"
    R"("sources":[{"page":4,"start":0,"end":0,"quote":"first line","before":"","after":""}],)"
    R"("createdAt":0,"updatedAt":86400.5,"deletedAt":-978307200},)"
    R"({"id":"1a2b3c4d-0000-4000-8000-00000000000b","title":"","body":"","sources":[],"createdAt":1,"updatedAt":2}],)"
    R"("legacyImported":true})";

platform::json parsed(const QByteArray &bytes)
{
    return *platform::decodeStoredJson(bytes);
}

std::vector<std::string> keysOf(const platform::json &object)
{
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it)
        keys.push_back(it.key());
    return keys;
}

class NotesFileForm : public NotesStoreTest {};

TEST_F(NotesFileForm, LiteralFileInTheDataFolderLoadsEveryField)
{
    const QString location = PaperNotesStore::defaultFilePath();
    EXPECT_TRUE(location.endsWith(QStringLiteral("/Folvan/Notes/paper-notes-v1.json"))) << location.toStdString();
    EXPECT_TRUE(location.startsWith(root()));
    QDir().mkpath(QFileInfo(location).absolutePath());
    QFile file(location);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kLiteralFile);
    file.close();

    PaperNotesStore store(location, *prefs);
    ASSERT_FALSE(store.hasError()) << store.error().toStdString();
    ASSERT_EQ(store.papers().size(), 2);
    const NotePaper a = store.papers()[0];
    EXPECT_EQ(a.id, kPaperA);
    EXPECT_EQ(a.title, QStringLiteral("Vision Notes"));
    EXPECT_EQ(a.path, QStringLiteral("/home/u/papers/Vision Notes.pdf"));
    EXPECT_EQ(a.fileIdentity, QStringLiteral("2049:1234"));
    EXPECT_EQ(a.bookmark, QByteArray::fromHex("000102ff"));
    const NotePaper plain = store.papers()[1];
    EXPECT_FALSE(plain.fileIdentity.has_value());
    EXPECT_FALSE(plain.bookmark.has_value());

    ASSERT_EQ(store.notes().size(), 2);
    const PaperNote first = store.notes()[0];
    EXPECT_EQ(first.id, kNoteA);
    EXPECT_EQ(first.paperID, kPaperA);
    EXPECT_EQ(first.title, QStringLiteral("注意力图"));
    EXPECT_EQ(first.body, QStringLiteral("第一行\n第二行"));
    EXPECT_EQ(first.page, 4);
    ASSERT_TRUE(first.sources.has_value());
    ASSERT_EQ(first.sources->size(), 1u);
    EXPECT_EQ(first.sources->front().quote, QStringLiteral("first line"));
    EXPECT_EQ(first.createdAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(first.updatedAt, QDateTime(QDate(2001, 1, 2), QTime(0, 0, 0, 500), Qt::UTC));
    EXPECT_EQ(first.deletedAt, QDateTime::fromSecsSinceEpoch(0, Qt::UTC));

    const PaperNote second = store.notes()[1];
    EXPECT_EQ(second.id, kNoteB);
    EXPECT_FALSE(second.paperID.has_value());
    EXPECT_FALSE(second.page.has_value());
    ASSERT_TRUE(second.sources.has_value());
    EXPECT_TRUE(second.sources->empty());
    EXPECT_TRUE(second.isLive());
    // The import had run: the file is not rewritten at start.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(kLiteralFile));
}

TEST_F(NotesFileForm, WrittenFileIsCompactWithKeysInFieldOrder)
{
    writeFile(kLiteralFile);
    auto store = openStore();
    store->update(kNoteB, QStringLiteral("a/b"), std::nullopt);
    store->flush();
    const QByteArray bytes = fileBytes();
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains(": "));
    EXPECT_TRUE(bytes.contains(R"("title":"a\/b")"));
    EXPECT_TRUE(bytes.contains(R"("createdAt":0,"updatedAt":86400.5,"deletedAt":-978307200})"));
    EXPECT_TRUE(bytes.contains(R"("path":"\/home\/u\/papers\/Vision Notes.pdf")"));

    const platform::json top = parsed(bytes);
    EXPECT_EQ(keysOf(top), (std::vector<std::string>{"version", "papers", "notes", "legacyImported"}));
    EXPECT_EQ(top["version"], 1);
    EXPECT_EQ(top["legacyImported"], true);

    const platform::json &paper = top["papers"][0];
    EXPECT_EQ(keysOf(paper), (std::vector<std::string>{"id", "title", "path", "fileIdentity", "bookmark"}));
    EXPECT_EQ(paper["id"], "6F1C2E0A-5B3D-4C1E-9A7B-0123456789AB");
    EXPECT_EQ(paper["bookmark"], "AAEC/w==");
    EXPECT_EQ(keysOf(top["papers"][1]), (std::vector<std::string>{"id", "title", "path"}));

    const platform::json &note = top["notes"][0];
    EXPECT_EQ(keysOf(note), (std::vector<std::string>{"id", "paperID", "title", "body", "page", "sources",
                                                      "createdAt", "updatedAt", "deletedAt"}));
    EXPECT_EQ(note["createdAt"], 0);
    EXPECT_EQ(note["deletedAt"], -978307200);
    EXPECT_EQ(note["updatedAt"], 86400.5);
    // A lower-case identifier comes back in upper case; an empty list of
    // passages stays a list.
    const platform::json &second = top["notes"][1];
    EXPECT_EQ(second["id"], "1A2B3C4D-0000-4000-8000-00000000000B");
    EXPECT_EQ(second["sources"], platform::json::array());
}

TEST_F(NotesFileForm, NoteWithoutOptionalFieldsHasFiveKeys)
{
    notes::PaperNotesFile file;
    file.notes.append(makeNote(QStringLiteral("t"), QString(), 3));
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(notes::encodePaperNotesFile(file, &bytes, &error)) << error.toStdString();
    EXPECT_EQ(keysOf(parsed(bytes)["notes"][0]),
              (std::vector<std::string>{"id", "title", "body", "createdAt", "updatedAt"}));
}

TEST_F(NotesFileForm, ReadingAndWritingBackKeepsTheRecords)
{
    const auto first = notes::decodePaperNotesFile(kLiteralFile, PaperNotesStore::kFileName, nullptr);
    ASSERT_TRUE(first.has_value());
    QByteArray bytes;
    ASSERT_TRUE(notes::encodePaperNotesFile(*first, &bytes, nullptr));
    const auto second = notes::decodePaperNotesFile(bytes, PaperNotesStore::kFileName, nullptr);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->papers, first->papers);
    EXPECT_EQ(second->notes, first->notes);
    EXPECT_EQ(second->legacyImported, first->legacyImported);
}

TEST_F(NotesFileForm, MalformedContentMakesTheWholeFileUnreadable)
{
    const char *bad[] = {
        R"({"version":2,"papers":[],"notes":[],"legacyImported":true})",
        R"({"version":1,"papers":[],"notes":[]})",
        R"({"version":1,"papers":[],"notes":[],"legacyImported":1})",
        R"({"version":1,"papers":[{"id":"not-a-uuid","title":"","path":""}],"notes":[],"legacyImported":true})",
        R"({"version":1,"papers":[{"id":"6f1c2e0a-5b3d-4c1e-9a7b-0123456789ab","title":"","path":"","bookmark":"AAE"}],"notes":[],"legacyImported":true})",
        R"({"version":1,"papers":[],"notes":[{"id":"1A2B3C4D-0000-4000-8000-00000000000A","title":"","body":"","createdAt":"0","updatedAt":0}],"legacyImported":true})",
        R"({"version":1,"papers":[],"notes":[{"id":"1A2B3C4D-0000-4000-8000-00000000000A","title":"","body":"","sources":[{"page":0}],"createdAt":0,"updatedAt":0}],"legacyImported":true})",
        R"({"version":1,"papers":[],"notes":[{"id":"1A2B3C4D-0000-4000-8000-00000000000A","title":"","body":"","createdAt":1e300,"updatedAt":0}],"legacyImported":true})",
        R"({"version":1,"papers":[],)",
    };
    for (const char *text : bad) {
        QString error;
        EXPECT_FALSE(notes::decodePaperNotesFile(text, PaperNotesStore::kFileName, &error).has_value()) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    QString error;
    notes::decodePaperNotesFile(bad[0], PaperNotesStore::kFileName, &error);
    EXPECT_TRUE(error.contains(PaperNotesStore::kFileName)) << error.toStdString();
}

TEST(NotesRecordEquality, EveryFieldCounts)
{
    PaperNote a = makeNote(QStringLiteral("t"), QStringLiteral("b"), 5);
    PaperNote b = a;
    EXPECT_EQ(a, b);
    b.updatedAt = at(6);
    EXPECT_NE(a, b);
    b = a;
    b.sources = std::vector<ReadingTextSource>{};
    EXPECT_NE(a, b);
    // Canonically equivalent texts are equal.
    a.title = QStringLiteral("caf\u00e9");
    b = a;
    b.title = QStringLiteral("cafe\u0301");
    EXPECT_EQ(a, b);

    NotePaper p;
    p.bookmark = QByteArray("x");
    NotePaper q = p;
    EXPECT_EQ(p, q);
    q.bookmark = QByteArray("y");
    EXPECT_NE(p, q);
}

} // namespace
} // namespace folvan::test
