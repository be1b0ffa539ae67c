#include "app/WebEngineSandbox.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace folvan::app {

bool turnOffWebEngineSandboxForRoot(bool runningAsRoot)
{
    static constexpr const char *sandboxSwitch = "QTWEBENGINE_DISABLE_SANDBOX";
    if (!runningAsRoot || qEnvironmentVariableIsSet(sandboxSwitch))
        return false;
    qputenv(sandboxSwitch, QByteArrayLiteral("1"));
    std::fputs("Folvan runs as root: the web engine's sandbox is turned off for the book and reflow views.\n",
               stderr);
    return true;
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace folvan::app
