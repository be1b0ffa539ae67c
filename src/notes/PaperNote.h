#pragma once

// The records of the paper notes library: a note and a paper that notes
// refer to. Plain values; the store keeps them in two lists and writes them
// as one JSON file.

#include "model/ReadingTextSource.h"
#include "platform/StoredJson.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <vector>

namespace folvan::notes {

// One note. A note is live while `deletedAt` is absent and in the trash
// while it holds a time; trashed notes stay in the library.
struct PaperNote {
    QUuid id = QUuid::createUuid();
    std::optional<QUuid> paperID;            // NotePaper::id, absent for an unlinked note
    QString title;
    QString body;
    std::optional<std::int64_t> page;        // zero-based page index
    std::optional<std::vector<model::ReadingTextSource>> sources;
    QDateTime createdAt = QDateTime::currentDateTimeUtc();
    QDateTime updatedAt = QDateTime::currentDateTimeUtc();
    std::optional<QDateTime> deletedAt;

    bool isLive() const { return !deletedAt.has_value(); }

    friend bool operator==(const PaperNote &a, const PaperNote &b);
};

// Where the side files of a paper went when its file was found nowhere (it
// went to the trash, was deleted, or moved where the reader does not look):
// the names they were set aside under in the annotation folder, and the page
// the paper was read at. The paper gets them back when it is opened again.
struct PaperAway {
    std::optional<QString> annotations;      // file name in the annotation folder
    std::optional<QString> bookmarks;
    std::optional<std::int64_t> page;

    friend bool operator==(const PaperAway &, const PaperAway &) = default;
};

// One paper that notes refer to. `id` never changes once the record exists;
// the other fields follow the file at each registration.
struct NotePaper {
    QUuid id = QUuid::createUuid();
    QString title;                           // file name without its extension
    QString path;                            // standardized absolute path
    std::optional<QString> fileIdentity;     // "<file system number>:<file number>"
    std::optional<QByteArray> bookmark;      // kept as read from the file
    // Tells the file apart from a later one given the same numbers
    // (platform::fileFingerprint); an added key that other readers ignore.
    std::optional<QString> fileFingerprint;
    // The first string of the PDF's /ID, in lower-case hexadecimal: what
    // tells the same paper saved anew from another paper at its name.
    std::optional<QString> documentID;
    // Present while the paper's file is found nowhere: the record then
    // holds no name, and `path` only says where it was last.
    std::optional<PaperAway> away;
    // Former paths whose side files are still this paper's: a hand-over
    // that could not be done when the paper left them (a failed save).
    QStringList leftBehind;

    bool holdsItsName() const { return !away.has_value(); }

    friend bool operator==(const NotePaper &a, const NotePaper &b);
};

// JSON coding (nlohmann ADL hooks). The writer gives the stored form with
// its keys in field order: optional fields only when present, dates as
// seconds since 2001-01-01 UTC, identifiers in upper case, bytes in Base64.
// The reader accepts keys in any order and throws
// platform::JsonDecodingError on a missing required key, a value of the
// wrong type, a malformed UUID or malformed Base64; a missing or null
// optional key reads as absent.
void to_json(platform::json &j, const PaperNote &note);
void from_json(const platform::json &j, PaperNote &note);
void to_json(platform::json &j, const NotePaper &paper);
void from_json(const platform::json &j, NotePaper &paper);

} // namespace folvan::notes

Q_DECLARE_METATYPE(folvan::notes::PaperNote)
Q_DECLARE_METATYPE(folvan::notes::NotePaper)
