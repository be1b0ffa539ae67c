#pragma once

// Strict readers and writers for the JSON forms of the model's value types.
// A reader throws JsonDecodingError when a required key is missing or a value
// has the wrong type, so that the whole enclosing file or message fails to
// decode, as the stored forms require.

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace folvan::json {

class JsonDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value under `key`, or nullptr when it is missing. Throws unless
// `object` is an object.
const nlohmann::json *member(const nlohmann::json &object, const char *key);

// Required values: missing or mistyped → JsonDecodingError.
std::int64_t requireInt(const nlohmann::json &object, const char *key);
double requireDouble(const nlohmann::json &object, const char *key);
QString requireString(const nlohmann::json &object, const char *key);
QUuid requireUuid(const nlohmann::json &object, const char *key);

// Optional values: missing or null → nullopt; present but mistyped → error.
std::optional<std::int64_t> optionalInt(const nlohmann::json &object, const char *key);
std::optional<QString> optionalString(const nlohmann::json &object, const char *key);
std::optional<std::vector<double>> optionalDoubles(const nlohmann::json &object, const char *key);

// Single values.
std::int64_t toInt(const nlohmann::json &value, const char *what);
double toDouble(const nlohmann::json &value, const char *what);
QString toString(const nlohmann::json &value, const char *what);

// A point as [x, y].
nlohmann::json pointToJson(const QPointF &point);
QPointF pointFromJson(const nlohmann::json &value);

// A rectangle as [[x, y], [width, height]], the origin first. Width and
// height are kept as given, negative ones included.
nlohmann::json rectToJson(const QRectF &rect);
QRectF rectFromJson(const nlohmann::json &value);

// A string for JSON (UTF-8) and back.
inline std::string utf8(const QString &text) { return text.toStdString(); }

// The stored form of an identifier: 36 characters, upper case.
QString uuidText(const QUuid &id);

// Exact comparison of rectangles after bringing both to non-negative size;
// a NaN never compares equal.
bool sameRect(const QRectF &a, const QRectF &b);

// Whether every number inside `value` (recursively) is finite.
bool allFinite(const nlohmann::json &value);

} // namespace folvan::json
