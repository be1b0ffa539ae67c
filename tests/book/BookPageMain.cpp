// The main of the book page tests: the local schemes are registered before
// the application object, then as the shared test main does.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "localweb/LocalWebPage.h"
#include "support/TestEnv.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QWebEngineUrlScheme::registerScheme(folvan::localweb::localScheme("folvan-book"));
    QTemporaryDir runDir;
    folvan::test::pointHomeAt(runDir.path());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
