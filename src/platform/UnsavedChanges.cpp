#include "platform/UnsavedChanges.h"

#include <QList>

namespace folvan::platform {

namespace {

struct Pending {
    QString file;
    QString description;
    bool told = false;
};

QList<Pending> &pending()
{
    static QList<Pending> list;
    return list;
}

} // namespace

void noteUnsaved(const QString &file, const QString &description)
{
    for (Pending &entry : pending()) {
        if (entry.file == file) {
            entry.description = description;
            return;
        }
    }
    pending().append({file, description});
}

void noteSaved(const QString &file)
{
    pending().removeIf([&](const Pending &entry) { return entry.file == file; });
}

QStringList unsavedDescriptions(bool untoldOnly)
{
    QStringList descriptions;
    for (const Pending &entry : pending())
        if (!untoldOnly || !entry.told)
            descriptions.append(entry.description);
    return descriptions;
}

void markUnsavedTold()
{
    for (Pending &entry : pending())
        entry.told = true;
}

} // namespace folvan::platform
