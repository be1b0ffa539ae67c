#pragma once

// How a pane's alerts, its confirmation and its file panels look by
// default (QMessageBox and QFileDialog), and the panels of the exports.

#include "pane/PanePresenter.h"

#include <QString>

#include <memory>

class QWidget;

namespace folvan::window {

// The defaults: QMessageBox and QFileDialog over `pane`.
std::unique_ptr<pane::PanePresenter> makeDefaultPresenter(QWidget *pane);
std::unique_ptr<pane::PaneFileChooser> makeDefaultFileChooser(QWidget *pane);

// The save panel of the annotation exports (Markdown and the annotated
// copy): the proposed name in the name field and the one file type of the
// export; a name typed without the extension gets it. Empty when cancelled.
QString chooseExportPathInSavePanel(const QString &proposedName, const QString &suffix);

// The open panel's name filter: PDF files whatever the case of "pdf".
QString pdfNameFilter();

} // namespace folvan::window
