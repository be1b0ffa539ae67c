#pragma once

// How a pane puts its alerts, its confirmation and its file panels on the
// screen. The pane asks through these interfaces so that another look (or a
// test) can take their place; the defaults use QMessageBox and QFileDialog.

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWidget;

namespace folvan::window {

class PanePresenter {
public:
    virtual ~PanePresenter() = default;
    // The pane's failure alert: a title, the message and one button.
    virtual void showAlert(QWidget *pane, const QString &title, const QString &message,
                           const QString &button) = 0;
    // A destructive confirmation; true when the user confirmed.
    virtual bool confirm(QWidget *pane, const QString &title, const QString &message,
                         const QString &confirmButton, const QString &cancelButton) = 0;
};

class PaneFileChooser {
public:
    virtual ~PaneFileChooser() = default;
    // One PDF file (the extension in any letter case), starting in
    // `startFolder` when it is set; none when cancelled.
    virtual std::optional<QUrl> choosePDF(QWidget *pane, const QUrl &startFolder) = 0;
    // One folder, with a message and a prompt for the confirming button.
    virtual std::optional<QUrl> chooseFolder(QWidget *pane, const QString &message, const QString &prompt,
                                             const QUrl &startFolder) = 0;
};

std::unique_ptr<PanePresenter> makeDefaultPresenter();
std::unique_ptr<PaneFileChooser> makeDefaultFileChooser();

// The save panel of the annotation exports (Markdown and the annotated
// copy): the proposed name in the name field and the one file type of the
// export; a name typed without the extension gets it. Empty when cancelled.
QString chooseExportPathInSavePanel(const QString &proposedName, const QString &suffix);

// The open panel's name filter: PDF files whatever the case of "pdf".
QString pdfNameFilter();

} // namespace folvan::window
