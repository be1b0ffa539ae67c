#include "scholar/DownloadPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace folvan::scholar {

namespace {

const QString kOK = QStringLiteral("确定");

void runAlert(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &message)
{
    QMessageBox box(icon, title, title, QMessageBox::NoButton, parent);
    box.setInformativeText(message);
    box.setDefaultButton(box.addButton(kOK, QMessageBox::AcceptRole));
    box.exec();
}

// A warning whose first button, `accept`, is the answer asked for.
bool ask(QWidget *parent, const QString &message, const QString &informativeText, const QString &accept,
         bool acceptIsDefault)
{
    QMessageBox box(QMessageBox::Warning, message, message, QMessageBox::NoButton, parent);
    box.setInformativeText(informativeText);
    QPushButton *yes = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(acceptIsDefault ? yes : cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == yes;
}

class DialogPrompts : public DownloadPrompts {
public:
    void alert(QWidget *parent, const QString &title, const QString &message) override
    {
        runAlert(QMessageBox::Warning, parent, title, message);
    }

    void inform(QWidget *parent, const QString &title, const QString &message) override
    {
        runAlert(QMessageBox::Information, parent, title, message);
    }

    bool confirmReplace(QWidget *parent, const QString &message, const QString &informativeText) override
    {
        return ask(parent, message, informativeText, QStringLiteral("替换"), true);
    }

    bool confirmIncompleteSave(QWidget *parent, const QString &message, const QString &informativeText) override
    {
        return ask(parent, message, informativeText, QStringLiteral("仍然保存"), false);
    }

    std::optional<QString> chooseSavePath(QWidget *parent, const QString &suggestedName,
                                          const QUrl &startFolder) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QStringLiteral("PDF 文件 (*.pdf)"));
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        if (startFolder.isLocalFile())
            dialog.setDirectory(startFolder.toLocalFile());
        dialog.selectFile(suggestedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

} // namespace

std::shared_ptr<DownloadPrompts> makeDefaultDownloadPrompts()
{
    return std::make_shared<DialogPrompts>();
}

} // namespace folvan::scholar
