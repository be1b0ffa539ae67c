#pragma once

// Comparing papers by their standardized file paths.

#include <QString>
#include <QUrl>

namespace folvan::pane {

// The standardized absolute path of a file URL ("." and ".." components
// and repeated separators removed); empty for an empty or non-file URL.
QString standardizedFilePath(const QUrl &url);

// Whether two file URLs name the same file after standardization; an empty
// URL names no file.
bool sameFile(const QUrl &a, const QUrl &b);

} // namespace folvan::pane
