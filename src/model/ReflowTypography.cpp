#include "model/ReflowTypography.h"

#include "model/ReflowTypographyContract.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

#include <QMetaType>

#include <algorithm>
#include <cmath>

namespace folvan::model {

namespace {

// The keys, defaults and ranges, as the reflow page has them too.
namespace contract = reflowpage::typography;

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

QString keyOf(const char *key)
{
    return QString::fromLatin1(key);
}

} // namespace

const QVariantMap &ReflowTypography::defaults()
{
    static const QVariantMap values = [] {
        QVariantMap map;
        for (const auto &number : contract::numbers)
            map.insert(keyOf(number.key), number.fallback);
        for (const auto &choice : contract::choices)
            map.insert(keyOf(choice.key), QString::fromLatin1(choice.fallback));
        for (const auto &flag : contract::switches)
            map.insert(keyOf(flag.key), flag.fallback);
        return map;
    }();
    return values;
}

QVariantMap ReflowTypography::normalized(const QVariantMap &values)
{
    QVariantMap result = defaults();
    for (const auto &range : contract::numbers) {
        const QString key = keyOf(range.key);
        double number = 0;
        if (numberOf(values.value(key), &number) && std::isfinite(number))
            result[key] = std::min(std::max(number, range.lowest), range.highest);
    }
    // A choice is its one other value or else its default.
    for (const auto &choice : contract::choices) {
        const QString key = keyOf(choice.key);
        if (isString(values.value(key), choice.other))
            result[key] = QString::fromLatin1(choice.other);
    }
    for (const auto &flag : contract::switches) {
        const QVariant value = values.value(keyOf(flag.key));
        if (value.typeId() == QMetaType::Bool)
            result[keyOf(flag.key)] = value.toBool();
    }
    return result;
}

QString ReflowTypography::preferenceKey(const QString &key)
{
    if (key.isEmpty())
        return platform::prefkey::reflowPrefix;
    return QString(platform::prefkey::reflowPrefix) + key.at(0).toUpper() + key.mid(1);
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

QVariantMap ReflowTypography::changes(const QVariantMap &shown, const QVariantMap &chosen)
{
    const QVariantMap before = normalized(shown);
    const QVariantMap after = normalized(chosen);
    QVariantMap result;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (chosen.contains(it.key()) && before.value(it.key()) != it.value())
            result.insert(it.key(), it.value());
    return result;
}

void ReflowTypography::save(const QVariantMap &values, platform::Preferences &store)
{
    const QVariantMap valid = normalized(values);
    for (auto it = valid.begin(); it != valid.end(); ++it)
        if (values.contains(it.key()))
            store.setValue(preferenceKey(it.key()), it.value());
}

QVariantMap ReflowTypography::effective(const platform::Preferences &store)
{
    return normalized(withStoredValues(store));
}

} // namespace folvan::model
