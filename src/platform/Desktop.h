#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace folvan::platform {

void setClipboardText(const QString &text);
QString clipboardText();
// The primary selection of X11 desktops (pasted with the middle button);
// nothing where the platform has none.
void setPrimarySelectionText(const QString &text);

// Moves the file or folder to the trash; false with the system's error text.
bool moveToTrash(const QString &path, QString *error = nullptr);

// Shows the file selected in the file manager (org.freedesktop.FileManager1
// ShowItems over D-Bus); falls back to opening its folder with the desktop's
// opener (xdg-open). `failed` runs, later, when neither answered.
void revealInFileManager(const QString &path, std::function<void()> failed = {});
// What a command that does it is called: "在文件管理器中显示", or the
// platform's own name for its file manager where it has one.
QString revealInFileManagerTitle();

// Opens a file or URL in its default application.
bool openInDefaultApplication(const QUrl &url);

} // namespace folvan::platform
