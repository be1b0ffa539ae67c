#pragma once

#include <QString>

class QMenu;
class QMenuBar;
class QWidget;

namespace folvan::app {

// The wallpaper behind the reading area: an image the user picks is copied
// into the Folvan "Wallpapers" folder, and "backgroundImagePath" names the
// copy; the reader panes draw it. Clearing resets the preference and deletes
// the copy, and never any file outside that folder. While another reader
// holds the data folder, neither is done: an alert says why.
class BackgroundImageCommands {
public:
    explicit BackgroundImageCommands(QWidget *dialogParent = nullptr);

    // The menu "壁纸" with "选择壁纸…" and "清除壁纸".
    QMenu *addMenu(QMenuBar *bar) const;

    // Asks for an image (PNG, JPEG, TIFF, BMP, GIF) and takes a copy of it.
    void selectBackgroundImage() const;
    // Copies the image at `source` to a fresh name in the wallpaper folder,
    // removes the previous copy and stores the new copy's path. A file that
    // is no readable image is refused. On failure shows "无法保存壁纸" and
    // changes nothing.
    void copyImageToAppDirectory(const QString &source) const;
    // Sets the preference to the empty string and deletes the file it named
    // when that is a regular file directly inside the wallpaper folder.
    void clearBackgroundImage() const;

    // <Folvan data folder>/Wallpapers; empty without a data folder.
    static QString wallpaperFolder();

private:
    // Says why the wallpaper cannot change now, under `title`, when another
    // reader holds the data folder.
    bool refusedWhileReadOnly(const QString &title) const;

    QWidget *m_dialogParent;
};

} // namespace folvan::app
