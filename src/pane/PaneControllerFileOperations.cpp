// Operations on the open paper's file (move, reveal, open elsewhere, trash)
// and how a pane follows what the other pane did to a paper both show.

#include "pane/PaneController.h"

#include "history/ReadingHistory.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/Desktop.h"
#include "platform/FileIdentity.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "pane/PaneNotifications.h"
#include "pane/PanePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace folvan::pane {

void PaneController::moveCurrentPDF()
{
    const QUrl oldURL = m_viewModel->pdfDocumentURL();
    if (oldURL.isEmpty())
        return;
    if (!m_fileChooser)
        return;
    const QString key = platform::prefkey::lastMovePanelURL;
    platform::Preferences &defaults = platform::Preferences::shared();
    const std::optional<QUrl> folder =
        m_fileChooser->chooseFolder(QStringLiteral("选择目标文件夹"), QStringLiteral("移动"), defaults.urlValue(key));
    if (!folder || folder->isEmpty())
        return;
    defaults.setValue(key, *folder);

    const QUrl newURL = QUrl::fromLocalFile(QDir(folder->toLocalFile()).filePath(oldURL.fileName()));
    QString error;
    if (!platform::renameWithoutReplacing(oldURL.toLocalFile(), newURL.toLocalFile(), &error)) {
        showAlertMessage(QStringLiteral("无法移动 PDF： ") + error);
        return;
    }
    platform::runOnMain(this, [this, oldURL, newURL] { completeMove(oldURL, newURL); });
}

void PaneController::completeMove(const QUrl &oldURL, const QUrl &newURL)
{
    relocateOpenPaper(oldURL, newURL);
    saveReading(false);
    history().flush();
    setFileName(newURL.fileName());
    postRelocation(oldURL, newURL);
}

void PaneController::relocateOpenPaper(const QUrl &oldURL, const QUrl &newURL)
{
    model::SharedPDFViewModel &model = *m_viewModel;
    // What another paper keeps under the new name goes to that paper, and
    // the paper's own files follow it, before anything is written there.
    PaperAccount account = paperAccount();
    QUuid id;
    const bool settled = !m_heldPaper && account.relocating(m_currentPaperID, oldURL.toLocalFile(),
                                                            newURL.toLocalFile(), &id);
    model.documentMoved(newURL);
    if (settled) {
        m_annotations->sideFilesSettled(account.annotationFile(oldURL.toLocalFile()));
        model.sideFilesSettled(account.bookmarkFile(oldURL.toLocalFile()));
        setCurrentPaperID(id);
    } else if (!m_heldPaper) {
        // Nothing moved: its files stay under the old name, and what
        // changes waits for a settling of the new one to take them along.
        holdPaper({m_firstIdentifier, m_currentPaperID.value_or(id), account.annotationFile(oldURL.toLocalFile()),
                   account.bookmarkFile(oldURL.toLocalFile()), oldURL.toLocalFile()});
    }
    // Their files went along: only what is unsaved is written now.
    if (m_annotations->markupsUnsaved())
        m_annotations->persistMarkups();
    if (model.bookmarksUnsaved())
        model.persistBookmarks();
}

void PaneController::postRelocation(const QUrl &oldURL, const QUrl &newURL)
{
    platform::NotificationCenter::shared().post(DocumentRelocated{m_viewModel->readingSessionID(), oldURL, newURL});
}

void PaneController::showPDFInFinder()
{
    const QUrl url = m_viewModel->pdfDocumentURL();
    if (url.isEmpty())
        return;
    const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
    platform::revealInFileManager(url.toLocalFile(), [pane = QPointer<PaneController>(this), folder] {
        if (pane)
            pane->showAlertMessage(QStringLiteral("无法显示 PDF 所在的文件夹：没有文件管理器响应。\n") + folder);
    });
}

void PaneController::openPDFInDefaultViewer()
{
    const QUrl url = m_viewModel->pdfDocumentURL();
    if (!url.isEmpty())
        platform::openInDefaultApplication(url);
}

void PaneController::deleteCurrentPDF()
{
    const QUrl url = m_viewModel->pdfDocumentURL();
    if (url.isEmpty()) {
        showAlertMessage(QStringLiteral("当前没有打开的 PDF"));
        return;
    }
    QString error;
    if (!platform::moveToTrash(url.toLocalFile(), &error)) {
        showAlertMessage(QStringLiteral("无法移到废纸篓： ") + error);
        return;
    }
    platform::NotificationCenter::shared().post(DocumentTrashed{m_viewModel->readingSessionID(), url});
    // The paper's marks and its place are kept for it, should it come
    // back; its history record is forgotten.
    saveReading(true);
    // A paper whose name was never settled leaves what lies under it alone:
    // that is another paper's.
    if (!m_heldPaper)
        paperAccount().wentAway(url.toLocalFile());
    closePDF();
}

void PaneController::handleRelocation(const DocumentRelocated &moved)
{
    if (moved.session == m_viewModel->readingSessionID() || moved.newURL.isEmpty()
        || !sameFile(moved.oldURL, m_viewModel->pdfDocumentURL()))
        return;
    m_viewModel->captureNativeReading();
    m_viewModel->documentMoved(moved.newURL);
    setFileName(moved.newURL.fileName());
    setCurrentPaperID(paperNotes().registerPaper(moved.newURL.toLocalFile()));
}

void PaneController::followPaperMovedByAnotherReader()
{
    paperNotes().takeInChanges();
    followPaperRecord();
    settleHeldPaper();
}

void PaneController::followPaperRecord()
{
    const QUrl url = m_viewModel->pdfDocumentURL();
    const std::optional<notes::NotePaper> record = m_currentPaperID ? paperNotes().paper(m_currentPaperID) : std::nullopt;
    if (url.isEmpty() || !record || !record->fileFingerprint)
        return;
    const auto holdsThePaper = [&record](const QString &path) {
        return platform::isRecordedFile(path, record->fileIdentity, record->fileFingerprint);
    };
    const QString here = standardizedFilePath(url);
    if (holdsThePaper(here))
        return;
    // Its file was found nowhere, and its name may hold another paper now:
    // the pane lets go of it, as of a paper gone to the trash.
    if (!record->holdsItsName())
        return closePDF();
    if (record->path == here || !holdsThePaper(record->path))
        return;
    const QUrl moved = QUrl::fromLocalFile(record->path);
    m_viewModel->captureNativeReading();
    m_annotations->documentFollowed(url, moved);
    m_viewModel->documentFollowed(moved);
    setFileName(moved.fileName());
}

void PaneController::handleTrash(const DocumentTrashed &trashed)
{
    if (trashed.session != m_viewModel->readingSessionID() && sameFile(trashed.url, m_viewModel->pdfDocumentURL()))
        closePDF();
}

} // namespace folvan::pane
