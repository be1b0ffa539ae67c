#include "notes/PaperNote.h"

#include "model/JsonValues.h"
#include "notes/NoteText.h"

#include <cmath>

namespace folvan::notes {

namespace {

using StoredJson = platform::json;

// A number too large to be a time makes the file unreadable rather than a
// wrong time.
QDateTime dateFromSeconds(double seconds, const char *key)
{
    const QDateTime date = platform::dateFromReferenceSeconds(seconds);
    if (!date.isValid())
        throw model::JsonDecodingError(std::string(key) + ": date out of range");
    return date;
}

QDateTime requireDate(const StoredJson &object, const char *key)
{
    return dateFromSeconds(model::requireDouble(object, key), key);
}

std::optional<QDateTime> optionalDate(const StoredJson &object, const char *key)
{
    const StoredJson *value = model::member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    return dateFromSeconds(model::toDouble(*value, key), key);
}

std::optional<QUuid> optionalUuid(const StoredJson &object, const char *key)
{
    const StoredJson *value = model::member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    return model::requireUuid(object, key);
}

std::optional<QByteArray> optionalBytes(const StoredJson &object, const char *key)
{
    const StoredJson *value = model::member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    std::optional<QByteArray> bytes = platform::strictBase64(*value);
    if (!bytes)
        throw model::JsonDecodingError(std::string(key) + ": malformed Base64");
    return bytes;
}

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
        && a.fileFingerprint == b.fileFingerprint;
}

void to_json(StoredJson &j, const PaperNote &note)
{
    j = StoredJson::object();
    j["id"] = model::utf8(platform::uuidString(note.id));
    if (note.paperID)
        j["paperID"] = model::utf8(platform::uuidString(*note.paperID));
    j["title"] = model::utf8(note.title);
    j["body"] = model::utf8(note.body);
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
    n.id = model::requireUuid(j, "id");
    n.paperID = optionalUuid(j, "paperID");
    n.title = model::requireString(j, "title");
    n.body = model::requireString(j, "body");
    n.page = model::optionalInt(j, "page");
    if (const StoredJson *sources = model::member(j, "sources"); sources && !sources->is_null()) {
        if (!sources->is_array())
            throw model::JsonDecodingError("sources: expected an array");
        n.sources = sources->get<std::vector<model::ReadingTextSource>>();
    }
    n.createdAt = requireDate(j, "createdAt");
    n.updatedAt = requireDate(j, "updatedAt");
    n.deletedAt = optionalDate(j, "deletedAt");
    note = std::move(n);
}

void to_json(StoredJson &j, const NotePaper &paper)
{
    j = StoredJson::object();
    j["id"] = model::utf8(platform::uuidString(paper.id));
    j["title"] = model::utf8(paper.title);
    j["path"] = model::utf8(paper.path);
    if (paper.fileIdentity)
        j["fileIdentity"] = model::utf8(*paper.fileIdentity);
    if (paper.bookmark)
        j["bookmark"] = paper.bookmark->toBase64().toStdString();
    if (paper.fileFingerprint)
        j["fileFingerprint"] = model::utf8(*paper.fileFingerprint);
}

void from_json(const StoredJson &j, NotePaper &paper)
{
    NotePaper p;
    p.id = model::requireUuid(j, "id");
    p.title = model::requireString(j, "title");
    p.path = model::requireString(j, "path");
    p.fileIdentity = model::optionalString(j, "fileIdentity");
    p.bookmark = optionalBytes(j, "bookmark");
    p.fileFingerprint = model::optionalString(j, "fileFingerprint");
    paper = std::move(p);
}

} // namespace folvan::notes
