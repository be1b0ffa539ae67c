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

namespace folvan::model {

// The JSON value type of stored files (keys keep the order written), the
// same as platform's stored-JSON writer takes.
using Json = nlohmann::ordered_json;

class JsonDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value under `key`, or nullptr when it is missing. Throws unless
// `object` is an object.
const Json *member(const Json &object, const char *key);

// Required values: missing or mistyped → JsonDecodingError.
std::int64_t requireInt(const Json &object, const char *key);
double requireDouble(const Json &object, const char *key);
QString requireString(const Json &object, const char *key);
QUuid requireUuid(const Json &object, const char *key);

// Optional values: missing or null → nullopt; present but mistyped → error.
std::optional<std::int64_t> optionalInt(const Json &object, const char *key);
std::optional<QString> optionalString(const Json &object, const char *key);
std::optional<std::vector<double>> optionalDoubles(const Json &object, const char *key);

// Single values.
std::int64_t toInt(const Json &value, const char *what);
double toDouble(const Json &value, const char *what);
QString toString(const Json &value, const char *what);

// A point as [x, y].
Json pointToJson(const QPointF &point);
QPointF pointFromJson(const Json &value);

// A rectangle as [[x, y], [width, height]], the origin first. Width and
// height are kept as given, negative ones included.
Json rectToJson(const QRectF &rect);
QRectF rectFromJson(const Json &value);

// A string for JSON (UTF-8) and back.
inline std::string utf8(const QString &text) { return text.toStdString(); }

// Exact comparison of rectangles after bringing both to non-negative size;
// a NaN never compares equal.
bool sameRect(const QRectF &a, const QRectF &b);

} // namespace folvan::model
