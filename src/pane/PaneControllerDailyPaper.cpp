// Daily paper: the reader picks a folder and the pane opens the PDF in it
// with the fewest pages.

#include "pane/PaneController.h"

#include "engine/PdfDocument.h"
#include "history/ReadingHistory.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"

#include <QDir>
#include <QFileInfo>

namespace folvan::pane {

namespace {

// Plain order of the paths' Unicode scalar values, on their composed forms;
// neither locale-aware nor numeric.
bool pathSortsBefore(const QUrl &a, const QUrl &b)
{
    return a.toLocalFile().normalized(QString::NormalizationForm_C).toUcs4()
        < b.toLocalFile().normalized(QString::NormalizationForm_C).toUcs4();
}

} // namespace

void PaneController::openShortPDF()
{
    if (!m_fileChooser)
        return;
    const QString key = platform::prefkey::lastAccessedDirectory;
    platform::Preferences &defaults = platform::Preferences::shared();
    const std::optional<QUrl> folder =
        m_fileChooser->chooseFolder(QStringLiteral("选择论文文件夹，将打开页数最少的 PDF"),
                                    QStringLiteral("选择文件夹"), defaults.urlValue(key));
    if (!folder || folder->isEmpty())
        return;
    defaults.setValue(key, *folder);
    loadShortPDF(getPDFsFromFolder(*folder));
}

QList<QUrl> PaneController::getPDFsFromFolder(const QUrl &folder)
{
    QList<QUrl> urls;
    const QDir dir(folder.toLocalFile());
    if (!folder.isLocalFile() || !dir.exists())
        return urls;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix().toLower() == QLatin1String("pdf"))
            urls.append(QUrl::fromLocalFile(entry.absoluteFilePath()));
    }
    return urls;
}

void PaneController::loadShortPDF(const QList<QUrl> &urls)
{
    saveReading(false);
    history().flush();
    m_openGeneration = QUuid::createUuid();
    platform::runConcurrently([pane = QPointer<PaneController>(this), token = m_openGeneration, urls] {
        std::optional<QUrl> choice = pickShortestPaper(urls);
        platform::runOnMain([pane, token, choice] {
            if (pane)
                pane->finishDailyPaper(token, choice);
        });
    });
}

std::optional<QUrl> PaneController::pickShortestPaper(const QList<QUrl> &urls)
{
    std::optional<QUrl> best;
    int bestPages = 0;
    for (const QUrl &url : urls) {
        int pages = 0;
        if (url.isLocalFile()) {
            // One document at a time; each is released after counting.
            if (const auto document = engine::PdfDocument::open(url.toLocalFile()))
                pages = document->pageCount();
        }
        if (pages <= 0)
            continue;
        if (!best || pages < bestPages || (pages == bestPages && pathSortsBefore(url, *best))) {
            best = url;
            bestPages = pages;
        }
    }
    return best;
}

void PaneController::finishDailyPaper(const QUuid &token, const std::optional<QUrl> &choice)
{
    if (token != m_openGeneration)
        return;
    if (!choice) {
        showAlertMessage(kNoReadablePDFInFolder);
        resumeInterruptedSearch();
        return;
    }
    loadPDF(*choice);
}

} // namespace folvan::pane
