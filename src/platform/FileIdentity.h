#pragma once

#include <QString>

#include <optional>

namespace folvan::platform {

// The identity of the item at `path` (not following a final symbolic link):
// its file system number and its file number in decimal, joined by a colon.
// It stays the same when the file gets a new name or folder inside one file
// system. Absent when the item's attributes cannot be read.
std::optional<QString> fileIdentity(const QString &path);

// Whether the current user may read the file at `path`, judged by its
// permission bits for the user's class (owner, group, others) as well as by
// the system's access check, so that a file whose mode grants no reading is
// unreadable for every user alike. A missing file or a folder is not
// readable.
bool isReadableFile(const QString &path);

// A readable entry of `folder` whose identity is `identity`; empty when none.
QString findByIdentity(const QString &folder, const QString &identity);

} // namespace folvan::platform
