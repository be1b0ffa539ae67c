// One main for every test program: a QApplication on the offscreen platform,
// with the data and configuration folders inside a temporary folder of the run.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestEnv.h"

#if defined(__SANITIZE_ADDRESS__)
// Under the sanitizers the first error ends the program. Leaks are not
// looked for: Qt and the system libraries keep caches to the end of the
// process. The web engine frees some of its own objects with a size other
// than the one they were made with, which is not ours to mend.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0:new_delete_type_mismatch=0";
}
extern "C" const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Web views run without a GPU and, as root, without the sandbox.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QTemporaryDir runDir;
    folvan::test::pointHomeAt(runDir.path());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Folvan"));
    QApplication::setApplicationName(QStringLiteral("Folvan"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
