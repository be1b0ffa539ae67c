#include "platform/ReducedMotion.h"

#include <QProcess>
#include <QStandardPaths>

namespace folvan::platform {

bool systemReducesMotion()
{
    static const bool reduces = [] {
        const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
        if (gsettings.isEmpty())
            return false;
        QProcess process;
        process.start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                                  QStringLiteral("enable-animations")});
        if (!process.waitForFinished(1000) || process.exitCode() != 0) {
            process.kill();
            return false;
        }
        return process.readAllStandardOutput().trimmed() == "false";
    }();
    return reduces;
}

} // namespace folvan::platform
