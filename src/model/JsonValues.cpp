#include "model/JsonValues.h"

#include <cmath>

namespace folvan::json {

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
    if (value.is_number_integer())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT64_MAX))
            fail(what, "integer out of range");
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_float()) {
        // A whole number written with a fraction part (3.0) still reads as
        // an integer; 3.5 does not.
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18)
            return static_cast<std::int64_t>(d);
        fail(what, "expected an integer");
    }
    fail(what, "expected an integer");
}

double toDouble(const Json &value, const char *what)
{
    if (!value.is_number())
        fail(what, "expected a number");
    return value.get<double>();
}

QString toString(const Json &value, const char *what)
{
    if (!value.is_string())
        fail(what, "expected a string");
    return QString::fromStdString(value.get_ref<const std::string &>());
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
    const QString text = requireString(object, key);
    // Only the canonical 36-character form is an identifier.
    const QUuid id = text.size() == 36 ? QUuid::fromString(text) : QUuid();
    if (id.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
        fail(key, "not a UUID");
    return id;
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

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

bool sameRect(const QRectF &a, const QRectF &b)
{
    const QRectF na = a.normalized();
    const QRectF nb = b.normalized();
    return na.x() == nb.x() && na.y() == nb.y() && na.width() == nb.width()
        && na.height() == nb.height();
}

bool allFinite(const Json &value)
{
    if (value.is_number_float())
        return std::isfinite(value.get<double>());
    if (value.is_structured()) {
        for (const auto &element : value)
            if (!allFinite(element))
                return false;
    }
    return true;
}

} // namespace folvan::json
