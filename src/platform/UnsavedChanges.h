#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

namespace folvan::platform {

// What the stores could not write to their files yet, by file, so that
// changes still unwritten at quit can be named. Main thread only.

// The change for `file` failed to be written; `description` names it for
// the reader ("阅读记录", "批注：paper.pdf").
void noteUnsaved(const QString &file, const QString &description);
// The file was written: nothing of it is pending any more.
void noteSaved(const QString &file);
// The descriptions of every file still pending, in the order first noted;
// with `untoldOnly`, only those noted since markUnsavedTold().
QStringList unsavedDescriptions(bool untoldOnly = false);
// The reader has been told of every change pending now (and chose to quit).
void markUnsavedTold();

// A form that hands what is typed in it to a store only when confirmed (an
// annotation's note) holds text no store knows of. While `form` lives, the
// quit runs `confirm` first, as the form's own confirming would, so that
// the stores then write it.
void confirmAtQuit(QObject *form, std::function<void()> confirm);
// The quit begins: confirms every form still open, once.
void confirmOpenForms();

} // namespace folvan::platform
