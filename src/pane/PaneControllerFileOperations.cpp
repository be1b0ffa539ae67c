// Operations on the open paper's file (move, reveal, open elsewhere, trash)
// and how a pane follows what the other pane did to a paper both show.

#include "pane/PaneController.h"

#include "history/ReadingHistory.h"
#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/Desktop.h"
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
    history().relocate(oldURL.toLocalFile(), newURL.toLocalFile());
    model.documentMoved(newURL);
    setCurrentPaperID(paperNotes().registerPaper(newURL.toLocalFile()));
    // The side files are written anew under the new name (a file that
    // could not be read is carried over as it is).
    m_annotations->persistMarkups();
    model.persistBookmarks();
    handOverSideFiles(oldURL, newURL, !m_annotations->markupsUnsaved(), !model.bookmarksUnsaved());
}

// A file that later arrives under a name the paper left (a download of the
// same name, say) is another paper: the marks and the page stored for that
// name must not become its own. The paper's side files go to its new name
// (copied when nothing lies there yet: a file of the new name's own is
// never replaced) and those of the old name are then set aside, keeping
// their bytes (NAME.moved-...); the page stored for the old name goes with
// the paper. A side file that has no copy under the new name stays where
// it is: it still holds what the new name lacks.
void PaneController::handOverSideFiles(const QUrl &oldURL, const QUrl &newURL, bool markups, bool bookmarks)
{
    platform::Preferences &defaults = platform::Preferences::shared();
    const QString oldPage = platform::prefkey::lastPage(oldURL.path());
    if (defaults.contains(oldPage)) {
        const QString newPage = platform::prefkey::lastPage(newURL.path());
        if (!defaults.contains(newPage))
            defaults.setValue(newPage, defaults.value(oldPage));
        defaults.remove(oldPage);
    }

    const auto handOver = [](const QString &former, const QString &current) {
        if (former.isEmpty() || current.isEmpty() || former == current || !QFileInfo(former).isFile())
            return;
        QString error;
        if (!QFileInfo::exists(current) && !platform::copyWithoutReplacing(former, current, &error))
            return;
        // A file that cannot be set aside stays as it is; it is never
        // removed instead.
        platform::moveAside(former, QStringLiteral("moved"), &error);
    };
    if (markups)
        handOver(m_annotations->markupURL(oldURL), m_annotations->markupURL(newURL));
    if (bookmarks)
        handOver(m_viewModel->bookmarkURL(oldURL), m_viewModel->bookmarkURL(newURL));
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
    const QString path = standardizedFilePath(url);
    for (const history::RecentReading &record : history().records()) {
        if (record.path == path) {
            history().forget(record.id);
            break;
        }
    }
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

void PaneController::handleTrash(const DocumentTrashed &trashed)
{
    if (trashed.session != m_viewModel->readingSessionID() && sameFile(trashed.url, m_viewModel->pdfDocumentURL()))
        closePDF();
}

} // namespace folvan::pane
