// One main for every test program: a QApplication on the offscreen platform,
// with the data and configuration folders inside a temporary folder of the run.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestEnv.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runDir;
    folvan::test::pointHomeAt(runDir.path());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
