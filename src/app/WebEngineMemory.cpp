#include "app/WebEngineMemory.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace folvan::app {

bool askWebEngineToKeepLittleMemory()
{
    static constexpr const char *switches = "QTWEBENGINE_CHROMIUM_FLAGS";
    static constexpr QByteArrayView lowMemory = "--enable-low-end-device-mode";
    QByteArray set = qgetenv(switches);
    if (set.split(' ').contains(lowMemory.toByteArray()))
        return false;
    if (!set.trimmed().isEmpty())
        set.append(' ');
    set.append(lowMemory);
    qputenv(switches, set);
    return true;
}

} // namespace folvan::app
