#include "app/QuitGuard.h"

#include "history/ReadingHistory.h"
#include "notes/PaperNotesStore.h"
#include "platform/DataFolderAccess.h"
#include "platform/UnsavedChanges.h"

#include <QMessageBox>
#include <QPushButton>

namespace folvan::app {

namespace {

bool askWithAlert(const QStringList &unsaved, QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("部分更改未能保存"),
                    QStringLiteral("以下更改无法写入磁盘，退出后会丢失：\n") + unsaved.join(QLatin1Char('\n')),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("留下可以先把文字复制出来。"));
    QPushButton *stay = box.addButton(QStringLiteral("留下"), QMessageBox::RejectRole);
    box.addButton(QStringLiteral("仍然退出"), QMessageBox::DestructiveRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() != stay;
}

QuitQuestion &question()
{
    static QuitQuestion current;
    return current;
}

bool &unattended()
{
    static bool flag = false;
    return flag;
}

} // namespace

void quitWithoutQuestion()
{
    unattended() = true;
}

void setQuitQuestion(QuitQuestion replacement)
{
    question() = std::move(replacement);
}

bool mayQuit(QWidget *parent)
{
    // What is typed in a form still open goes to its store before the
    // stores write.
    platform::confirmOpenForms();
    // A read-only reader quits: what it holds goes into the data folder
    // now, merged with what the other reader wrote, whether or not that one
    // still runs. The stores and panes write as the hold ends.
    platform::DataFolderAccess &access = platform::DataFolderAccess::shared();
    const bool readOnly = access.readOnly() && !access.retry();
    if (readOnly)
        access.holdWritesBack(false);
    history::ReadingHistory::shared().flush();
    notes::PaperNotesStore::shared().flush();
    const QStringList unsaved = platform::unsavedDescriptions(true);
    if (unsaved.isEmpty() || unattended())
        return true;
    const bool quit = question() ? question()(unsaved, parent) : askWithAlert(unsaved, parent);
    if (quit)
        platform::markUnsavedTold();
    else if (readOnly)
        access.holdWritesBack(true);
    return quit;
}

} // namespace folvan::app
