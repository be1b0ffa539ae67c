#pragma once

// A bench program's own home, data, config and cache folders inside
// `home`, so that it reads and writes nothing of the user's; and the
// offscreen platform where there is no display.

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

inline void useBenchHome(const QTemporaryDir &home)
{
    const QDir root(home.path());
    for (const char *sub : {"home", "data", "config", "cache"})
        root.mkpath(QString::fromLatin1(sub));
    qputenv("HOME", root.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", root.filePath(QStringLiteral("cache")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
