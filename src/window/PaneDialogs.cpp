#include "window/PaneDialogs.h"


#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace folvan::window {

namespace {

class MessageBoxPresenter : public pane::PanePresenter {
public:
    explicit MessageBoxPresenter(QWidget *pane) : m_pane(pane) {}
    void showAlert(const QString &title, const QString &message, const QString &button) override
    {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, m_pane);
        box.setDefaultButton(box.addButton(button, QMessageBox::AcceptRole));
        box.exec();
    }

    bool confirm(const QString &title, const QString &message, const QString &confirmButton,
                 const QString &cancelButton) override
    {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, m_pane);
        QPushButton *yes = box.addButton(confirmButton, QMessageBox::DestructiveRole);
        QPushButton *no = box.addButton(cancelButton, QMessageBox::RejectRole);
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    }

private:
    QPointer<QWidget> m_pane;
};

class DialogFileChooser : public pane::PaneFileChooser {
public:
    explicit DialogFileChooser(QWidget *pane) : m_pane(pane) {}
    std::optional<QUrl> choosePDF(const QUrl &startFolder) override
    {
        QFileDialog dialog(m_pane);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilter(pdfNameFilter());
        if (startFolder.isLocalFile())
            dialog.setDirectory(startFolder.toLocalFile());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
            return std::nullopt;
        return dialog.selectedUrls().constFirst();
    }

    std::optional<QUrl> chooseFolder(const QString &message, const QString &prompt,
                                     const QUrl &startFolder) override
    {
        QFileDialog dialog(m_pane, message);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, prompt);
        if (startFolder.isLocalFile())
            dialog.setDirectory(startFolder.toLocalFile());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
            return std::nullopt;
        return dialog.selectedUrls().constFirst();
    }

private:
    QPointer<QWidget> m_pane;
};

} // namespace

QString chooseExportPathInSavePanel(const QString &proposedName, const QString &suffix)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const bool markdown = suffix.compare(QLatin1String("md"), Qt::CaseInsensitive) == 0;
    dialog.setNameFilter(markdown ? QStringLiteral("Markdown (*.md)") : QStringLiteral("PDF 文件 (*.pdf)"));
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::unique_ptr<pane::PanePresenter> makeDefaultPresenter(QWidget *pane)
{
    return std::make_unique<MessageBoxPresenter>(pane);
}

std::unique_ptr<pane::PaneFileChooser> makeDefaultFileChooser(QWidget *pane)
{
    return std::make_unique<DialogFileChooser>(pane);
}

QString pdfNameFilter()
{
    return QStringLiteral("PDF 文件 (*.[pP][dD][fF])");
}

} // namespace folvan::window
