#include "platform/WebEngineStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

#include <atomic>
#include <cstdio>

namespace folvan::platform {

namespace {

// The first of `candidates` that holds `file` ("" for the candidate itself).
std::optional<QString> firstHolding(const QStringList &candidates, const QString &file)
{
    for (const QString &candidate : candidates)
        if (QFileInfo::exists(file.isEmpty() ? candidate : candidate + QLatin1Char('/') + file))
            return candidate;
    return std::nullopt;
}

// The places of the engine's own search: the variable alone when set.
QStringList placesFor(const char *variable, const QStringList &defaults)
{
    const QString set = qEnvironmentVariable(variable);
    return set.isEmpty() ? defaults : QStringList{set};
}

} // namespace

std::optional<QString> webEngineStartProblem()
{
    const QString helper = QStringLiteral("QtWebEngineProcess");
    const QString programs = QCoreApplication::applicationDirPath();
    const QStringList helpers =
        placesFor("QTWEBENGINEPROCESS_PATH",
                  {QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QLatin1Char('/') + helper,
                   QLibraryInfo::path(QLibraryInfo::BinariesPath) + QLatin1Char('/') + helper,
                   programs + QLatin1Char('/') + helper});
    if (!firstHolding(helpers, QString()))
        return QStringLiteral("the web engine's helper program is missing (looked for: %1)")
            .arg(helpers.join(QStringLiteral(", ")));

    const QString data = QLibraryInfo::path(QLibraryInfo::DataPath);
    const QStringList packs = placesFor(
        "QTWEBENGINE_RESOURCES_PATH",
        {data + QStringLiteral("/resources"), data, programs,
         QDir::homePath() + QStringLiteral("/.") + QCoreApplication::applicationName()});
    if (!firstHolding(packs, QStringLiteral("qtwebengine_resources.pak")))
        return QStringLiteral("the web engine's resources are missing (looked in: %1)")
            .arg(packs.join(QStringLiteral(", ")));
    return std::nullopt;
}

namespace {
std::atomic_bool launchFailed = false;
} // namespace

bool renderProcessNeverStarted(int terminationStatus)
{
    return terminationStatus < 0 || terminationStatus > 3;
}

void noteRenderProcessNeverStarted() { launchFailed = true; }

void forgetRenderProcessNeverStarted() { launchFailed = false; }

bool webEngineCanStart()
{
    static std::atomic_bool said = false;
    const std::optional<QString> problem =
        launchFailed ? std::optional(QStringLiteral("its helper program does not run")) : webEngineStartProblem();
    if (problem && !said.exchange(true))
        std::fprintf(stderr, "Folvan cannot start the web engine: %s. The page view works without it.\n",
                     qPrintable(*problem));
    return !problem;
}

} // namespace folvan::platform
