#include "platform/ReaderPreferences.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::platform {

double ReaderPreferences::interfaceSize()
{
    return Preferences::shared().boundedValue(prefkey::interfaceTextSize);
}

double ReaderPreferences::defaultInterfaceSize()
{
    return Preferences::defaultValue(prefkey::interfaceTextSize).toDouble();
}

double ReaderPreferences::smallestInterfaceSize()
{
    return Preferences::tableEntry(prefkey::interfaceTextSize)->range.lowest;
}

double ReaderPreferences::toolsHideDelay()
{
    return Preferences::shared().boundedValue(prefkey::toolsHideDelay);
}

double ReaderPreferences::referenceDelay()
{
    return Preferences::shared().boundedValue(prefkey::referenceDelay);
}

double ReaderPreferences::noteTextSize()
{
    return Preferences::shared().boundedValue(prefkey::noteTextSize);
}

} // namespace folvan::platform
