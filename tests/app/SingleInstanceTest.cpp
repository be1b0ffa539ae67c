#include <gtest/gtest.h>

#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUuid>

using folvan::app::SingleInstance;

namespace {

QString uniqueName()
{
    return QStringLiteral("FolvanTest-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

TEST(SingleInstance, ASecondLaunchHandsItsPathsToTheRunningOne)
{
    const QString name = uniqueName();
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::pathsReceived);

    const SingleInstance second(name);
    const QStringList paths{QStringLiteral("/papers/a.pdf"), QStringLiteral("/papers/论文 b.PDF")};
    EXPECT_TRUE(second.forwardToRunningInstance(paths));
    ASSERT_TRUE(received.wait(2000));
    EXPECT_EQ(received.constFirst().constFirst().toStringList(), paths);
}

TEST(SingleInstance, WithoutARunningInstanceNothingIsForwardedAndTheNameIsFreeAgainAfterAnInstance)
{
#ifdef Q_OS_UNIX
    // The socket lies in the user's own runtime folder.
    EXPECT_TRUE(SingleInstance::defaultName().startsWith(
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/')));
#endif
    const QString name = uniqueName();
    EXPECT_FALSE(SingleInstance(name).forwardToRunningInstance({QStringLiteral("/a.pdf")}, 200));
    {
        SingleInstance first(name);
        ASSERT_TRUE(first.listen());
    }
    SingleInstance again(name);
    EXPECT_TRUE(again.listen());
}

TEST(SingleInstance, OfTwoLaunchesOneRunsAndTheOtherHandsOverItsPaths)
{
    const QString name = QDir::temp().filePath(uniqueName());
    SingleInstance first(name);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::Running);
    QSignalSpy received(&first, &SingleInstance::pathsReceived);
    // The second finds the lock taken even when the socket is gone, as it is
    // while the first one starts: it never takes the name over.
    QFile::remove(name);
    SingleInstance second(name);
    EXPECT_EQ(second.claim({QStringLiteral("/papers/a.pdf")}, 300), SingleInstance::Role::Failed);
    ASSERT_TRUE(first.listen());
    EXPECT_EQ(second.claim({QStringLiteral("/papers/a.pdf")}), SingleInstance::Role::Forwarded);
    ASSERT_TRUE(received.wait(2000));
    EXPECT_EQ(received.constFirst().constFirst().toStringList(), QStringList{QStringLiteral("/papers/a.pdf")});
}

TEST(SingleInstance, TheLockIsFreeOnceTheRunningInstanceIsGone)
{
    const QString name = QDir::temp().filePath(uniqueName());
    {
        SingleInstance first(name);
        ASSERT_EQ(first.claim({}), SingleInstance::Role::Running);
    }
    SingleInstance again(name);
    EXPECT_EQ(again.claim({}), SingleInstance::Role::Running);
}

TEST(SingleInstance, CommandLinePathsLeaveOutTheProgramOptionsAndThePdfOption)
{
    const QStringList arguments{QStringLiteral("folvan"), QStringLiteral("--pdf"), QStringLiteral("/x/start.pdf"),
                                QStringLiteral("-style"), QStringLiteral("/abs/one.pdf"),
                                QStringLiteral("rel/two.pdf"), QStringLiteral("file:///abs/three.pdf")};
    EXPECT_EQ(SingleInstance::pathsFromArguments(arguments),
              (QStringList{QStringLiteral("/abs/one.pdf"), QDir::current().absoluteFilePath(QStringLiteral("rel/two.pdf")),
                           QStringLiteral("/abs/three.pdf")}));
    // A second launch also hands over the file of "--pdf", first.
    EXPECT_EQ(SingleInstance::forwardedPaths(arguments).constFirst(), QStringLiteral("/x/start.pdf"));
    EXPECT_EQ(SingleInstance::forwardedPaths(arguments).size(), 4);
    EXPECT_EQ(SingleInstance::forwardedPaths({QStringLiteral("folvan"), QStringLiteral("--pdf")}), QStringList());
}

TEST(SingleInstance, ThePdfOptionNamesTheFirstPathAfterItAndATrailingOneNothing)
{
    const auto arg = [](std::initializer_list<const char *> items) {
        QStringList list;
        for (const char *item : items)
            list << QString::fromUtf8(item);
        return SingleInstance::pdfArgument(list);
    };
    EXPECT_EQ(arg({"folvan", "--pdf", "a.pdf"}), QStringLiteral("a.pdf"));
    EXPECT_EQ(arg({"folvan", "--pdf", "a.pdf", "--pdf", "b.pdf"}), QStringLiteral("a.pdf"));
    EXPECT_EQ(arg({"folvan", "x", "--pdf"}), std::nullopt);
    EXPECT_EQ(arg({"folvan"}), std::nullopt);
    EXPECT_EQ(arg({"folvan", "--pdf", "--pdf"}), QStringLiteral("--pdf"));
}

} // namespace
