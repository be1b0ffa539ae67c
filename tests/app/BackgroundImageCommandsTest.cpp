#include <gtest/gtest.h>

#include "app/BackgroundImageCommands.h"
#include "platform/Preferences.h"
#include "support/HeldDataFolder.h"
#include "workspace/ShellTestSupport.h"
#include "workspace/ShellDialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

using folvan::app::BackgroundImageCommands;
namespace workspace = folvan::workspace;

namespace {

class BackgroundImageCommandsTest : public folvan::test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        workspace::shellDialogs().alert = [this](QWidget *, const QString &message, const QString &informative) {
            alerts.append(message + QLatin1Char('|') + informative);
        };
        workspace::shellDialogs().chooseFile = [this](QWidget *, const workspace::FileChoice &) { return chosen; };
    }
    // A small picture of one colour, as PNG bytes.
    static QByteArray png(QRgb colour = 0xff336699)
    {
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return bytes;
    }
    QString image(const QString &name, const QByteArray &bytes = png())
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString stored() { return defaults().stringValue(QStringLiteral("backgroundImagePath")); }
    static void store(const QString &value) { defaults().setValue(QStringLiteral("backgroundImagePath"), value); }
    static QString folder() { return BackgroundImageCommands::wallpaperFolder(); }
    static QStringList copies() { return QDir(folder()).entryList(QDir::Files | QDir::Hidden); }

    BackgroundImageCommands commands;
    QString chosen;
    QStringList alerts;
};

TEST_F(BackgroundImageCommandsTest, ChoosingCopiesUnderAFreshNameAndReplacesThePreviousCopy)
{
    store(QStringLiteral("/somewhere/else.png"));
    commands.selectBackgroundImage(); // cancelled
    EXPECT_EQ(stored(), QStringLiteral("/somewhere/else.png"));

    const QByteArray firstBytes = png(0xffff0000), secondBytes = png(0xff00ff00);
    chosen = image(QStringLiteral("pictures/sea.PNG"), firstBytes);
    commands.selectBackgroundImage();
    const QString first = stored();
    const QRegularExpression form(QStringLiteral("/Folvan/Wallpapers/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                                 "[0-9A-F]{4}-[0-9A-F]{12}\\.PNG$"));
    EXPECT_TRUE(form.match(first).hasMatch()) << first.toStdString();
    EXPECT_EQ(contents(first), firstBytes);
    EXPECT_TRUE(QFile::exists(chosen));

    commands.copyImageToAppDirectory(image(QStringLiteral("b.gif"), secondBytes));
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_TRUE(stored().endsWith(QStringLiteral(".gif")));
    // The current copy chosen again is copied before it is deleted.
    commands.copyImageToAppDirectory(stored());
    EXPECT_EQ(contents(stored()), secondBytes);
    EXPECT_EQ(copies(), QStringList{QFileInfo(stored()).fileName()});
    EXPECT_TRUE(alerts.isEmpty());
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

    // A file where the wallpaper folder should be.
    QDir(folder()).removeRecursively();
    QFile blocker(folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    commands.copyImageToAppDirectory(image(QStringLiteral("b.png")));
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_EQ(stored(), current);
}

// A file that is no picture the panes can show (whatever its name says) is
// refused with a word, and the wallpaper in use and its copy stay.
TEST_F(BackgroundImageCommandsTest, AFileThatIsNoReadableImageIsRefusedAndTheWallpaperStays)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    const QString current = stored();
    QDir().mkpath(path(QStringLiteral("folder.png")));
    const QStringList refused = {image(QStringLiteral("notes.txt"), "not an image at all\n"),
                                 image(QStringLiteral("text.png"), "not an image at all\n"),
                                 image(QStringLiteral("empty.png"), QByteArray()),
                                 image(QStringLiteral("cut.png"), png().left(30)), path(QStringLiteral("folder.png"))};
    for (const QString &source : refused) {
        chosen = source;
        commands.selectBackgroundImage();
    }
    ASSERT_EQ(alerts.size(), refused.size());
    for (qsizetype i = 0; i < refused.size(); ++i)
        EXPECT_EQ(alerts.at(i), QStringLiteral("无法保存壁纸|“%1”不是可以读取的图像，壁纸没有更改。")
                                    .arg(QFileInfo(refused.at(i)).fileName()));
    EXPECT_EQ(stored(), current);
    EXPECT_EQ(copies(), QStringList{QFileInfo(current).fileName()});
    EXPECT_EQ(contents(current), png());

    // A picture whose name does not say what it is is taken.
    commands.copyImageToAppDirectory(image(QStringLiteral("picture.jpg"), png(0xff0000ff)));
    EXPECT_EQ(alerts.size(), refused.size());
    EXPECT_EQ(contents(stored()), png(0xff0000ff));
}

TEST_F(BackgroundImageCommandsTest, ClearingDeletesOnlyARegularFileDirectlyInTheWallpaperFolder)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    const QString copy = stored();
    commands.clearBackgroundImage();
    EXPECT_EQ(stored(), QString());
    EXPECT_FALSE(QFile::exists(copy));
    commands.clearBackgroundImage();
    EXPECT_EQ(stored(), QString());

    const QString outside = image(QStringLiteral("outside/b.png"));
    const QString nested = image(QStringLiteral("data/Folvan/Wallpapers/sub/c.png"));
    ASSERT_TRUE(nested.startsWith(folder()));
    const QString link = folder() + QStringLiteral("/link.png");
    ASSERT_TRUE(QFile::link(outside, link));
    for (const QString &path : {outside, nested, folder() + QStringLiteral("/../../../outside/b.png"), link}) {
        store(path);
        commands.clearBackgroundImage();
        EXPECT_EQ(stored(), QString());
    }
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_TRUE(QFile::exists(nested));
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    // An empty or relative path is never taken relative to the working
    // folder, even when that is the wallpaper folder.
    const QString kept = image(QStringLiteral("data/Folvan/Wallpapers/D.png"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder());
    for (const QString &path : {QStringLiteral("D.png"), QString()}) {
        store(path);
        commands.clearBackgroundImage();
    }
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_EQ(stored(), QString());
}

TEST_F(BackgroundImageCommandsTest, AReadOnlyWindowSaysWhyTheWallpaperCannotChangeAndChangesNothing)
{
    commands.copyImageToAppDirectory(image(QStringLiteral("a.png")));
    const QString current = stored();
    chosen = image(QStringLiteral("b.png"));
    int asked = 0;
    workspace::shellDialogs().chooseFile = [&](QWidget *, const workspace::FileChoice &) {
        ++asked;
        return chosen;
    };
    {
        folvan::test::HeldDataFolder other;
        commands.selectBackgroundImage();
        commands.copyImageToAppDirectory(chosen);
        commands.clearBackgroundImage();
        EXPECT_EQ(asked, 0); // not asked for a picture it cannot keep
        ASSERT_EQ(alerts.size(), 3);
        const QString why = QStringLiteral("另一个 Folvan 窗口正在使用同一个数据文件夹，这个窗口只读，不能更改壁纸。"
                                           "请在那个窗口中更改，或等它退出后再试。");
        EXPECT_EQ(alerts.at(0), QStringLiteral("无法保存壁纸|") + why);
        EXPECT_EQ(alerts.at(1), QStringLiteral("无法保存壁纸|") + why);
        EXPECT_EQ(alerts.at(2), QStringLiteral("无法清除壁纸|") + why);
        EXPECT_EQ(stored(), current);
        EXPECT_EQ(copies(), QStringList{QFileInfo(current).fileName()});

        other.otherQuits();
        ASSERT_TRUE(folvan::platform::DataFolderAccess::shared().retry());
        commands.selectBackgroundImage();
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(alerts.size(), 3);
    EXPECT_EQ(contents(stored()), png());
    EXPECT_NE(stored(), current);
}

} // namespace
