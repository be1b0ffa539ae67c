#include <gtest/gtest.h>

#include "app/WebEngineSandbox.h"
#include "fixtures/PdfFixtureWriter.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Keeps the test program's own engine variables as they were.
class SandboxSwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_had = qEnvironmentVariableIsSet(name);
        m_old = qgetenv(name);
        qunsetenv(name);
    }
    void TearDown() override
    {
        if (m_had)
            qputenv(name, m_old);
        else
            qunsetenv(name);
    }
    static constexpr const char *name = "QTWEBENGINE_DISABLE_SANDBOX";

private:
    bool m_had = false;
    QByteArray m_old;
};

TEST_F(SandboxSwitch, RootTurnsTheSandboxOffOnceOtherUsersAndASetSwitchKeepTheirs)
{
    EXPECT_FALSE(folvan::app::turnOffWebEngineSandboxForRoot(false));
    EXPECT_FALSE(qEnvironmentVariableIsSet(name));

    EXPECT_TRUE(folvan::app::turnOffWebEngineSandboxForRoot(true));
    EXPECT_EQ(qgetenv(name), QByteArray("1"));
    // Said once: the second call finds the switch set.
    EXPECT_FALSE(folvan::app::turnOffWebEngineSandboxForRoot(true));

    qputenv(name, QByteArrayLiteral("0"));
    EXPECT_FALSE(folvan::app::turnOffWebEngineSandboxForRoot(true));
    EXPECT_EQ(qgetenv(name), QByteArray("0"));
}

// Whether a process runs two levels below `pid`: the engine's zygote is
// the reader's child, and a page's renderer is forked from it.
bool hasRendererBelow(qint64 pid)
{
    QMultiHash<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 child = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), child);
    }
    for (qint64 child : children.values(pid))
        if (children.contains(child))
            return true;
    return false;
}

// The reader as a user starts it, with no engine variables: as root (CI)
// the engine would end the process at the first web view unless the reader
// turns the sandbox off itself.
TEST(ReaderStart, WithoutEngineVariablesTheReaderShowsTheBookAndQuitsCleanly)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    folvan::engine::PdfFixtureWriter writer;
    writer.addText(writer.addPage(), QPointF(72, 700), QStringLiteral("A paper to start with"));
    const QString paper = home.filePath(QStringLiteral("paper.pdf"));
    ASSERT_TRUE(writer.save(paper));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &key : environment.keys())
        if (key.startsWith(QLatin1String("QTWEBENGINE_")))
            environment.remove(key);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QStringList folders{QStringLiteral("HOME"), QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("XDG_DATA_HOME"),
                              QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("XDG_RUNTIME_DIR")};
    for (const QString &name : folders) {
        const QString folder = home.filePath(name.toLower());
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(name, folder);
    }

    QProcess reader;
    reader.setProcessEnvironment(environment);
    reader.start(QStringLiteral(FOLVAN_BINARY), {paper});
    ASSERT_TRUE(reader.waitForStarted(10000));
    // The book view's page runs in a renderer of its own once the engine has
    // started.
    const bool shown = folvan::test::waitFor(
        [&] { return reader.state() != QProcess::Running || hasRendererBelow(reader.processId()); });
    const QByteArray early = reader.readAllStandardError();
    ASSERT_TRUE(shown) << "no book page within a minute";
    ASSERT_EQ(reader.state(), QProcess::Running) << early.constData();

    ::kill(pid_t(reader.processId()), SIGTERM);
    ASSERT_TRUE(reader.waitForFinished(30000));
    const QByteArray said = early + reader.readAllStandardError();
    EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit) << said.constData();
    EXPECT_EQ(reader.exitCode(), 0) << said.constData();
    // Said once, as root only.
    EXPECT_EQ(said.count("runs as root"), folvan::app::runningAsRoot() ? 1 : 0) << said.constData();
}

} // namespace
