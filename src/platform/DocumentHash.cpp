#include "platform/DocumentHash.h"

#include <QCryptographicHash>
#include <QDir>

namespace folvan::platform {

QString standardizedPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    QString absolute = path;
    if (QDir::isRelativePath(absolute))
        absolute = QDir::currentPath() + QLatin1Char('/') + absolute;
    QString clean = QDir::cleanPath(absolute);
    // ".." above the root stays at the root.
    while (clean.startsWith(QLatin1String("/..")) && (clean.size() == 3 || clean.at(3) == QLatin1Char('/')))
        clean = clean.size() == 3 ? QStringLiteral("/") : clean.mid(3);
    return clean;
}

QString documentFileName(const QString &path)
{
    const QByteArray digest =
        QCryptographicHash::hash(standardizedPath(path).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex());
}

} // namespace folvan::platform
