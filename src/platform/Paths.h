#pragma once

#include <QString>

namespace folvan::platform {

// The Folvan data folder: the platform's generic data location + "/Folvan"
// (~/.local/share/Folvan on Linux). Empty when the platform has no data
// location; never a path relative to the working directory.
QString folvanDataFolder();

// A path inside the Folvan data folder; empty when there is no data folder.
QString folvanDataPath(const QString &relative);

// Creates `path` and its parents when missing. On failure returns false and
// sets *error (when given) to the system's error text; in a data folder
// whose writes are held back (DataFolderAccess), to its text.
bool ensureFolder(const QString &path, QString *error = nullptr);

} // namespace folvan::platform
