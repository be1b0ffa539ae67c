#include "annotations/AnnotationFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

#include "annotations/Rects.h"
#include "platform/DocumentHash.h"
#include "platform/StoredFiles.h"

namespace folvan::annotations {

QString markupFilePath(const QString &directory, const QString &documentPath)
{
    return QDir(directory).filePath(platform::documentFileName(documentPath) + QStringLiteral(".json"));
}

bool isValidMarkup(const ReadingMarkup &markup, const engine::PdfDocument &document)
{
    if (markup.page < 0 || markup.page >= document.pageCount())
        return false;
    if (!isMarkupKind(markup.kind) || markup.rectangles.empty())
        return false;
    const engine::PdfPage page = document.page(int(markup.page));
    if (!page.isValid())
        return false;
    const QRectF crop = page.cropBox();
    for (const QRectF &r : markup.rectangles) {
        if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width())
            || !std::isfinite(r.height()))
            return false;
        if (isEmptyRect(r) || !intersects(r, crop))
            return false;
    }
    return true;
}

MarkupFileContent readMarkupFile(const QString &path)
{
    MarkupFileContent content;
    QByteArray data;
    const platform::StoredRead read = platform::readStoredFile(path, &data, &content.error);
    content.exists = read != platform::StoredRead::Absent;
    if (read == platform::StoredRead::Read)
        content.markups = decodeMarkups(data, &content.error);
    return content;
}

void AnnotationFileKeeper::reset()
{
    m_unreadablePath.clear();
    m_droppedPath.clear();
    m_loadedPath.clear();
    m_encoder.clear();
}

void AnnotationFileKeeper::noteReadable(const QString &path)
{
    if (m_unreadablePath == path)
        m_unreadablePath.clear();
    if (m_droppedPath == path)
        m_droppedPath.clear();
    m_loadedPath = path;
}

bool AnnotationFileKeeper::write(const QString &path, const std::vector<ReadingMarkup> &markups, QString *error)
{
    QByteArray data;
    if (!m_encoder.encode(markups, &data, error))
        return false;

    if (!m_unreadablePath.isEmpty() && m_unreadablePath != path && QFileInfo::exists(m_unreadablePath)) {
        if (markups.empty() && !QFileInfo::exists(path) && QFileInfo(m_unreadablePath).isFile()) {
            // Renamed or moved before anything was saved: the new name gets
            // the file that could not be read, not an empty list.
            if (!platform::copyWithoutReplacing(m_unreadablePath, path, error))
                return false;
            m_unreadablePath = path;
            m_loadedPath = path;
            return true;
        }
        // The list goes to the paper's current file; the file that failed
        // to load stays aside under its own name.
        if (!platform::moveAsideUnreadable(m_unreadablePath, error))
            return false;
        m_unreadablePath.clear();
    }

    if (m_unreadablePath == path && QFileInfo::exists(path)) {
        if (!platform::moveAsideUnreadable(path, error))
            return false;
        m_loadedPath = path;
    }
    m_unreadablePath.clear();

    if (m_droppedPath == path && QFileInfo::exists(path) && !platform::copyAside(path, QStringLiteral("dropped"), error))
        return false;
    m_droppedPath.clear();

    // Never over a file this pane did not load, such as the one another
    // paper of the new name left.
    if (m_loadedPath != path && QFileInfo::exists(path) && !platform::moveAside(path, QStringLiteral("kept"), error))
        return false;

    if (!platform::writeFileAtomically(path, data, error))
        return false;
    m_loadedPath = path;
    return true;
}

} // namespace folvan::annotations
