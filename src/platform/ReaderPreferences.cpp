#include "platform/ReaderPreferences.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

#include <algorithm>
#include <cmath>

namespace folvan::platform {

namespace {

double clampedPreference(const QString &key, double fallback, double low, double high)
{
    const double value = Preferences::shared().doubleValue(key, fallback);
    if (!std::isfinite(value))
        return fallback;
    return std::clamp(value, low, high);
}

} // namespace

double ReaderPreferences::interfaceSize()
{
    return clampedPreference(prefkey::interfaceTextSize, 15.0, 13.0, 20.0);
}

double ReaderPreferences::toolsHideDelay()
{
    return clampedPreference(prefkey::toolsHideDelay, 10.0, 3.0, 30.0);
}

double ReaderPreferences::referenceDelay()
{
    return clampedPreference(prefkey::referenceDelay, 0.35, 0.2, 1.5);
}

double ReaderPreferences::noteTextSize()
{
    return clampedPreference(prefkey::noteTextSize, 15.0, 12.0, 24.0);
}

} // namespace folvan::platform
