#include "platform/ReducedMotion.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace folvan::platform;

namespace {

// A stand-in for gsettings: "get" answers `initial`; "monitor" prints the
// lines the test appends to the file "changes".
QString fakeSettings(const QTemporaryDir &dir, const char *initial)
{
    const QString script = dir.filePath(QStringLiteral("gsettings"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QByteArray("#!/bin/sh\n"
                          "if [ \"$1\" = get ]; then echo ") + initial + "; exit 0; fi\n"
              "echo $$ > '" + QFile::encodeName(dir.filePath(QStringLiteral("monitor.pid"))) + "'\n"
              "exec tail -n +1 -f '" + QFile::encodeName(dir.filePath(QStringLiteral("changes"))) + "'\n");
    file.close();
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile changes(dir.filePath(QStringLiteral("changes")));
    return changes.open(QIODevice::WriteOnly) ? script : QString();
}

void append(const QTemporaryDir &dir, const QByteArray &line)
{
    QFile changes(dir.filePath(QStringLiteral("changes")));
    ASSERT_TRUE(changes.open(QIODevice::Append));
    changes.write(line + '\n');
}

} // namespace

// The desktop's answer arrives later, on the main thread; later changes are
// followed. The main thread never waits for the settings program.
TEST(ReducedMotionTest, FollowsTheDesktopSettingWithoutWaitingForIt)
{
    QTemporaryDir dir;
    const QString program = fakeSettings(dir, "false");
    ASSERT_FALSE(program.isEmpty());
    ReducedMotion watcher(program);
    EXPECT_FALSE(watcher.reduces()) << "no answer yet";
    std::vector<bool> seen;
    QThread *deliveredOn = nullptr;
    QObject::connect(&watcher, &ReducedMotion::changed, [&](bool reduces) {
        seen.push_back(reduces);
        deliveredOn = QThread::currentThread();
    });
    ASSERT_TRUE(folvan::test::waitFor([&] { return watcher.reduces(); }));
    EXPECT_EQ(deliveredOn, QThread::currentThread());

    append(dir, "enable-animations: true");
    ASSERT_TRUE(folvan::test::waitFor([&] { return !watcher.reduces(); }));
    append(dir, "something else");
    append(dir, "enable-animations: false");
    ASSERT_TRUE(folvan::test::waitFor([&] { return watcher.reduces(); }));
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
}

// The watching child does not outlive its watcher.
TEST(ReducedMotionTest, TheWatchingChildEndsWithTheWatcher)
{
    QTemporaryDir dir;
    const QString program = fakeSettings(dir, "true");
    ASSERT_FALSE(program.isEmpty());
    auto watcher = std::make_unique<ReducedMotion>(program);
    QFile pidFile(dir.filePath(QStringLiteral("monitor.pid")));
    ASSERT_TRUE(folvan::test::waitFor([&] { return pidFile.exists() && pidFile.size() > 0; }));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toLongLong());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), 0);
    watcher.reset();
    EXPECT_NE(::kill(pid, 0), 0) << "the monitor still runs";
}

TEST(ReducedMotionTest, WithoutTheSettingsProgramMotionIsNotReduced)
{
    ReducedMotion missing(QString{});
    EXPECT_FALSE(missing.reduces());
    ReducedMotion broken(QStringLiteral("/nonexistent/gsettings"));
    EXPECT_FALSE(broken.reduces());
}
