// The stored form of the notes library: reading a file written by hand and
// the exact form of what the store writes.

#include "NotesTestSupport.h"

#include "notes/PaperNotesFile.h"
#include "platform/StoredJson.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

const QUuid kPaperA = QUuid::fromString(QStringLiteral("6f1c2e0a-5b3d-4c1e-9a7b-0123456789ab"));
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

// What the store writes back for kLiteralFile: compact, keys in field order,
// identifiers in upper case, "\/" for each solidus, absent and null values
// left out, whole dates without a fraction.
const char kWrittenBack[] =
    R"({"version":1,"papers":[)"
    R"({"id":"6F1C2E0A-5B3D-4C1E-9A7B-0123456789AB","title":"Vision Notes",)"
    R"("path":"\/home\/u\/papers\/Vision Notes.pdf","fileIdentity":"2049:1234","bookmark":"AAEC\/w=="},)"
    R"({"id":"1A2B3C4D-0000-4000-8000-0000000000FF","title":"Plain","path":"\/p\/plain.pdf"}],)"
    R"("notes":[)"
    R"({"id":"1A2B3C4D-0000-4000-8000-00000000000A","paperID":"6F1C2E0A-5B3D-4C1E-9A7B-0123456789AB",)"
    R"("title":"注意力图","body":"第一行\n第二行","page":4,)"
    R"("sources":[{"page":4,"start":0,"end":0,"quote":"first line","before":"","after":""}],)"
    R"("createdAt":0,"updatedAt":86400.5,"deletedAt":-978307200},)"
    R"({"id":"1A2B3C4D-0000-4000-8000-00000000000B","title":"","body":"","sources":[],"createdAt":1,"updatedAt":2}],)"
    R"("legacyImported":true})";

class NotesFileForm : public NotesStoreTest {};

TEST_F(NotesFileForm, LiteralFileInTheDataFolderLoadsAndIsWrittenBackInItsForm)
{
    const QString location = notes::PaperNotesStore::defaultFilePath();
    EXPECT_EQ(location, path(QStringLiteral("data/Folvan/Notes/paper-notes-v1.json")));
    EXPECT_EQ(notes::PaperNotesStore::shared().filePath(), location);
    QDir().mkpath(QFileInfo(location).absolutePath());
    QFile file(location);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kLiteralFile);
    file.close();

    notes::PaperNotesStore store(location, *prefs);
    ASSERT_FALSE(store.hasError()) << store.error().toStdString();
    ASSERT_EQ(store.papers().size(), 2);
    EXPECT_EQ(store.papers()[0].id, kPaperA);
    EXPECT_EQ(store.papers()[0].bookmark, QByteArray::fromHex("000102ff"));
    EXPECT_FALSE(store.papers()[1].bookmark.has_value());
    ASSERT_EQ(store.notes().size(), 2);
    const notes::PaperNote first = store.notes()[0];
    EXPECT_EQ(first.paperID, kPaperA);
    EXPECT_EQ(first.title, QStringLiteral("注意力图"));
    EXPECT_EQ(first.body, QStringLiteral("第一行\n第二行"));
    ASSERT_EQ(first.sources.value_or(std::vector<model::ReadingTextSource>{}).size(), 1u);
    EXPECT_EQ(first.sources->front().quote, QStringLiteral("first line"));
    EXPECT_EQ(first.updatedAt, QDateTime(QDate(2001, 1, 2), QTime(0, 0, 0, 500), Qt::UTC));
    EXPECT_EQ(first.deletedAt, QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(store.notes()[1].id, kNoteB);
    EXPECT_FALSE(store.notes()[1].paperID || store.notes()[1].page);
    // The import had run: the file is not rewritten at start.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(kLiteralFile));
    file.close();

    store.setNotes(store.notes());
    store.schedule();
    store.flush();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), std::string(kWrittenBack));

    // A note without optional fields has five keys.
    notes::PaperNotesFile bare;
    bare.notes.append(makeNote(QStringLiteral("t"), QString(), 3));
    QByteArray bytes;
    ASSERT_TRUE(notes::encodePaperNotesFile(bare, &bytes, nullptr));
    EXPECT_TRUE(bytes.contains(R"("title":"t","body":"","createdAt":0,"updatedAt":3})")) << bytes.toStdString();
}

// Where a paper found nowhere left its side files is all that leads it back
// to them: it survives a write, and a value of these keys that does not
// read loses only itself, never the library.
TEST_F(NotesFileForm, APapersDocumentIDAndSetAsideFilesAreKept)
{
    notes::PaperNotesFile file;
    notes::NotePaper paper;
    paper.path = QStringLiteral("/p/a.pdf");
    paper.documentID = QStringLiteral("596a64985ff4c9a8");
    paper.away = notes::PaperAway{QStringLiteral("h.json.away-1"), std::nullopt, 5};
    paper.leftBehind = {QStringLiteral("/p/old.pdf")};
    file.papers.append(paper);
    QByteArray bytes;
    ASSERT_TRUE(notes::encodePaperNotesFile(file, &bytes, nullptr));
    const std::optional<notes::PaperNotesFile> read = notes::decodePaperNotesFile(bytes, QStringLiteral("f"), nullptr);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->papers.value(0), paper);

    bytes.replace(R"("annotations":"h.json.away-1")", R"("annotations":7)");
    bytes.replace(R"("documentID":"596a64985ff4c9a8")", R"("documentID":[])");
    const std::optional<notes::PaperNotesFile> damaged = notes::decodePaperNotesFile(bytes, QStringLiteral("f"), nullptr);
    ASSERT_TRUE(damaged);
    EXPECT_FALSE(damaged->papers.value(0).documentID);
    ASSERT_TRUE(damaged->papers.value(0).away);
    EXPECT_FALSE(damaged->papers.value(0).away->annotations);
    EXPECT_EQ(damaged->papers.value(0).away->page, 5);
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
        EXPECT_FALSE(notes::decodePaperNotesFile(text, notes::PaperNotesStore::kFileName, &error).has_value()) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    QString error;
    notes::decodePaperNotesFile(bad[0], notes::PaperNotesStore::kFileName, &error);
    EXPECT_TRUE(error.contains(notes::PaperNotesStore::kFileName)) << error.toStdString();

    // The detail in brackets names the key and what is wrong with it.
    const std::string note = R"({"id":"1A2B3C4D-0000-4000-8000-00000000000A","title":"","body":"",)";
    const auto inNotes = [](const std::string &record) {
        return R"({"version":1,"papers":[],"notes":[)" + record + R"(],"legacyImported":true})";
    };
    const std::pair<std::string, const char *> told[] = {
        {bad[1], "legacyImported: key not found"},
        {bad[2], "legacyImported: expected true or false"},
        {bad[3], "id: not a UUID"},
        {bad[4], "bookmark: malformed Base64"},
        {bad[5], "createdAt: expected a number"},
        {bad[6], "start: key not found"},
        {bad[7], "createdAt: date out of range"},
        {"[]", R"(expected an object holding "version")"},
        {R"({"version":1.5,"papers":[],"notes":[],"legacyImported":true})", "version: expected an integer"},
        {R"({"version":1,"papers":{},"notes":[],"legacyImported":true})", "papers: expected an array"},
        {R"({"version":1,"papers":[],"notes":["x"],"legacyImported":true})", R"(expected an object holding "id")"},
        {R"({"version":1,"papers":[{"id":7,"title":"","path":""}],"notes":[],"legacyImported":true})",
         "id: expected a string"},
        {R"({"version":1,"papers":[{"id":"6f1c2e0a-5b3d-4c1e-9a7b-0123456789ab","title":"","path":"","bookmark":7}],)"
         R"("notes":[],"legacyImported":true})",
         "bookmark: malformed Base64"},
        {inNotes(note + R"("createdAt":0,"updatedAt":null})"), "updatedAt: expected a number"},
        {inNotes(note + R"("createdAt":0})"), "updatedAt: key not found"},
        {inNotes(note + R"("createdAt":0,"updatedAt":0,"deletedAt":"x"})"), "deletedAt: expected a number"},
        {inNotes(note + R"("createdAt":0,"updatedAt":0,"deletedAt":1e300})"), "deletedAt: date out of range"},
        {inNotes(note + R"("paperID":"x","createdAt":0,"updatedAt":0})"), "paperID: not a UUID"},
        {inNotes(note + R"("paperID":3,"createdAt":0,"updatedAt":0})"), "paperID: expected a string"},
        {inNotes(note + R"("page":1.5,"createdAt":0,"updatedAt":0})"), "page: expected an integer"},
        {inNotes(note + R"("sources":{},"createdAt":0,"updatedAt":0})"), "sources: expected an array"},
        {inNotes(R"({"id":"1A2B3C4D-0000-4000-8000-00000000000A","title":null,"body":"","createdAt":0,"updatedAt":0})"),
         "title: expected a string"},
    };
    for (const auto &[text, detail] : told) {
        notes::decodePaperNotesFile(QByteArray::fromStdString(text), notes::PaperNotesStore::kFileName, &error);
        EXPECT_EQ(error, platform::unreadableDataText(QString::fromUtf8(detail))) << text;
    }
}

} // namespace
} // namespace folvan::test
