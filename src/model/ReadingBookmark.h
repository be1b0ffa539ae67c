#pragma once

// A named reading position of a document, and the coding of the bookmark
// file: one JSON array of bookmarks, in list order.

#include "model/ReadingLocation.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <vector>

namespace folvan::model {

struct ReadingBookmark {
    QUuid id;
    ReadingLocation location;
    QString title;

    friend bool operator==(const ReadingBookmark &, const ReadingBookmark &) = default;
};

// JSON: {"id": "UPPER-CASE-UUID", "location": {...}, "title": "..."}; all
// three keys required when reading.
void to_json(nlohmann::ordered_json &j, const ReadingBookmark &bookmark);
void from_json(const nlohmann::ordered_json &j, ReadingBookmark &bookmark);

// The bookmark file's bytes for a list (compact, stored JSON form). Fails
// with the error text when a number is not finite.
bool encodeBookmarkFile(const std::vector<ReadingBookmark> &bookmarks, QByteArray *out, QString *error);

// The bookmarks of a bookmark file; false with the error text when the bytes
// are not a JSON array of bookmarks (one bad entry fails the whole file).
bool decodeBookmarkFile(const QByteArray &bytes, std::vector<ReadingBookmark> *out, QString *error);

} // namespace folvan::model
