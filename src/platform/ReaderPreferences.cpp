#include "platform/ReaderPreferences.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::platform {

double ReaderPreferences::interfaceSize()
{
    return Preferences::shared().boundedValue(prefkey::interfaceTextSize);
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
