#include "platform/UnsavedChanges.h"

#include <QList>
#include <QPair>

namespace folvan::platform {

namespace {

QList<QPair<QString, QString>> &pending()
{
    static QList<QPair<QString, QString>> list;
    return list;
}

} // namespace

void noteUnsaved(const QString &file, const QString &description)
{
    for (auto &entry : pending()) {
        if (entry.first == file) {
            entry.second = description;
            return;
        }
    }
    pending().append({file, description});
}

void noteSaved(const QString &file)
{
    pending().removeIf([&](const QPair<QString, QString> &entry) { return entry.first == file; });
}

QStringList unsavedDescriptions()
{
    QStringList descriptions;
    for (const auto &entry : pending())
        descriptions.append(entry.second);
    return descriptions;
}

} // namespace folvan::platform
