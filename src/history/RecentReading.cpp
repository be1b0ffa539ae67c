#include "history/RecentReading.h"

#include "platform/StoredJson.h"

namespace folvan::history {

namespace {

using platform::json;
using platform::readOptional;
using platform::readRequired;
using platform::utf8;

// A fault of a record, said by its key in the interface's language.
std::string faultText(const platform::JsonDecodingError &fault)
{
    if (fault.key().empty())
        return fault.what();
    if (fault.missing())
        return "缺少“" + fault.key() + "”";
    return "“" + fault.key() + "”的类型或格式不对";
}

json encodeState(const DocumentReadingState &state)
{
    json object = json::object();
    object["page"] = state.page;
    object["zoom"] = state.zoom;
    object["angle"] = state.angle;
    object["isBook"] = state.isBook;
    object["layout"] = utf8(platform::toText(state.layout));
    platform::setOptional(object, "isReflow", state.isReflow);
    platform::setOptional(object, "reflowBlock", state.reflowBlock);
    platform::setOptional(object, "reflowOffset", state.reflowOffset);
    return object;
}

DocumentReadingState decodeState(const json &object)
{
    if (!object.is_object())
        throw platform::JsonDecodingError("“state”不是对象");
    DocumentReadingState state;
    state.page = readRequired<std::int64_t>(object, "page");
    state.zoom = readRequired<double>(object, "zoom");
    state.angle = readRequired<double>(object, "angle");
    state.isBook = readRequired<bool>(object, "isBook");
    state.layout = platform::bookLayoutFromText(readRequired<QString>(object, "layout"));
    state.isReflow = readOptional<bool>(object, "isReflow");
    state.reflowBlock = readOptional<std::int64_t>(object, "reflowBlock");
    state.reflowOffset = readOptional<std::int64_t>(object, "reflowOffset");
    return state;
}

json encodeRecord(const RecentReading &record)
{
    json object = json::object();
    object["id"] = utf8(platform::uuidString(record.id));
    object["path"] = utf8(record.path);
    if (record.bookmark)
        object["bookmark"] = record.bookmark->toBase64().toStdString();
    if (record.fileIdentity)
        object["fileIdentity"] = utf8(*record.fileIdentity);
    if (record.fileFingerprint)
        object["fileFingerprint"] = utf8(*record.fileFingerprint);
    object["state"] = encodeState(record.state);
    object["openedAt"] = record.openedAt;
    return object;
}

RecentReading decodeRecord(const json &object)
{
    if (!object.is_object())
        throw platform::JsonDecodingError("不是对象");
    RecentReading record;
    record.id = readRequired<QUuid>(object, "id");
    record.path = readRequired<QString>(object, "path");
    record.bookmark = readOptional<QByteArray>(object, "bookmark");
    record.fileIdentity = readOptional<QString>(object, "fileIdentity");
    record.fileFingerprint = readOptional<QString>(object, "fileFingerprint");
    record.state = decodeState(platform::requiredMember(object, "state", platform::JsonKind::Object));
    record.openedAt = readRequired<double>(object, "openedAt");
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
        } catch (const platform::JsonDecodingError &e) {
            if (error)
                *error = QStringLiteral("第 %1 条记录%2。").arg(i + 1).arg(QString::fromStdString(faultText(e)));
            return std::nullopt;
        }
    }
    return records;
}

} // namespace folvan::history
