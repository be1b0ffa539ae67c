#pragma once

// Writing fetched bytes over a paper so that a wrong replace can be undone:
// the new content is written beside the paper first, the paper itself then
// goes to the trash, and the new file takes its name in one rename.

#include <QByteArray>
#include <QString>

namespace folvan::scholar {

// Puts `bytes` at `path` (a regular file) and the file that was there into
// the trash. On failure nothing has changed at `path` and `error` says why.
// `trashPath`, when given, receives where the old file went.
bool replaceFileKeepingOldInTrash(const QString &path, const QByteArray &bytes, QString *error,
                                  QString *trashPath = nullptr);

} // namespace folvan::scholar
