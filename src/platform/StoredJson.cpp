#include "platform/StoredJson.h"

#include <QRegularExpression>

#include <QTimeZone>

#include <cmath>
#include <cstdint>
#include <limits>

namespace folvan::platform {

namespace {

// Seconds from 1970-01-01 to 2001-01-01, both UTC.
constexpr double kReferenceEpochOffset = 978307200.0;

bool allFinite(const json &value)
{
    switch (value.type()) {
    case json::value_t::number_float:
        return std::isfinite(value.get<double>());
    case json::value_t::array:
    case json::value_t::object:
        for (const auto &element : value)
            if (!allFinite(element))
                return false;
        return true;
    default:
        return true;
    }
}

// Whole doubles are written without a fraction ("15", not "15.0"), as the
// stored files have always held them. Beyond 2^53 a double is kept as it is.
json withWholeNumbers(const json &value)
{
    switch (value.type()) {
    case json::value_t::number_float: {
        const double d = value.get<double>();
        if (std::trunc(d) == d && std::fabs(d) < 9007199254740992.0)
            return json(static_cast<std::int64_t>(d));
        return value;
    }
    case json::value_t::array: {
        json out = json::array();
        for (const auto &element : value)
            out.push_back(withWholeNumbers(element));
        return out;
    }
    case json::value_t::object: {
        json out = json::object();
        for (auto it = value.begin(); it != value.end(); ++it)
            out[it.key()] = withWholeNumbers(it.value());
        return out;
    }
    default:
        return value;
    }
}

} // namespace

QByteArray encodeStoredJson(const json &value)
{
    if (!allFinite(value))
        throw StoredJsonError("Number is not finite and cannot be written as JSON");
    std::string text;
    try {
        text = withWholeNumbers(value).dump();
    } catch (const json::exception &e) {
        throw StoredJsonError(jsonErrorText(e.what()).toStdString());
    }
    // A solidus only occurs inside strings in the compact output.
    QByteArray out;
    out.reserve(static_cast<qsizetype>(text.size()) + 16);
    for (char c : text) {
        if (c == '/')
            out.append('\\');
        out.append(c);
    }
    return out;
}

bool encodeStoredJson(const json &value, QByteArray *out, QString *error)
{
    try {
        QByteArray bytes = encodeStoredJson(value);
        if (out)
            *out = std::move(bytes);
        return true;
    } catch (const StoredJsonError &e) {
        if (error)
            *error = jsonErrorText(e.what());
        return false;
    }
}

bool jsonNestsDeeperThan(const char *begin, const char *end, int limit)
{
    int depth = 0;
    bool inString = false;
    for (const char *p = begin; p < end; ++p) {
        const char c = *p;
        if (inString) {
            if (c == '\\')
                ++p; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (++depth > limit)
                return true;
            break;
        case ']':
        case '}':
            if (depth > 0)
                --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

QString jsonTooDeepText(int limit)
{
    return QStringLiteral("数组和对象嵌套超过 %1 层").arg(limit);
}

std::optional<json> decodeStoredJson(const QByteArray &bytes, QString *error)
{
    // A JSON text holds no NUL byte (in a string it is written \u0000). The
    // parser takes one for the end of its input: a file cut short and padded
    // with zeros, or anything after a NUL, would be read as if whole.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        if (error)
            *error = QStringLiteral("第 %1 个字节是 NUL").arg(nul + 1);
        return std::nullopt;
    }
    if (jsonNestsDeeperThan(bytes.constBegin(), bytes.constEnd())) {
        if (error)
            *error = jsonTooDeepText();
        return std::nullopt;
    }
    try {
        return json::parse(bytes.constBegin(), bytes.constEnd());
    } catch (const json::exception &e) {
        if (error)
            *error = jsonErrorText(e.what());
        return std::nullopt;
    }
}

QString jsonErrorText(const char *what)
{
    QString text = QString::fromUtf8(what);
    static const QRegularExpression tag(QStringLiteral("^\\[json\\.exception\\.[^\\]]*\\]\\s*"));
    return text.remove(tag);
}

QString unreadableDataText(const QString &detail)
{
    if (detail.isEmpty())
        return QStringLiteral("未能读取数据，因为它的格式不正确。");
    return QStringLiteral("未能读取数据，因为它的格式不正确（%1）。").arg(detail);
}

QString uuidString(const QUuid &uuid)
{
    // Upper-case hex digits by hand: the general case mapping costs far
    // more, and a long markup list names every markup this way.
    QByteArray text = uuid.toByteArray(QUuid::WithoutBraces);
    for (char &c : text) {
        if (c >= 'a' && c <= 'f')
            c = char(c - 'a' + 'A');
    }
    return QString::fromLatin1(text);
}

QString newUuidString()
{
    return uuidString(QUuid::createUuid());
}

std::optional<QUuid> parseUuid(const QString &text)
{
    // Only the plain 36-character form, as stored.
    if (text.size() != 36)
        return std::nullopt;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return uuid;
}

double referenceSeconds(const QDateTime &date)
{
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0 - kReferenceEpochOffset;
}

QDateTime dateFromReferenceSeconds(double seconds)
{
    // Beyond a few hundred million years no date is meant; such a number (or
    // one that is not finite) gives an invalid date rather than an integer
    // conversion that overflows.
    const double ms = std::round((seconds + kReferenceEpochOffset) * 1000.0);
    if (!std::isfinite(ms) || std::fabs(ms) > 1e19 / 1000.0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), QTimeZone::utc());
}

namespace {

using Found = JsonDecodingError::Found;

// What a value of `expected` should have been, as the error says it.
std::string expectedText(JsonKind expected)
{
    switch (expected) {
    case JsonKind::Array:
        return "expected an array";
    case JsonKind::Bool:
        return "expected true or false";
    case JsonKind::Integer:
        return "expected an integer";
    case JsonKind::Number:
    case JsonKind::Date:
        return "expected a number";
    case JsonKind::String:
    case JsonKind::Uuid:
        return "expected a string";
    case JsonKind::Base64:
        return "malformed Base64";
    case JsonKind::Point:
        return "expected [x, y]";
    case JsonKind::Rectangle:
        return "expected [[x, y], [width, height]]";
    case JsonKind::Object:
        break;
    }
    return "expected an object";
}

std::string faultText(const std::string &key, JsonKind expected, Found found)
{
    if (expected == JsonKind::Object && found != Found::Nothing)
        return "expected an object holding \"" + key + "\"";
    if (found == Found::Nothing)
        return key + ": key not found";
    if (found == Found::BadValue && expected == JsonKind::Uuid)
        return key + ": not a UUID";
    if (found == Found::BadValue && expected == JsonKind::Date)
        return key + ": date out of range";
    return key + ": " + expectedText(expected);
}

template <typename T>
[[noreturn]] void fail(const char *name, Found found)
{
    throw JsonDecodingError(name, jsonKindOf<T>, found);
}

// Both pairs of a rectangle, or the two numbers of a point, are there.
bool holdsPair(const json &value)
{
    return value.is_array() && value.size() >= 2;
}

} // namespace

json pointJson(const QPointF &point)
{
    return json::array({point.x(), point.y()});
}

json rectangleJson(const QRectF &rect)
{
    return json::array({pointJson(rect.topLeft()), json::array({rect.width(), rect.height()})});
}

JsonDecodingError::JsonDecodingError(std::string key, JsonKind expected, Found found)
    : std::runtime_error(faultText(key, expected, found))
    , m_key(std::move(key))
    , m_expected(expected)
    , m_found(found)
{
}

JsonDecodingError::JsonDecodingError(const std::string &message)
    : std::runtime_error(message)
{
}

template <>
bool readJson<bool>(const json &value, const char *name)
{
    if (!value.is_boolean())
        fail<bool>(name, Found::OtherKind);
    return value.get<bool>();
}

template <>
std::int64_t readJson<std::int64_t>(const json &value, const char *name)
{
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            fail<std::int64_t>(name, Found::OtherKind);
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer())
        return value.get<std::int64_t>();
    if (value.is_number_float()) {
        // 3.0 is an integer; 1.5 is not.
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18)
            return static_cast<std::int64_t>(d);
    }
    fail<std::int64_t>(name, Found::OtherKind);
}

template <>
double readJson<double>(const json &value, const char *name)
{
    if (!value.is_number())
        fail<double>(name, Found::OtherKind);
    return value.get<double>();
}

template <>
QString readJson<QString>(const json &value, const char *name)
{
    if (!value.is_string())
        fail<QString>(name, Found::OtherKind);
    return QString::fromStdString(value.get_ref<const std::string &>());
}

template <>
QUuid readJson<QUuid>(const json &value, const char *name)
{
    if (!value.is_string())
        fail<QUuid>(name, Found::OtherKind);
    const std::optional<QUuid> uuid = parseUuid(QString::fromStdString(value.get_ref<const std::string &>()));
    if (!uuid)
        fail<QUuid>(name, Found::BadValue);
    return *uuid;
}

template <>
QDateTime readJson<QDateTime>(const json &value, const char *name)
{
    if (!value.is_number())
        fail<QDateTime>(name, Found::OtherKind);
    const QDateTime date = dateFromReferenceSeconds(value.get<double>());
    if (!date.isValid())
        fail<QDateTime>(name, Found::BadValue);
    return date;
}

template <>
QByteArray readJson<QByteArray>(const json &value, const char *name)
{
    if (!value.is_string())
        fail<QByteArray>(name, Found::OtherKind);
    const std::string &text = value.get_ref<const std::string &>();
    if (text.size() % 4 != 0)
        fail<QByteArray>(name, Found::BadValue);
    auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail<QByteArray>(name, Found::BadValue);
    return *decoded;
}

template <>
std::vector<double> readJson<std::vector<double>>(const json &value, const char *name)
{
    std::vector<double> numbers;
    numbers.reserve(value.size());
    for (const json &element : readArray(value, name))
        numbers.push_back(readJson<double>(element, name));
    return numbers;
}

template <>
QPointF readJson<QPointF>(const json &value, const char *name)
{
    if (!holdsPair(value))
        fail<QPointF>(name, Found::OtherKind);
    return QPointF(readJson<double>(value[0], name), readJson<double>(value[1], name));
}

template <>
QRectF readJson<QRectF>(const json &value, const char *name)
{
    if (!holdsPair(value) || !holdsPair(value[0]) || !holdsPair(value[1]))
        fail<QRectF>(name, Found::OtherKind);
    return QRectF(readJson<double>(value[0][0], name), readJson<double>(value[0][1], name),
                  readJson<double>(value[1][0], name), readJson<double>(value[1][1], name));
}

const json &readArray(const json &value, const char *name)
{
    if (!value.is_array())
        throw JsonDecodingError(name, JsonKind::Array, Found::OtherKind);
    return value;
}

const json *member(const json &object, const char *key)
{
    if (!object.is_object())
        throw JsonDecodingError(key, JsonKind::Object, Found::OtherKind);
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

const json &requiredMember(const json &object, const char *key, JsonKind expected)
{
    if (!object.is_object())
        throw JsonDecodingError(key, JsonKind::Object, Found::OtherKind);
    const auto it = object.find(key);
    if (it == object.end())
        throw JsonDecodingError(key, expected, Found::Nothing);
    if (it->is_null())
        throw JsonDecodingError(key, expected, Found::Null);
    return *it;
}

} // namespace folvan::platform
