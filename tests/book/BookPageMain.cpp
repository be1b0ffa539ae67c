// The main of the book page tests: the local schemes are registered before
// the application object, the web engine set to run without a sandbox or
// GPU, then as the shared test main does.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "localweb/LocalWebPage.h"
#include "support/TestEnv.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The web engine runs without its sandbox (tests may run as root) and
    // without a GPU.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QWebEngineUrlScheme::registerScheme(folvan::localweb::localScheme("folvan-book"));
    QTemporaryDir runDir;
    folvan::test::pointHomeAt(runDir.path());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
