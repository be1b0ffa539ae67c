#include "pane/PanePaths.h"

#include "platform/DocumentHash.h"

#include <QFileInfo>

namespace folvan::pane {

QString standardizedFilePath(const QUrl &url)
{
    if (url.isEmpty() || !url.isLocalFile())
        return {};
    return platform::standardizedPath(QFileInfo(url.toLocalFile()).absoluteFilePath());
}

bool sameFile(const QUrl &a, const QUrl &b)
{
    const QString left = standardizedFilePath(a);
    return !left.isEmpty() && left == standardizedFilePath(b);
}

} // namespace folvan::pane
