#include "model/JsonValues.h"

#include "platform/StoredJson.h"

namespace folvan::model {

namespace {

[[noreturn]] void fail(const char *what, const char *problem)
{
    throw JsonDecodingError(std::string(what) + ": " + problem);
}

const Json &required(const Json &object, const char *key)
{
    const Json *value = member(object, key);
    if (!value)
        fail(key, "key not found");
    return *value;
}

} // namespace

const Json *member(const Json &object, const char *key)
{
    if (!object.is_object())
        throw JsonDecodingError(std::string("expected an object holding \"") + key + "\"");
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::int64_t toInt(const Json &value, const char *what)
{
    const std::optional<qint64> number = platform::strictInt64(value);
    if (!number)
        fail(what, "expected an integer");
    return *number;
}

double toDouble(const Json &value, const char *what)
{
    const std::optional<double> number = platform::strictDouble(value);
    if (!number)
        fail(what, "expected a number");
    return *number;
}

QString toString(const Json &value, const char *what)
{
    const std::optional<QString> text = platform::strictString(value);
    if (!text)
        fail(what, "expected a string");
    return *text;
}

std::int64_t requireInt(const Json &object, const char *key)
{
    return toInt(required(object, key), key);
}

double requireDouble(const Json &object, const char *key)
{
    return toDouble(required(object, key), key);
}

QString requireString(const Json &object, const char *key)
{
    return toString(required(object, key), key);
}

QUuid requireUuid(const Json &object, const char *key)
{
    const std::optional<QUuid> id = platform::parseUuid(requireString(object, key));
    if (!id)
        fail(key, "not a UUID");
    return *id;
}

std::optional<std::int64_t> optionalInt(const Json &object, const char *key)
{
    const Json *value = member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    return toInt(*value, key);
}

std::optional<QString> optionalString(const Json &object, const char *key)
{
    const Json *value = member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    return toString(*value, key);
}

std::optional<std::vector<double>> optionalDoubles(const Json &object, const char *key)
{
    const Json *value = member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    if (!value->is_array())
        fail(key, "expected an array");
    std::vector<double> numbers;
    numbers.reserve(value->size());
    for (const auto &element : *value)
        numbers.push_back(toDouble(element, key));
    return numbers;
}

Json pointToJson(const QPointF &point)
{
    return Json::array({point.x(), point.y()});
}

QPointF pointFromJson(const Json &value)
{
    if (!value.is_array() || value.size() < 2)
        fail("point", "expected [x, y]");
    return QPointF(toDouble(value[0], "point"), toDouble(value[1], "point"));
}

Json rectToJson(const QRectF &rect)
{
    return Json::array({Json::array({rect.x(), rect.y()}),
                                  Json::array({rect.width(), rect.height()})});
}

QRectF rectFromJson(const Json &value)
{
    if (!value.is_array() || value.size() < 2 || !value[0].is_array() || !value[1].is_array()
        || value[0].size() < 2 || value[1].size() < 2)
        fail("rectangle", "expected [[x, y], [width, height]]");
    return QRectF(toDouble(value[0][0], "rectangle"), toDouble(value[0][1], "rectangle"),
                  toDouble(value[1][0], "rectangle"), toDouble(value[1][1], "rectangle"));
}

bool sameRect(const QRectF &a, const QRectF &b)
{
    const QRectF na = a.normalized();
    const QRectF nb = b.normalized();
    return na.x() == nb.x() && na.y() == nb.y() && na.width() == nb.width()
        && na.height() == nb.height();
}

} // namespace folvan::model
