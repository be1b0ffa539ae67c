#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// Parses stored bytes; nullopt (with the error text) when not valid JSON,
// holding a NUL byte or nested deeper than maximumJsonDepth.
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

// A string as stored JSON holds it (UTF-8).
inline std::string utf8(const QString &text) { return text.toStdString(); }
// A point as [x, y]; a rectangle as [[x, y], [width, height]], the origin
// first.
json pointJson(const QPointF &point);
json rectangleJson(const QRectF &rect);

// ---- Reading stored values ------------------------------------------------
//
// Stored files are read strictly: a required key must be there with a value
// of its kind, an optional key that is missing or null is absent, and a value
// of another kind fails the whole file. The readers throw JsonDecodingError,
// which names the key and what it should have held, so that each file can
// tell the fault in its own words.

// What a stored value is read as.
enum class JsonKind { Object, Array, Bool, Integer, Number, String, Uuid, Base64, Date, Point, Rectangle };

class JsonDecodingError : public std::runtime_error {
public:
    // What stood where a value of its kind was asked for.
    enum class Found { Nothing, Null, OtherKind, BadValue };

    // what() says it as most files tell it: "page: key not found", "page:
    // expected an integer", "id: not a UUID", "expected an object holding
    // "id"" (the object was something else).
    JsonDecodingError(std::string key, JsonKind expected, Found found);
    // A fault of the file's own form (a list of something else), told as
    // given; it names no key.
    explicit JsonDecodingError(const std::string &message);

    const std::string &key() const { return m_key; }
    JsonKind expected() const { return m_expected; }
    Found found() const { return m_found; }
    // The key was absent, or held null where a value is required.
    bool missing() const { return m_found == Found::Nothing || m_found == Found::Null; }

private:
    std::string m_key;
    JsonKind m_expected = JsonKind::Object;
    Found m_found = Found::BadValue;
};

// The kind each reader reads.
template <typename T>
inline constexpr JsonKind jsonKindOf = JsonKind::Object;
template <> inline constexpr JsonKind jsonKindOf<bool> = JsonKind::Bool;
template <> inline constexpr JsonKind jsonKindOf<std::int64_t> = JsonKind::Integer;
template <> inline constexpr JsonKind jsonKindOf<double> = JsonKind::Number;
template <> inline constexpr JsonKind jsonKindOf<QString> = JsonKind::String;
template <> inline constexpr JsonKind jsonKindOf<QUuid> = JsonKind::Uuid;
template <> inline constexpr JsonKind jsonKindOf<QByteArray> = JsonKind::Base64;
template <> inline constexpr JsonKind jsonKindOf<QDateTime> = JsonKind::Date;
template <> inline constexpr JsonKind jsonKindOf<std::vector<double>> = JsonKind::Array;
template <> inline constexpr JsonKind jsonKindOf<QPointF> = JsonKind::Point;
template <> inline constexpr JsonKind jsonKindOf<QRectF> = JsonKind::Rectangle;

// One value of exactly its kind; `name` names it in the error. An integer
// is a whole number in range (3.0 is one, 1.5 is not); a number may be an
// integer; a UUID is its 36-character text in either case; a date is a
// number of seconds since 2001 (Date: refused when too large to be one);
// bytes are standard Base64 with its padding, nothing else (no line
// breaks, no URL-safe letters); a list of numbers is an array of numbers; a
// point is [x, y]; a rectangle is [[x, y], [width, height]], the origin
// first, width and height kept as given, negative ones included.
template <typename T>
T readJson(const json &value, const char *name);

// `value` itself, which must be an array.
const json &readArray(const json &value, const char *name);

// The member `key` of an object, or nullptr when it is absent or null.
// Throws when `object` is not an object.
const json *member(const json &object, const char *key);
// The member `key`, which must be there and not null (else the fault names
// `expected` as what it should have held).
const json &requiredMember(const json &object, const char *key, JsonKind expected);

// A required value of its kind.
template <typename T>
T readRequired(const json &object, const char *key)
{
    return readJson<T>(requiredMember(object, key, jsonKindOf<T>), key);
}

// An optional value: absent when the key is missing or null; present with
// a value of another kind, it fails.
template <typename T>
std::optional<T> readOptional(const json &object, const char *key)
{
    const json *value = member(object, key);
    if (!value)
        return std::nullopt;
    return readJson<T>(*value, key);
}

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
        object[key] = utf8(*value);
}

} // namespace folvan::platform
