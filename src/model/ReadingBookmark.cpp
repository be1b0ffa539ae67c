#include "model/ReadingBookmark.h"

#include "platform/StoredJson.h"

namespace folvan::model {

using platform::json;

void to_json(json &j, const ReadingBookmark &bookmark)
{
    j = json::object();
    j["id"] = platform::utf8(platform::uuidString(bookmark.id));
    j["location"] = bookmark.location;
    j["title"] = platform::utf8(bookmark.title);
}

void from_json(const json &j, ReadingBookmark &bookmark)
{
    ReadingBookmark result;
    result.id = platform::readRequired<QUuid>(j, "id");
    // A null location is read, and refused, as a location.
    const auto location = j.find("location");
    if (location == j.end())
        throw platform::JsonDecodingError("location", platform::JsonKind::Object,
                                          platform::JsonDecodingError::Found::Nothing);
    result.location = location->get<ReadingLocation>();
    result.title = platform::readRequired<QString>(j, "title");
    bookmark = std::move(result);
}

bool encodeBookmarkFile(const std::vector<ReadingBookmark> &bookmarks, QByteArray *out, QString *error)
{
    json array = json::array();
    for (const ReadingBookmark &bookmark : bookmarks)
        array.push_back(bookmark);
    return platform::encodeStoredJson(array, out, error);
}

bool decodeBookmarkFile(const QByteArray &bytes, std::vector<ReadingBookmark> *out, QString *error)
{
    const std::optional<json> parsed = platform::decodeStoredJson(bytes, error);
    if (!parsed)
        return false;
    try {
        if (!parsed->is_array())
            throw platform::JsonDecodingError("expected an array of bookmarks");
        std::vector<ReadingBookmark> bookmarks;
        bookmarks.reserve(parsed->size());
        for (const json &element : *parsed)
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
