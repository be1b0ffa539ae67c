#include "app/BackgroundImageCommands.h"

#include "platform/DataFolderAccess.h"
#include "platform/Paths.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/SystemErrors.h"
#include "workspace/ShellDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QUuid>

namespace folvan::app {

namespace {

const QString kSaveFailed = QStringLiteral("无法保存壁纸");
const QString kClearFailed = QStringLiteral("无法清除壁纸");

// Whether the file at `path` is one the panes can show: a regular file
// that decodes as an image, whatever its name says.
bool isReadableImage(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return !reader.read().isNull();
}

} // namespace

BackgroundImageCommands::BackgroundImageCommands(QWidget *dialogParent)
    : m_dialogParent(dialogParent)
{
}

QString BackgroundImageCommands::wallpaperFolder()
{
    return platform::folvanDataPath(QStringLiteral("Wallpapers"));
}

QMenu *BackgroundImageCommands::addMenu(QMenuBar *bar) const
{
    QMenu *menu = bar->addMenu(QStringLiteral("壁纸"));
    const BackgroundImageCommands commands = *this;
    QObject::connect(menu->addAction(QStringLiteral("选择壁纸…")), &QAction::triggered, menu,
                     [commands] { commands.selectBackgroundImage(); });
    QObject::connect(menu->addAction(QStringLiteral("清除壁纸")), &QAction::triggered, menu,
                     [commands] { commands.clearBackgroundImage(); });
    return menu;
}

bool BackgroundImageCommands::refusedWhileReadOnly(const QString &title) const
{
    // The copies live in the data folder, which another reader writes now;
    // the preference naming them is shared with that reader too.
    if (!platform::DataFolderAccess::shared().holdsBack(wallpaperFolder()))
        return false;
    workspace::shellDialogs().alert(
        m_dialogParent, title,
        QStringLiteral("另一个 Folvan 窗口正在使用同一个数据文件夹，这个窗口只读，不能更改壁纸。"
                       "请在那个窗口中更改，或等它退出后再试。"));
    return true;
}

void BackgroundImageCommands::selectBackgroundImage() const
{
    if (refusedWhileReadOnly(kSaveFailed))
        return;
    workspace::FileChoice choice;
    choice.nameFilters = {QStringLiteral("图像 (*.png *.jpg *.jpeg *.tif *.tiff *.bmp *.gif "
                                         "*.PNG *.JPG *.JPEG *.TIF *.TIFF *.BMP *.GIF)")};
    const QString source = workspace::shellDialogs().chooseFile(m_dialogParent, choice);
    if (!source.isEmpty())
        copyImageToAppDirectory(source);
}

void BackgroundImageCommands::copyImageToAppDirectory(const QString &source) const
{
    if (refusedWhileReadOnly(kSaveFailed))
        return;
    // A file the panes cannot show would take the place of the wallpaper
    // in use and delete its copy. One that is missing is left to the copy,
    // which names the system's reason.
    if (QFileInfo::exists(source) && !isReadableImage(source)) {
        workspace::shellDialogs().alert(m_dialogParent, kSaveFailed,
                                        QStringLiteral("“%1”不是可以读取的图像，壁纸没有更改。")
                                            .arg(QFileInfo(source).fileName()));
        return;
    }
    const QString folder = wallpaperFolder();
    QString error;
    bool copied = false;
    if (folder.isEmpty()) {
        error = QStringLiteral("没有可用的应用数据文件夹。");
    } else if (platform::ensureFolder(folder, &error)) {
        const QString suffix = QFileInfo(source).suffix();
        QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        if (!suffix.isEmpty())
            name += QLatin1Char('.') + suffix;
        const QString destination = QDir(folder).filePath(name);
        QFile file(source);
        copied = file.copy(destination);
        if (copied) {
            clearBackgroundImage();
            platform::Preferences::shared().setValue(platform::prefkey::backgroundImagePath, destination);
            return;
        }
        error = platform::describedSystemError(file.errorString());
    }
    workspace::shellDialogs().alert(m_dialogParent, kSaveFailed, error);
}

void BackgroundImageCommands::clearBackgroundImage() const
{
    if (refusedWhileReadOnly(kClearFailed))
        return;
    platform::Preferences &preferences = platform::Preferences::shared();
    const QString stored = preferences.stringValue(platform::prefkey::backgroundImagePath);
    preferences.setValue(platform::prefkey::backgroundImagePath, QString());

    // An empty or relative path names no copy of ours: it would otherwise be
    // taken relative to the working folder.
    const QString folder = wallpaperFolder();
    if (stored.isEmpty() || folder.isEmpty() || QDir::isRelativePath(stored))
        return;
    const QFileInfo current(QDir::cleanPath(stored));
    if (QDir::cleanPath(current.absolutePath()) != QDir::cleanPath(folder))
        return;
    if (current.isSymLink() || !current.isFile())
        return;
    QFile::remove(current.absoluteFilePath());
}

} // namespace folvan::app
