#include "platform/ReaderPreferences.h"

#include "platform/Preferences.h"

#include <algorithm>
#include <cmath>

namespace folvan::platform {

namespace {

double clampedPreference(const char *key, double fallback, double low, double high)
{
    const double value = Preferences::shared().doubleValue(QString::fromLatin1(key), fallback);
    if (!std::isfinite(value))
        return fallback;
    return std::clamp(value, low, high);
}

} // namespace

double ReaderPreferences::interfaceSize()
{
    return clampedPreference("folvan.interfaceTextSize", 15.0, 13.0, 20.0);
}

double ReaderPreferences::toolsHideDelay()
{
    return clampedPreference("folvan.toolsHideDelay", 10.0, 3.0, 30.0);
}

double ReaderPreferences::referenceDelay()
{
    return clampedPreference("folvan.referenceDelay", 0.35, 0.2, 1.5);
}

double ReaderPreferences::noteTextSize()
{
    return clampedPreference("folvan.noteTextSize", 15.0, 12.0, 24.0);
}

} // namespace folvan::platform
