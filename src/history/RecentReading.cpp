#include "history/RecentReading.h"

#include "platform/StoredJson.h"

#include <stdexcept>

namespace folvan::history {

namespace {

using platform::json;

// A record that cannot be decoded; the message names the key.
struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads a required key with a strict reader; a missing key, a null or a value
// of another kind fails.
template <typename Reader>
auto required(const json &object, const char *key, Reader read)
{
    const json *value = platform::member(object, key);
    if (!value)
        throw DecodeError(std::string("缺少“") + key + "”");
    auto result = read(*value);
    if (!result)
        throw DecodeError(std::string("“") + key + "”的类型或格式不对");
    return *result;
}

// Reads an optional key: missing and null are absent, anything else must be
// of the right kind.
template <typename Reader>
auto optional(const json &object, const char *key, Reader read) -> decltype(read(object))
{
    if (!platform::member(object, key))
        return std::nullopt;
    return required(object, key, read);
}

json encodeState(const DocumentReadingState &state)
{
    json object = json::object();
    object["page"] = state.page;
    object["zoom"] = state.zoom;
    object["angle"] = state.angle;
    object["isBook"] = state.isBook;
    object["layout"] = platform::toJson(platform::toText(state.layout));
    platform::setOptional(object, "isReflow", state.isReflow);
    platform::setOptional(object, "reflowBlock", state.reflowBlock);
    platform::setOptional(object, "reflowOffset", state.reflowOffset);
    return object;
}

DocumentReadingState decodeState(const json &object)
{
    if (!object.is_object())
        throw DecodeError("“state”不是对象");
    DocumentReadingState state;
    state.page = required(object, "page", platform::strictInt64);
    state.zoom = required(object, "zoom", platform::strictDouble);
    state.angle = required(object, "angle", platform::strictDouble);
    state.isBook = required(object, "isBook", platform::strictBool);
    state.layout = platform::bookLayoutFromText(required(object, "layout", platform::strictString));
    state.isReflow = optional(object, "isReflow", platform::strictBool);
    state.reflowBlock = optional(object, "reflowBlock", platform::strictInt64);
    state.reflowOffset = optional(object, "reflowOffset", platform::strictInt64);
    return state;
}

json encodeRecord(const RecentReading &record)
{
    json object = json::object();
    object["id"] = platform::toJson(platform::uuidString(record.id));
    object["path"] = platform::toJson(record.path);
    if (record.bookmark)
        object["bookmark"] = record.bookmark->toBase64().toStdString();
    if (record.fileIdentity)
        object["fileIdentity"] = platform::toJson(*record.fileIdentity);
    if (record.fileFingerprint)
        object["fileFingerprint"] = platform::toJson(*record.fileFingerprint);
    object["state"] = encodeState(record.state);
    object["openedAt"] = record.openedAt;
    return object;
}

RecentReading decodeRecord(const json &object)
{
    if (!object.is_object())
        throw DecodeError("不是对象");
    RecentReading record;
    record.id = required(object, "id", platform::strictUuid);
    record.path = required(object, "path", platform::strictString);
    record.bookmark = optional(object, "bookmark", platform::strictBase64);
    record.fileIdentity = optional(object, "fileIdentity", platform::strictString);
    record.fileFingerprint = optional(object, "fileFingerprint", platform::strictString);
    const json *state = platform::member(object, "state");
    if (!state)
        throw DecodeError("缺少“state”");
    record.state = decodeState(*state);
    record.openedAt = required(object, "openedAt", platform::strictDouble);
    return record;
}

} // namespace

bool encodeReadingHistory(const QList<RecentReading> &records, QByteArray *out, QString *error)
{
    json array = json::array();
    for (const RecentReading &record : records)
        array.push_back(encodeRecord(record));
    return platform::encodeStoredJson(array, out, error);
}

std::optional<QList<RecentReading>> decodeReadingHistory(const QByteArray &data, QString *error)
{
    const std::optional<json> root = platform::decodeStoredJson(data, error);
    if (!root)
        return std::nullopt;
    if (!root->is_array()) {
        if (error)
            *error = QStringLiteral("数据不是记录的列表。");
        return std::nullopt;
    }
    QList<RecentReading> records;
    records.reserve(qsizetype(root->size()));
    for (std::size_t i = 0; i < root->size(); ++i) {
        try {
            records.append(decodeRecord((*root)[i]));
        } catch (const DecodeError &e) {
            if (error)
                *error = QStringLiteral("第 %1 条记录%2。").arg(i + 1).arg(platform::jsonErrorText(e.what()));
            return std::nullopt;
        }
    }
    return records;
}

} // namespace folvan::history
