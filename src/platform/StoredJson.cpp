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

json toJson(const QString &text)
{
    return json(text.toStdString());
}

std::optional<bool> strictBool(const json &value)
{
    if (!value.is_boolean())
        return std::nullopt;
    return value.get<bool>();
}

std::optional<qint64> strictInt64(const json &value)
{
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()))
                return std::nullopt;
            return static_cast<qint64>(u);
        }
        return value.get<qint64>();
    }
    if (value.is_number_float()) {
        // 3.0 is an integer; 1.5 is not.
        const double d = value.get<double>();
        if (!std::isfinite(d) || std::trunc(d) != d || d < -9.2e18 || d > 9.2e18)
            return std::nullopt;
        return static_cast<qint64>(d);
    }
    return std::nullopt;
}

std::optional<int> strictInt(const json &value)
{
    const auto wide = strictInt64(value);
    if (!wide || *wide < std::numeric_limits<int>::min() || *wide > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*wide);
}

std::optional<double> strictDouble(const json &value)
{
    if (!value.is_number())
        return std::nullopt;
    return value.get<double>();
}

std::optional<QString> strictString(const json &value)
{
    if (!value.is_string())
        return std::nullopt;
    return QString::fromStdString(value.get_ref<const std::string &>());
}

std::optional<QUuid> strictUuid(const json &value)
{
    const auto text = strictString(value);
    if (!text)
        return std::nullopt;
    return parseUuid(*text);
}

std::optional<QDateTime> strictDate(const json &value)
{
    const auto seconds = strictDouble(value);
    if (!seconds)
        return std::nullopt;
    const QDateTime date = dateFromReferenceSeconds(*seconds);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QByteArray> strictBase64(const json &value)
{
    const auto text = strictString(value);
    if (!text || text->size() % 4 != 0)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

const json *member(const json &object, const char *key)
{
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

} // namespace folvan::platform
