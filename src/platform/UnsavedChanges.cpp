#include "platform/UnsavedChanges.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <utility>

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

struct OpenForm {
    QPointer<QObject> form;
    std::function<void()> confirm;
};

QList<OpenForm> &openForms()
{
    static QList<OpenForm> list;
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

void confirmAtQuit(QObject *form, std::function<void()> confirm)
{
    openForms().removeIf([](const OpenForm &open) { return !open.form; });
    openForms().append({form, std::move(confirm)});
}

void confirmOpenForms()
{
    const QList<OpenForm> forms = std::exchange(openForms(), {});
    for (const OpenForm &open : forms)
        if (open.form)
            open.confirm();
}

} // namespace folvan::platform
