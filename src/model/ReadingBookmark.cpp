#include "model/ReadingBookmark.h"

#include "model/JsonValues.h"
#include "platform/StoredJson.h"

namespace folvan::model {

void to_json(json::Json &j, const ReadingBookmark &bookmark)
{
    j = json::Json::object();
    j["id"] = json::utf8(platform::uuidString(bookmark.id));
    j["location"] = bookmark.location;
    j["title"] = json::utf8(bookmark.title);
}

void from_json(const json::Json &j, ReadingBookmark &bookmark)
{
    ReadingBookmark result;
    result.id = json::requireUuid(j, "id");
    const json::Json *location = json::member(j, "location");
    if (!location)
        throw json::JsonDecodingError("location: key not found");
    result.location = location->get<ReadingLocation>();
    result.title = json::requireString(j, "title");
    bookmark = std::move(result);
}

bool encodeBookmarkFile(const std::vector<ReadingBookmark> &bookmarks, QByteArray *out, QString *error)
{
    json::Json array = json::Json::array();
    for (const ReadingBookmark &bookmark : bookmarks)
        array.push_back(bookmark);
    return platform::encodeStoredJson(array, out, error);
}

bool decodeBookmarkFile(const QByteArray &bytes, std::vector<ReadingBookmark> *out, QString *error)
{
    const std::optional<json::Json> parsed = platform::decodeStoredJson(bytes, error);
    if (!parsed)
        return false;
    try {
        if (!parsed->is_array())
            throw json::JsonDecodingError("expected an array of bookmarks");
        std::vector<ReadingBookmark> bookmarks;
        bookmarks.reserve(parsed->size());
        for (const json::Json &element : *parsed)
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
