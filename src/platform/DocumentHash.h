#pragma once

#include <QString>

namespace folvan::platform {

// The standardized form of an absolute path: "." and ".." components and
// repeated separators removed lexically, symbolic links not resolved.
QString standardizedPath(const QString &path);

// The per-document file name: lower-case hexadecimal SHA-256 of the UTF-8
// of the document's standardized path.
QString documentFileName(const QString &path);

} // namespace folvan::platform
