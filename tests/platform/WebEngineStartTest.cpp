#include "platform/WebEngineStart.h"

#include "support/TestEnv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace folvan;

// The engine's helper program and its resource pack are looked for where
// the engine looks: its own variables alone when they are set.
TEST(WebEngineStartTest, TellsAMissingHelperOrResourcePackBeforeTheEngineEndsTheProcess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString helper = dir.filePath(QStringLiteral("helper"));
    ASSERT_TRUE(test::writeTestFile(helper, "#!/bin/sh\n"));

    {
        test::ScopedVariable missing("QTWEBENGINEPROCESS_PATH", dir.filePath(QStringLiteral("gone")).toLocal8Bit());
        const std::optional<QString> problem = platform::webEngineStartProblem();
        ASSERT_TRUE(problem);
        EXPECT_TRUE(problem->contains(dir.filePath(QStringLiteral("gone")))) << problem->toStdString();
        EXPECT_FALSE(platform::webEngineCanStart());
    }

    test::ScopedVariable found("QTWEBENGINEPROCESS_PATH", helper.toLocal8Bit());
    {
        test::ScopedVariable empty("QTWEBENGINE_RESOURCES_PATH", dir.path().toLocal8Bit());
        const std::optional<QString> problem = platform::webEngineStartProblem();
        ASSERT_TRUE(problem);
        EXPECT_TRUE(problem->contains(QStringLiteral("resources"))) << problem->toStdString();
    }
    ASSERT_TRUE(test::writeTestFile(dir.filePath(QStringLiteral("qtwebengine_resources.pak")), "pak"));
    test::ScopedVariable resources("QTWEBENGINE_RESOURCES_PATH", dir.path().toLocal8Bit());
    EXPECT_EQ(platform::webEngineStartProblem(), std::nullopt);
    EXPECT_TRUE(platform::webEngineCanStart());
}

// The machine's own engine, as installed, is found without any variable.
TEST(WebEngineStartTest, FindsTheInstalledEngine)
{
    test::ScopedVariable helper("QTWEBENGINEPROCESS_PATH", QByteArray());
    test::ScopedVariable resources("QTWEBENGINE_RESOURCES_PATH", QByteArray());
    EXPECT_EQ(platform::webEngineStartProblem(), std::nullopt);
}

// A render process that could not be launched is reported with a status
// outside the engine's list; after one, no web view starts in this run.
TEST(WebEngineStartTest, ARenderProcessThatNeverRanStopsLaterWebViews)
{
    EXPECT_TRUE(platform::renderProcessNeverStarted(-1));
    EXPECT_TRUE(platform::renderProcessNeverStarted(4));
    for (int status : {0, 1, 2, 3})
        EXPECT_FALSE(platform::renderProcessNeverStarted(status)) << status;

    ASSERT_TRUE(platform::webEngineCanStart());
    platform::noteRenderProcessNeverStarted();
    EXPECT_FALSE(platform::webEngineCanStart());
    platform::forgetRenderProcessNeverStarted();
    EXPECT_TRUE(platform::webEngineCanStart());
}
