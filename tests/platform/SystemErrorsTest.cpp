// Why a file operation failed, as the reader is told it.

#include <gtest/gtest.h>

#include "platform/StoredFiles.h"
#include "platform/SystemErrors.h"

#include "support/TestEnv.h"

#include <cerrno>
#include <cstring>

using namespace folvan::platform;

namespace {

// The common causes are said in Chinese; the system's text follows only
// where it says more; any other text stays as the system gave it.
TEST(SystemErrors, CommonCausesAreSaidInChinese)
{
    EXPECT_EQ(systemErrorText(EEXIST), QStringLiteral("同名文件已存在"));
    EXPECT_EQ(systemErrorText(EACCES), QStringLiteral("没有访问权限"));
    EXPECT_EQ(systemErrorText(EPERM), QStringLiteral("没有访问权限"));
    EXPECT_EQ(systemErrorText(ENOSPC), QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(systemErrorText(EDQUOT), QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(systemErrorText(EROFS), QStringLiteral("磁盘是只读的"));
    EXPECT_EQ(systemErrorText(EIO), QString::fromLocal8Bit(std::strerror(EIO)));

    EXPECT_EQ(describedSystemError(QStringLiteral("Destination file exists")), QStringLiteral("同名文件已存在"));
    EXPECT_EQ(describedSystemError(QString::fromLocal8Bit(std::strerror(ENOSPC))), QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(describedSystemError(QStringLiteral("Cannot create /x/y.tmp: Read-only file system")),
              QStringLiteral("磁盘是只读的（Cannot create /x/y.tmp: Read-only file system）"));
    EXPECT_EQ(describedSystemError(QStringLiteral("Unknown error")), QStringLiteral("Unknown error"));
    EXPECT_EQ(describedSystemError(QString()), QString());
}

class SystemErrorsTest : public folvan::test::TempHomeTest {};

// The shared file operations say it so for every store and command.
TEST_F(SystemErrorsTest, FileOperationsSayTheCauseInChinese)
{
    ASSERT_TRUE(folvan::test::writeTestFile(path(QStringLiteral("a.pdf")), "a"));
    ASSERT_TRUE(folvan::test::writeTestFile(path(QStringLiteral("b.pdf")), "b"));
    QString error;
    EXPECT_FALSE(renameWithoutReplacing(path(QStringLiteral("a.pdf")), path(QStringLiteral("b.pdf")), &error));
    EXPECT_EQ(error, QStringLiteral("同名文件已存在"));
    error.clear();
    EXPECT_FALSE(copyWithoutReplacing(path(QStringLiteral("a.pdf")), path(QStringLiteral("b.pdf")), &error));
    EXPECT_EQ(error, QStringLiteral("同名文件已存在"));
}

} // namespace
