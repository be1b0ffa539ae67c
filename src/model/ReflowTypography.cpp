#include "model/ReflowTypography.h"

#include "platform/Preferences.h"

#include <QMetaType>

#include <algorithm>
#include <cmath>

namespace folvan {

namespace {

struct NumericRange {
    const char *key;
    double lowest;
    double highest;
};

constexpr NumericRange kRanges[] = {
    {"fontSize", 14, 32},
    {"leading", 1.3, 2.2},
    {"width", 480, 1040},
    {"paragraphSpacing", 0, 1.5},
};

// A number as decoded from JSON or read from the preferences. A Boolean is
// not a number here, nor is text that happens to hold digits.
bool numberOf(const QVariant &value, double *out)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        *out = value.toDouble();
        return true;
    default:
        return false;
    }
}

bool isString(const QVariant &value, const char *text)
{
    return value.typeId() == QMetaType::QString && value.toString() == QLatin1String(text);
}

} // namespace

const QVariantMap &ReflowTypography::defaults()
{
    static const QVariantMap values{
        {QStringLiteral("fontSize"), 20.0},
        {QStringLiteral("leading"), 1.75},
        {QStringLiteral("width"), 760.0},
        {QStringLiteral("face"), QStringLiteral("serif")},
        {QStringLiteral("alignment"), QStringLiteral("start")},
        {QStringLiteral("paragraphSpacing"), 0.65},
        {QStringLiteral("indent"), false},
    };
    return values;
}

QVariantMap ReflowTypography::normalized(const QVariantMap &values)
{
    QVariantMap result = defaults();
    for (const NumericRange &range : kRanges) {
        const QString key = QString::fromLatin1(range.key);
        double number = 0;
        if (numberOf(values.value(key), &number) && std::isfinite(number))
            result[key] = std::min(std::max(number, range.lowest), range.highest);
    }
    result[QStringLiteral("face")] = isString(values.value(QStringLiteral("face")), "sans")
        ? QStringLiteral("sans") : QStringLiteral("serif");
    result[QStringLiteral("alignment")] = isString(values.value(QStringLiteral("alignment")), "justify")
        ? QStringLiteral("justify") : QStringLiteral("start");
    const QVariant indent = values.value(QStringLiteral("indent"));
    result[QStringLiteral("indent")] = indent.typeId() == QMetaType::Bool && indent.toBool();
    return result;
}

QString ReflowTypography::preferenceKey(const QString &key)
{
    if (key.isEmpty())
        return QStringLiteral("folvan.reflow");
    return QStringLiteral("folvan.reflow") + key.at(0).toUpper() + key.mid(1);
}

QVariantMap ReflowTypography::withStoredValues(const platform::Preferences &store)
{
    QVariantMap working = defaults();
    for (auto it = working.begin(); it != working.end(); ++it) {
        const QVariant stored = store.value(preferenceKey(it.key()));
        if (stored.isValid())
            it.value() = stored;
    }
    return working;
}

void ReflowTypography::save(const QVariantMap &values, platform::Preferences &store)
{
    QVariantMap working = withStoredValues(store);
    for (auto it = values.begin(); it != values.end(); ++it)
        if (working.contains(it.key()))
            working[it.key()] = it.value();
    const QVariantMap result = normalized(working);
    for (auto it = result.begin(); it != result.end(); ++it)
        store.setValue(preferenceKey(it.key()), it.value());
}

QVariantMap ReflowTypography::effective(const platform::Preferences &store)
{
    return normalized(withStoredValues(store));
}

} // namespace folvan
