#include "notes/PaperNote.h"

#include "notes/NoteText.h"

#include <cmath>

namespace folvan::notes {

namespace {

using StoredJson = platform::json;
using platform::readOptional;
using platform::readRequired;
using platform::utf8;

StoredJson dateValue(const QDateTime &date)
{
    return platform::referenceSeconds(date);
}

bool sameOptionalDate(const std::optional<QDateTime> &a, const std::optional<QDateTime> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || *a == *b;
}

// A value of the keys this reader added to a paper's record: one it cannot
// read counts as absent rather than making the whole library unreadable.
template <typename Read>
auto lenient(Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

} // namespace

bool operator==(const PaperNote &a, const PaperNote &b)
{
    return a.id == b.id && a.paperID == b.paperID && sameText(a.title, b.title)
        && sameText(a.body, b.body) && a.page == b.page && a.sources == b.sources
        && a.createdAt == b.createdAt && a.updatedAt == b.updatedAt
        && sameOptionalDate(a.deletedAt, b.deletedAt);
}

bool operator==(const NotePaper &a, const NotePaper &b)
{
    return a.id == b.id && sameText(a.title, b.title) && sameText(a.path, b.path)
        && sameText(a.fileIdentity, b.fileIdentity) && a.bookmark == b.bookmark
        && a.fileFingerprint == b.fileFingerprint && a.documentID == b.documentID && a.away == b.away
        && a.leftBehind == b.leftBehind;
}

void to_json(StoredJson &j, const PaperNote &note)
{
    j = StoredJson::object();
    j["id"] = utf8(platform::uuidString(note.id));
    if (note.paperID)
        j["paperID"] = utf8(platform::uuidString(*note.paperID));
    j["title"] = utf8(note.title);
    j["body"] = utf8(note.body);
    if (note.page)
        j["page"] = *note.page;
    if (note.sources) {
        StoredJson sources = StoredJson::array();
        for (const model::ReadingTextSource &source : *note.sources)
            sources.push_back(source);
        j["sources"] = std::move(sources);
    }
    j["createdAt"] = dateValue(note.createdAt);
    j["updatedAt"] = dateValue(note.updatedAt);
    if (note.deletedAt)
        j["deletedAt"] = dateValue(*note.deletedAt);
}

void from_json(const StoredJson &j, PaperNote &note)
{
    PaperNote n;
    n.id = readRequired<QUuid>(j, "id");
    n.paperID = readOptional<QUuid>(j, "paperID");
    n.title = readRequired<QString>(j, "title");
    n.body = readRequired<QString>(j, "body");
    n.page = readOptional<std::int64_t>(j, "page");
    if (const StoredJson *sources = platform::member(j, "sources"))
        n.sources = platform::readArray(*sources, "sources").get<std::vector<model::ReadingTextSource>>();
    n.createdAt = readRequired<QDateTime>(j, "createdAt");
    n.updatedAt = readRequired<QDateTime>(j, "updatedAt");
    n.deletedAt = readOptional<QDateTime>(j, "deletedAt");
    note = std::move(n);
}

void to_json(StoredJson &j, const NotePaper &paper)
{
    j = StoredJson::object();
    j["id"] = utf8(platform::uuidString(paper.id));
    j["title"] = utf8(paper.title);
    j["path"] = utf8(paper.path);
    if (paper.fileIdentity)
        j["fileIdentity"] = utf8(*paper.fileIdentity);
    if (paper.bookmark)
        j["bookmark"] = paper.bookmark->toBase64().toStdString();
    if (paper.fileFingerprint)
        j["fileFingerprint"] = utf8(*paper.fileFingerprint);
    if (paper.documentID)
        j["documentID"] = utf8(*paper.documentID);
    if (paper.away) {
        StoredJson away = StoredJson::object();
        platform::setOptional(away, "annotations", paper.away->annotations);
        platform::setOptional(away, "bookmarks", paper.away->bookmarks);
        platform::setOptional(away, "page", paper.away->page);
        j["away"] = std::move(away);
    }
    if (!paper.leftBehind.isEmpty()) {
        StoredJson left = StoredJson::array();
        for (const QString &path : paper.leftBehind)
            left.push_back(utf8(path));
        j["leftBehind"] = std::move(left);
    }
}

void from_json(const StoredJson &j, NotePaper &paper)
{
    NotePaper p;
    p.id = readRequired<QUuid>(j, "id");
    p.title = readRequired<QString>(j, "title");
    p.path = readRequired<QString>(j, "path");
    p.fileIdentity = readOptional<QString>(j, "fileIdentity");
    p.bookmark = readOptional<QByteArray>(j, "bookmark");
    p.fileFingerprint = readOptional<QString>(j, "fileFingerprint");
    p.documentID = lenient([&] { return readOptional<QString>(j, "documentID"); });
    p.away = lenient([&]() -> std::optional<PaperAway> {
        const StoredJson *away = platform::member(j, "away");
        if (!away)
            return std::nullopt;
        PaperAway read;
        read.annotations = lenient([&] { return readOptional<QString>(*away, "annotations"); });
        read.bookmarks = lenient([&] { return readOptional<QString>(*away, "bookmarks"); });
        read.page = lenient([&] { return readOptional<std::int64_t>(*away, "page"); });
        return read;
    });
    if (const StoredJson *left = platform::member(j, "leftBehind"); left && left->is_array()) {
        for (const StoredJson &path : *left) {
            if (path.is_string())
                p.leftBehind.append(QString::fromStdString(path.get<std::string>()));
        }
    }
    paper = std::move(p);
}

} // namespace folvan::notes
