#include "workspace/ShellDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace folvan::workspace {

namespace {

ShellDialogs platformDialogs()
{
    ShellDialogs dialogs;
    dialogs.chooseFile = [](QWidget *parent, const FileChoice &choice) -> QString {
        QFileDialog dialog(parent, choice.title, choice.startFolder);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!choice.nameFilters.isEmpty())
            dialog.setNameFilters(choice.nameFilters);
        if (!choice.prompt.isEmpty())
            dialog.setLabelText(QFileDialog::Accept, choice.prompt);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    };
    dialogs.alert = [](QWidget *parent, const QString &message, const QString &informative) {
        QMessageBox box(parent);
        box.setText(message);
        box.setInformativeText(informative);
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.exec();
    };
    dialogs.confirm = [](QWidget *parent, const QString &message, const QString &informative,
                         const QString &confirmButton, const QString &cancelButton) {
        QMessageBox box(parent);
        box.setText(message);
        box.setInformativeText(informative);
        QPushButton *yes = box.addButton(confirmButton, QMessageBox::AcceptRole);
        box.addButton(cancelButton, QMessageBox::RejectRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes;
    };
    return dialogs;
}

} // namespace

ShellDialogs &shellDialogs()
{
    static ShellDialogs dialogs = platformDialogs();
    return dialogs;
}

void resetShellDialogs()
{
    shellDialogs() = platformDialogs();
}

} // namespace folvan::workspace
