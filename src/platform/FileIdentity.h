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

// What tells the file at `path` apart from a later file that the file
// system gives the same numbers after it was deleted: the file's birth time
// where the file system keeps one ("birth:SECONDS.NANOSECONDS"), otherwise
// its size and a digest of its first and last 64 KiB
// ("content:SIZE:SHA256"). Absent when the file cannot be read.
std::optional<QString> fileFingerprint(const QString &path);

// Whether the item at `path` is the file recorded with `identity` and
// `fingerprint`: the numbers must agree and, when a fingerprint was kept
// with them, the fingerprint too. Records written without a fingerprint
// match by the numbers alone.
bool isRecordedFile(const QString &path, const std::optional<QString> &identity,
                    const std::optional<QString> &fingerprint);

// A readable entry of `folder` that is the file recorded with `identity`
// and `fingerprint` (see isRecordedFile); empty when none.
QString findByIdentity(const QString &folder, const QString &identity,
                       const std::optional<QString> &fingerprint = std::nullopt);

} // namespace folvan::platform
