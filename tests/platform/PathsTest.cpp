#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/StoredFiles.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace folvan::platform;

namespace {

class PathsTest : public folvan::test::TempHomeTest {};

TEST_F(PathsTest, DataFolderIsFolvanInsideTheDataLocation)
{
    EXPECT_EQ(folvanDataFolder(), path(QStringLiteral("data/Folvan")));
    EXPECT_EQ(folvanDataPath(QStringLiteral("Annotations/x.json")),
              path(QStringLiteral("data/Folvan/Annotations/x.json")));
    // The name is not doubled by the application's own names.
    EXPECT_FALSE(folvanDataFolder().contains(QStringLiteral("Folvan/Folvan")));
}

TEST_F(PathsTest, WithoutAnAbsoluteDataLocationThereIsNoFolderAndSavesFail)
{
    qputenv("XDG_DATA_HOME", "relative/data");
    qputenv("HOME", "relative-home");
    EXPECT_EQ(folvanDataFolder(), QString());
    EXPECT_EQ(folvanDataPath(QStringLiteral("reading-history.json")), QString());

    QString error;
    EXPECT_FALSE(writeFileAtomically(folvanDataPath(QStringLiteral("reading-history.json")), "[]", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("relative/data")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("relative-home")));
}

TEST_F(PathsTest, EnsureFolderCreatesParentsAndReportsBlockers)
{
    QString error;
    EXPECT_TRUE(ensureFolder(path(QStringLiteral("x/y/z")), &error));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("x/y/z"))).isDir());
    EXPECT_TRUE(ensureFolder(path(QStringLiteral("x/y/z")), &error));

    QFile blocker(path(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(ensureFolder(path(QStringLiteral("file")), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(ensureFolder(QString(), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DocumentHashTest, FileNameIsLowerCaseSha256OfThePath)
{
    EXPECT_EQ(documentFileName(QStringLiteral("/home/user/Papers/attention.pdf")),
              QStringLiteral("10072e2388341b42a58a2fe128276fc8bdc65c865ca35cf673937a4496f7e60c"));
    // UTF-8 of the path, spaces and non-ASCII letters as they are.
    EXPECT_EQ(documentFileName(QStringLiteral("/home/user/论文/a b.pdf")),
              QStringLiteral("af8af44d437d405d3b1d9636af68408fd4223330720936c1569c14898662e9f0"));
}

TEST(DocumentHashTest, DotAndDotDotComponentsGiveTheSameName)
{
    const QString plain = documentFileName(QStringLiteral("/home/user/Papers/attention.pdf"));
    EXPECT_EQ(documentFileName(QStringLiteral("/home/user/./Papers/attention.pdf")), plain);
    EXPECT_EQ(documentFileName(QStringLiteral("/home/user/Other/../Papers/attention.pdf")), plain);
    EXPECT_EQ(documentFileName(QStringLiteral("/home//user/Papers/attention.pdf")), plain);
    EXPECT_NE(documentFileName(QStringLiteral("/home/user/papers/attention.pdf")), plain);

    EXPECT_EQ(standardizedPath(QStringLiteral("/a/b/../../..")), QStringLiteral("/"));
    EXPECT_EQ(standardizedPath(QStringLiteral("/../a")), QStringLiteral("/a"));
    EXPECT_EQ(standardizedPath(QStringLiteral("/a/b/")), QStringLiteral("/a/b"));
    EXPECT_EQ(standardizedPath(QStringLiteral("/..a/b")), QStringLiteral("/..a/b"));
}

TEST_F(PathsTest, SymbolicLinksAreNotResolved)
{
    QDir().mkpath(path(QStringLiteral("real")));
    QFile pdf(path(QStringLiteral("real/p.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real")), path(QStringLiteral("alias"))));
    const QString viaLink = path(QStringLiteral("alias/p.pdf"));
    EXPECT_EQ(standardizedPath(viaLink), viaLink);
    EXPECT_NE(documentFileName(viaLink), documentFileName(path(QStringLiteral("real/p.pdf"))));
}

} // namespace
