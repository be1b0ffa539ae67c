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

bool askWebEngineToHandBackFreedMemory()
{
    static constexpr const char *tunables = "GLIBC_TUNABLES";
    // Blocks of 512 KB and more come from the system and go back to it.
    static constexpr QByteArrayView threshold = "glibc.malloc.mmap_threshold";
    QByteArray set = qgetenv(tunables);
    for (const QByteArray &entry : set.split(':'))
        if (entry.startsWith(threshold.toByteArray() + '='))
            return false;
    if (!set.isEmpty())
        set.append(':');
    set.append(threshold.toByteArray() + "=524288");
    qputenv(tunables, set);
    return true;
}

} // namespace folvan::app
