#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>

namespace folvan::platform {

// Stored files keep their keys in the order written.
using json = nlohmann::ordered_json;

// Thrown by encodeStoredJson for a value that cannot be stored.
class StoredJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The stored form of a JSON value: compact, "\/" for each solidus, no
// non-finite numbers (throws StoredJsonError).
QByteArray encodeStoredJson(const json &value);
// As above, without throwing: false with the error text.
bool encodeStoredJson(const json &value, QByteArray *out, QString *error);

// The deepest nesting of arrays and objects that any JSON the reader takes
// in may have: far beyond what it writes itself, and far below what would
// exhaust the stack of the JSON library's recursive copies and comparisons.
inline constexpr int maximumJsonDepth = 512;

// Whether a JSON text nests arrays and objects deeper than `limit`, counted
// over the brackets outside strings, before anything is parsed. For a valid
// text this is its exact depth.
bool jsonNestsDeeperThan(const char *begin, const char *end, int limit = maximumJsonDepth);
// The error detail for such a text.
QString jsonTooDeepText(int limit = maximumJsonDepth);

// Parses stored bytes; nullopt (with the error text) when not valid JSON or
// nested deeper than maximumJsonDepth.
std::optional<json> decodeStoredJson(const QByteArray &bytes, QString *error = nullptr);

// An error's text for the reader: the message of a JSON library error
// without the library's own tag ("[json.exception.parse_error.101] ").
QString jsonErrorText(const char *what);
// How a stored file that is not in its form is told to the reader:
// "未能读取数据，因为它的格式不正确（DETAIL）。", or without the bracket when
// there is no detail.
QString unreadableDataText(const QString &detail = QString());

// Upper-case UUID text without braces.
QString uuidString(const QUuid &uuid);
QString newUuidString();
// Parses a UUID text (either case); nullopt when invalid.
std::optional<QUuid> parseUuid(const QString &text);

// Dates as seconds since 2001-01-01T00:00:00Z.
double referenceSeconds(const QDateTime &date);
QDateTime dateFromReferenceSeconds(double seconds);

// Strings as stored JSON (UTF-8).
json toJson(const QString &text);

// Strict readers: the value must have exactly the expected kind. An integer
// reader fails on 1.5 and on out-of-range numbers; a double reader accepts
// integers; a string reader accepts only strings.
std::optional<bool> strictBool(const json &value);
std::optional<int> strictInt(const json &value);
std::optional<qint64> strictInt64(const json &value);
std::optional<double> strictDouble(const json &value);
std::optional<QString> strictString(const json &value);
std::optional<QUuid> strictUuid(const json &value);
std::optional<QDateTime> strictDate(const json &value);
// Standard Base64 with its padding, nothing else (no line breaks, no
// URL-safe letters).
std::optional<QByteArray> strictBase64(const json &value);

// The member `key` of an object, or nullptr when absent or null (an absent
// optional). Also nullptr when `object` is not an object.
const json *member(const json &object, const char *key);

// Sets `key` only when the optional holds a value: absent optionals are left
// out, never written as null.
template <typename T>
void setOptional(json &object, const char *key, const std::optional<T> &value)
{
    if (value)
        object[key] = *value;
}

inline void setOptional(json &object, const char *key, const std::optional<QString> &value)
{
    if (value)
        object[key] = toJson(*value);
}

} // namespace folvan::platform
