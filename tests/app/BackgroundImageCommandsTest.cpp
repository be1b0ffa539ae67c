#include <gtest/gtest.h>

#include "app/BackgroundImageCommands.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "workspace/ShellDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using folvan::app::BackgroundImageCommands;
using folvan::platform::Preferences;
namespace workspace = folvan::workspace;

namespace {

class BackgroundImageCommandsTest : public folvan::test::TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        Preferences::resetSharedForTesting();
        workspace::shellDialogs().alert = [this](QWidget *, const QString &message, const QString &informative) {
            alerts.append(message + QLatin1Char('|') + informative);
        };
    }
    void TearDown() override
    {
        workspace::resetShellDialogs();
        Preferences::resetSharedForTesting();
        TempHomeTest::TearDown();
    }
    QString image(const QString &name, const QByteArray &bytes = "image bytes")
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    }
    static QString stored() { return Preferences::shared().stringValue(QStringLiteral("backgroundImagePath")); }
    static void store(const QString &value)
    {
        Preferences::shared().setValue(QStringLiteral("backgroundImagePath"), value);
    }
    static QStringList copies()
    {
        return QDir(BackgroundImageCommands::wallpaperFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    BackgroundImageCommands commands;
    QStringList alerts;
};

TEST_F(BackgroundImageCommandsTest, ChoosingCopiesUnderAFreshUpperCaseNameKeepingTheExtension)
{
    const QString source = image(QStringLiteral("pictures/sea.PNG"));
    workspace::shellDialogs().chooseFile = [&](QWidget *, const workspace::FileChoice &) { return source; };
    commands.selectBackgroundImage();

    const QString copy = stored();
    const QRegularExpression form(QStringLiteral("/Folvan/Wallpapers/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                                 "[0-9A-F]{4}-[0-9A-F]{12}\\.PNG$"));
    EXPECT_TRUE(form.match(copy).hasMatch()) << copy.toStdString();
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("image bytes"));
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(BackgroundImageCommandsTest, CancellingTheChoiceChangesNothing)
{
    store(QStringLiteral("/somewhere/else.png"));
    workspace::shellDialogs().chooseFile = [](QWidget *, const workspace::FileChoice &) { return QString(); };
    commands.selectBackgroundImage();
    EXPECT_EQ(stored(), QStringLiteral("/somewhere/else.png"));
}

TEST_F(BackgroundImageCommandsTest, ASecondChoiceReplacesTheFirstCopy)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.jpg"), "first"));
    const QString first = stored();
    commands.copyImageToAppDirectory(image(QStringLiteral("b.gif"), "second"));
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_EQ(copies(), QStringList{QFileInfo(stored()).fileName()});
    EXPECT_TRUE(stored().endsWith(QStringLiteral(".gif")));
}

TEST_F(BackgroundImageCommandsTest, ChoosingTheCurrentCopyItselfKeepsAWallpaper)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png"), "pixels"));
    const QString first = stored();
    commands.copyImageToAppDirectory(first);
    EXPECT_NE(stored(), first);
    QFile file(stored());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("pixels"));
    EXPECT_EQ(copies().size(), 1);
}

TEST_F(BackgroundImageCommandsTest, AFailedCopyAlertsAndKeepsTheWallpaper)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    const QString current = stored();
    commands.copyImageToAppDirectory(path(QStringLiteral("missing.png")));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.constFirst().startsWith(QStringLiteral("无法保存壁纸|")));
    EXPECT_GT(alerts.constFirst().size(), QStringLiteral("无法保存壁纸|").size());
    EXPECT_EQ(stored(), current);
    EXPECT_TRUE(QFile::exists(current));
}

TEST_F(BackgroundImageCommandsTest, AnUncreatableFolderAlertsAndChangesNothing)
{
    // A file where the wallpaper folder should be.
    QDir().mkpath(QFileInfo(BackgroundImageCommands::wallpaperFolder()).absolutePath());
    QFile blocker(BackgroundImageCommands::wallpaperFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    store(QStringLiteral("/kept.png"));
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(stored(), QStringLiteral("/kept.png"));
}

TEST_F(BackgroundImageCommandsTest, ClearingDeletesOnlyACopyDirectlyInTheWallpaperFolder)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    const QString copy = stored();
    commands.clearBackgroundImage();
    EXPECT_EQ(stored(), QString());
    EXPECT_FALSE(QFile::exists(copy));
    commands.clearBackgroundImage();
    EXPECT_EQ(stored(), QString());

    const QString outside = image(QStringLiteral("outside/b.png"));
    store(outside);
    commands.clearBackgroundImage();
    EXPECT_EQ(stored(), QString());
    EXPECT_TRUE(QFile::exists(outside));

    const QString nested = image(QStringLiteral("data/Folvan/Wallpapers/sub/c.png"));
    ASSERT_TRUE(nested.startsWith(BackgroundImageCommands::wallpaperFolder()));
    store(nested);
    commands.clearBackgroundImage();
    EXPECT_TRUE(QFile::exists(nested));

    // A path that climbs out of the folder names a file outside it.
    store(BackgroundImageCommands::wallpaperFolder() + QStringLiteral("/../../../outside/b.png"));
    commands.clearBackgroundImage();
    EXPECT_TRUE(QFile::exists(outside));
}

TEST_F(BackgroundImageCommandsTest, ClearingNeverResolvesARelativeOrEmptyPathNorFollowsALink)
{
    // The working folder is the wallpaper folder: a relative name would
    // otherwise land on a copy there.
    const QString copy = image(QStringLiteral("data/Folvan/Wallpapers/D.png"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(BackgroundImageCommands::wallpaperFolder());
    store(QStringLiteral("D.png"));
    commands.clearBackgroundImage();
    store(QString());
    commands.clearBackgroundImage();
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_EQ(stored(), QString());

    const QString target = image(QStringLiteral("elsewhere/e.png"));
    const QString link = BackgroundImageCommands::wallpaperFolder() + QStringLiteral("/link.png");
    ASSERT_TRUE(QFile::link(target, link));
    store(link);
    commands.clearBackgroundImage();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFile::exists(target));
}

} // namespace
