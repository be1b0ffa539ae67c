// Bookmarks of the open document and their file,
// <annotationDirectory>/<document hash>-bookmarks.json, written at once on
// every change.

#include "model/SharedPDFViewModel.h"

#include "engine/PdfDocument.h"
#include "platform/DataFolderAccess.h"
#include "platform/DocumentHash.h"
#include "platform/Paths.h"
#include "platform/Clock.h"
#include "platform/StoredFiles.h"
#include "platform/StoredMerge.h"
#include "platform/UnsavedChanges.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <QFileInfo>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace folvan::model {

namespace {

constexpr int kMaxTitleCharacters = 64;

bool fitsDocument(const ReadingBookmark &bookmark, int pageCount)
{
    return bookmark.location.page >= 0 && bookmark.location.page < pageCount
        && bookmark.location.hasFinitePoint();
}

bool readBookmarkFile(const QString &path, BookmarkList *out, QString *error,
                      platform::StoredFileVersion *version = nullptr)
{
    QByteArray data;
    const platform::StoredRead read = platform::readStoredFile(path, &data, error, version);
    if (read == platform::StoredRead::Absent)
        *error = QString::fromLocal8Bit(std::strerror(ENOENT));
    if (read != platform::StoredRead::Read)
        return false;
    return decodeBookmarkFile(data, out, error);
}

// The first `count` user-perceived characters of `text`.
QString leadingCharacters(const QString &text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int characters = 0;
    while (characters < count && finder.toNextBoundary() != -1)
        ++characters;
    return characters < count ? text : text.left(finder.position());
}

// The list another reader wrote merged into this pane's, both changed
// since `base`: one bookmark a page (a page both bookmarked keeps this
// pane's), in page order, without those the document has no place for.
BookmarkList mergedBookmarks(const BookmarkList &base, const BookmarkList &mine, const BookmarkList &theirs,
                             int pageCount)
{
    BookmarkList merged = platform::mergeRecords(
        base, mine, theirs, [](const ReadingBookmark &b) { return b.id; },
        [](const ReadingBookmark &ours, const ReadingBookmark &) { return ours; });
    std::stable_sort(merged.begin(), merged.end(),
                     [](const ReadingBookmark &a, const ReadingBookmark &b) { return a.location.page < b.location.page; });
    BookmarkList kept;
    for (const ReadingBookmark &bookmark : merged) {
        if (fitsDocument(bookmark, pageCount) && (kept.empty() || kept.back().location.page != bookmark.location.page))
            kept.push_back(bookmark);
    }
    return kept;
}

QString bookmarkTitle(const QString &selection, std::int64_t page)
{
    QString text = selection.trimmed();
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.isEmpty())
        return QStringLiteral("第 %1 页").arg(page + 1);
    return leadingCharacters(text, kMaxTitleCharacters);
}

} // namespace

QString SharedPDFViewModel::bookmarkURL(const QUrl &documentURL) const
{
    if (m_annotationDirectory.isEmpty())
        return {};
    const QString path = platform::standardizedPath(documentURL.toLocalFile());
    return m_annotationDirectory + QLatin1Char('/') + platform::documentFileName(path)
        + QStringLiteral("-bookmarks.json");
}

void SharedPDFViewModel::loadBookmarks(const QUrl &documentURL, const PdfDocumentPtr &document,
                                       const std::optional<QString> &readFrom)
{
    resetNavigation();
    m_unreadableBookmarkFile.clear();
    m_droppedBookmarkFile.clear();
    m_bookmarkFileVersion = {};
    m_bookmarkBase.clear();
    m_bookmarkFileSetAside.clear();
    m_bookmarkFileAtLoad = readFrom.value_or(bookmarkURL(documentURL));
    m_bookmarksUnsavedKey = QStringLiteral("bookmarks#") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_bookmarksUnsaved = false;

    QStringList candidates{m_bookmarkFileAtLoad};
    if (m_services.formerPaths && !readFrom) {
        for (const QString &older : m_services.formerPaths(platform::standardizedPath(documentURL.toLocalFile())))
            candidates << bookmarkURL(QUrl::fromLocalFile(older));
    }
    const auto found = std::find_if(candidates.begin(), candidates.end(), [](const QString &path) {
        return !path.isEmpty() && QFileInfo::exists(path);
    });
    if (found == candidates.end())
        return;

    BookmarkList loaded;
    QString error;
    platform::StoredFileVersion version;
    if (!readBookmarkFile(*found, &loaded, &error, &version)) {
        // Kept as it is; moved aside before this document's next save would
        // replace it.
        m_unreadableBookmarkFile = *found;
        setNavigationError(QStringLiteral("无法载入书签：") + error);
        return;
    }
    const int pageCount = document ? document->pageCount() : 0;
    const auto outside = std::remove_if(loaded.begin(), loaded.end(),
                                        [pageCount](const ReadingBookmark &b) { return !fitsDocument(b, pageCount); });
    if (outside != loaded.end())
        m_droppedBookmarkFile = *found;
    loaded.erase(outside, loaded.end());
    if (*found == m_bookmarkFileAtLoad) {
        m_bookmarkFileVersion = version;
        m_bookmarkBase = loaded;
    }
    setBookmarks(std::move(loaded));
}

void SharedPDFViewModel::persistBookmarks()
{
    if (m_pdfDocumentURL.isEmpty())
        return;
    const auto fail = [this](const QString &error) {
        // Held back while another reader holds the data folder: the window
        // says so once, for every store.
        if (!platform::DataFolderAccess::shared().holdsBack(bookmarkURL(m_pdfDocumentURL)))
            setNavigationError(QStringLiteral("书签尚未保存：") + error);
        platform::noteUnsaved(m_bookmarksUnsavedKey, QStringLiteral("书签：") + m_pdfDocumentURL.fileName());
        m_bookmarksUnsaved = true;
        sideFileSaveFailed();
    };

    QString error;
    if (m_sideFilesHeld)
        return fail(*m_sideFilesHeld);
    if (!platform::ensureFolder(m_annotationDirectory, &error))
        return fail(error);
    const QString target = bookmarkURL(m_pdfDocumentURL);
    if (!m_unreadableBookmarkFile.isEmpty() && target != m_bookmarkFileAtLoad) {
        // The paper got a new name or folder after its bookmark file failed
        // to load: the list in memory lacks that file's bookmarks, so the
        // file itself is carried to the new name (never over another file).
        m_bookmarkFileAtLoad = target;
        m_bookmarkFileVersion = {};
        m_bookmarkBase.clear();
        if (!QFileInfo::exists(target) && QFileInfo(m_unreadableBookmarkFile).isFile()) {
            if (!platform::copyWithoutReplacing(m_unreadableBookmarkFile, target, &error))
                return fail(error);
            m_unreadableBookmarkFile = target;
        }
        return;
    }
    if (!m_unreadableBookmarkFile.isEmpty() && m_unreadableBookmarkFile == target
        && QFileInfo::exists(target)) {
        if (!platform::moveAsideUnreadable(target, &error, &m_bookmarkFileSetAside))
            return fail(error);
        m_unreadableBookmarkFile.clear();
        m_bookmarkFileVersion = {};
        m_bookmarkBase.clear();
    }
    if (target != m_bookmarkFileAtLoad) {
        // A new name: what was read concerns the former file.
        m_bookmarkFileVersion = {};
        m_bookmarkBase.clear();
    }
    if (m_droppedBookmarkFile == target && QFileInfo::exists(target)
        && !platform::copyAside(target, QStringLiteral("dropped"), &error))
        return fail(error);
    m_droppedBookmarkFile.clear();
    BookmarkList written = m_bookmarks;
    if (!writeBookmarkFile(target, &written, &error))
        return fail(error);
    // The list is saved: a later move carries this file, not one that once
    // failed to load (such as an older name's file, which stays untouched).
    m_unreadableBookmarkFile.clear();
    m_bookmarkFileAtLoad = target;
    m_bookmarksUnsaved = false;
    platform::noteSaved(m_bookmarksUnsavedKey);
    if (written != m_bookmarks) {
        setBookmarks(std::move(written));
        setReadingOverlayRevision(m_readingOverlayRevision + 1);
    }

    // A file that could not be read is kept, and the reader told where.
    if (!m_bookmarkFileSetAside.isEmpty())
        setNavigationError(QStringLiteral("书签文件无法读取，原文件已保留为 %1。").arg(QFileInfo(m_bookmarkFileSetAside).fileName()));
    else
        setNavigationError(std::nullopt);
    m_bookmarkFileSetAside.clear();
    notifySidecarChanged(SidecarKind::Bookmarks);
}

bool SharedPDFViewModel::writeBookmarkFile(const QString &target, BookmarkList *written, QString *error)
{
    const int pageCount = m_pdfDocument ? m_pdfDocument->pageCount() : 0;
    // Another reader may write between two tries: a few rounds, then the
    // save counts as failed (and is tried again later).
    for (int round = 0; round < 4; ++round) {
        QByteArray data;
        QByteArray current;
        if (!encodeBookmarkFile(*written, &data, error))
            return false;
        const platform::StoredWrite result =
            platform::writeStoredFile(target, &m_bookmarkFileVersion, data, &current, error);
        if (result == platform::StoredWrite::Failed)
            return false;
        if (result == platform::StoredWrite::Written) {
            m_bookmarkBase = *written;
            return true;
        }
        BookmarkList theirs;
        QString problem;
        if (current.isEmpty() || !decodeBookmarkFile(current, &theirs, &problem)) {
            // Left unreadable by someone else: kept aside, and named.
            if (!platform::moveAsideUnreadable(target, error, &m_bookmarkFileSetAside))
                return false;
            m_bookmarkFileVersion = {};
            m_bookmarkBase.clear();
            theirs.clear();
        }
        *written = mergedBookmarks(m_bookmarkBase, *written, theirs, pageCount);
        m_bookmarkBase = std::move(theirs);
        if (error)
            *error = QStringLiteral("另一个 Folvan 一再改写书签文件。");
    }
    return false;
}

void SharedPDFViewModel::retryUnsavedSideFiles()
{
    if (m_bookmarksUnsaved || (m_annotations && m_annotations->hasUnsavedAnnotations()))
        emit unsavedSideFilesAboutToBeWritten();
    if (m_annotations)
        m_annotations->retryUnsavedAnnotations();
    if (m_bookmarksUnsaved)
        persistBookmarks();
}

void SharedPDFViewModel::holdSideFiles(const std::optional<QString> &reason)
{
    m_sideFilesHeld = reason;
}

void SharedPDFViewModel::sideFilesSettled(const QString &from)
{
    const QString target = bookmarkURL(m_pdfDocumentURL);
    if (m_bookmarkFileAtLoad == from) {
        m_bookmarkFileAtLoad = target;
        m_bookmarkFileVersion = {};
    }
    if (!m_unreadableBookmarkFile.isEmpty() && m_unreadableBookmarkFile == from)
        m_unreadableBookmarkFile = target;
    if (!m_droppedBookmarkFile.isEmpty() && m_droppedBookmarkFile == from)
        m_droppedBookmarkFile = target;
}

void SharedPDFViewModel::sideFileSaveFailed()
{
    if (m_sideFileRetryScheduled)
        return;
    m_sideFileRetryScheduled = true;
    platform::runAfter(this, kSideFileRetrySeconds, [this] {
        m_sideFileRetryScheduled = false;
        retryUnsavedSideFiles();
    });
}

bool SharedPDFViewModel::readSharedBookmarks(BookmarkList *out, QString *error,
                                             platform::StoredFileVersion *version) const
{
    if (!readBookmarkFile(bookmarkURL(m_pdfDocumentURL), out, error, version))
        return false;
    const int pageCount = m_pdfDocument->pageCount();
    const bool allFit = std::all_of(out->begin(), out->end(),
                                    [pageCount](const ReadingBookmark &b) { return fitsDocument(b, pageCount); });
    if (!allFit)
        *error = QStringLiteral("未能打开文件，因为它的格式不正确。");
    return allFit;
}

void SharedPDFViewModel::reloadSharedBookmarks()
{
    if (m_pdfDocumentURL.isEmpty() || !m_pdfDocument)
        return;
    BookmarkList loaded;
    QString error;
    platform::StoredFileVersion version;
    if (!readSharedBookmarks(&loaded, &error, &version)) {
        setNavigationError(QStringLiteral("无法同步另一阅读区的书签：") + error);
        return;
    }
    // The file now holds what the other pane saved, readable again.
    m_unreadableBookmarkFile.clear();
    if (bookmarkURL(m_pdfDocumentURL) == m_bookmarkFileAtLoad) {
        m_bookmarkFileVersion = version;
        m_bookmarkBase = loaded;
    }
    setBookmarks(std::move(loaded));
    setReadingOverlayRevision(m_readingOverlayRevision + 1);
    setNavigationError(std::nullopt);
}

void SharedPDFViewModel::toggleBookmark()
{
    const ReadingLocation here = location();
    BookmarkList list = m_bookmarks;
    const auto onPage = std::find_if(list.begin(), list.end(), [&here](const ReadingBookmark &b) {
        return b.location.page == here.page;
    });
    if (onPage != list.end()) {
        list.erase(onPage);
    } else {
        list.push_back({QUuid::createUuid(), here, bookmarkTitle(m_selectionText, here.page)});
        std::stable_sort(list.begin(), list.end(), [](const ReadingBookmark &a, const ReadingBookmark &b) {
            return a.location.page < b.location.page;
        });
    }
    setBookmarks(std::move(list));
    persistBookmarks();
}

void SharedPDFViewModel::removeBookmark(const QUuid &id)
{
    BookmarkList list = m_bookmarks;
    list.erase(std::remove_if(list.begin(), list.end(), [&id](const ReadingBookmark &b) { return b.id == id; }),
               list.end());
    setBookmarks(std::move(list));
    persistBookmarks();
}

} // namespace folvan::model
