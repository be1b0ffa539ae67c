#include "model/ReadingBookmark.h"

#include "model/JsonValues.h"
#include "platform/StoredJson.h"

namespace folvan::model {

void to_json(Json &j, const ReadingBookmark &bookmark)
{
    j = Json::object();
    j["id"] = utf8(platform::uuidString(bookmark.id));
    j["location"] = bookmark.location;
    j["title"] = utf8(bookmark.title);
}

void from_json(const Json &j, ReadingBookmark &bookmark)
{
    ReadingBookmark result;
    result.id = requireUuid(j, "id");
    const Json *location = member(j, "location");
    if (!location)
        throw JsonDecodingError("location: key not found");
    result.location = location->get<ReadingLocation>();
    result.title = requireString(j, "title");
    bookmark = std::move(result);
}

bool encodeBookmarkFile(const std::vector<ReadingBookmark> &bookmarks, QByteArray *out, QString *error)
{
    Json array = Json::array();
    for (const ReadingBookmark &bookmark : bookmarks)
        array.push_back(bookmark);
    return platform::encodeStoredJson(array, out, error);
}

bool decodeBookmarkFile(const QByteArray &bytes, std::vector<ReadingBookmark> *out, QString *error)
{
    const std::optional<Json> parsed = platform::decodeStoredJson(bytes, error);
    if (!parsed)
        return false;
    try {
        if (!parsed->is_array())
            throw JsonDecodingError("expected an array of bookmarks");
        std::vector<ReadingBookmark> bookmarks;
        bookmarks.reserve(parsed->size());
        for (const Json &element : *parsed)
            bookmarks.push_back(element.get<ReadingBookmark>());
        *out = std::move(bookmarks);
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = platform::jsonErrorText(e.what());
        return false;
    }
}

} // namespace folvan::model
