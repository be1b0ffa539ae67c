// Renaming the open paper's file within its folder.

#include "pane/PaneController.h"

#include "history/ReadingHistory.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "pane/PanePaths.h"
#include "pane/RenameRules.h"

#include <QFileInfo>

namespace folvan::pane {

namespace {

const QString kPdfSuffix = QStringLiteral(".pdf");

bool isValidFileName(const QString &name)
{
    // A separator or NUL that the rules let through would leave the folder
    // or cut the name.
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && name.toLower() != kPdfSuffix && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

void PaneController::beginRename()
{
    if (m_viewModel->pdfDocumentURL().isEmpty())
        return;
    // Only the lower-case extension is left out of the proposal.
    setEditableFileName(m_fileName.endsWith(kPdfSuffix) ? m_fileName.chopped(kPdfSuffix.size()) : m_fileName);
    setIsEditing(true);
    platform::runOnMain(this, [this] { setFilenameFocused(true); });
}

void PaneController::renameCancelled()
{
    setIsEditing(false);
    setFilenameFocused(false);
}

void PaneController::commitRename()
{
    renamePDF(m_editableFileName);
    setIsEditing(false);
}

void PaneController::renamePDF(const QString &typedName)
{
    const QUrl oldURL = m_viewModel->pdfDocumentURL();
    if (oldURL.isEmpty())
        return;
    const QString name = RenameRules::clean(typedName, platform::Preferences::shared()).trimmed();
    if (!isValidFileName(name)) {
        showAlertMessage(QStringLiteral("请输入有效的文件名。"));
        return;
    }
    // "Paper.PDF" already has its extension: no second one is added.
    const QString finalName = name.endsWith(kPdfSuffix, Qt::CaseInsensitive) ? name : name + kPdfSuffix;
    const QUrl newURL = QUrl::fromLocalFile(QFileInfo(oldURL.toLocalFile()).path() + QLatin1Char('/') + finalName);
    if (sameFile(newURL, oldURL))
        return;

    QString error;
    if (!platform::renameWithoutReplacing(oldURL.toLocalFile(), newURL.toLocalFile(), &error)) {
        showAlertMessage(QStringLiteral("无法重命名： ") + error);
        return;
    }
    relocateOpenPaper(oldURL, newURL);
    setFileName(newURL.fileName());
    postRelocation(oldURL, newURL);
    saveReading(false);
    history().flush();
}

} // namespace folvan::pane
