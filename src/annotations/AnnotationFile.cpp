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
    QFile file(path);
    content.exists = file.exists();
    if (!content.exists)
        return content;
    if (!file.open(QIODevice::ReadOnly)) {
        content.error = file.errorString();
        return content;
    }
    content.markups = decodeMarkups(file.readAll(), &content.error);
    return content;
}

QString droppedCopyPath(const QString &path)
{
    return path + QStringLiteral(".dropped-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

void AnnotationFileKeeper::reset()
{
    m_unreadablePath.clear();
    m_droppedPath.clear();
}

void AnnotationFileKeeper::noteReadable(const QString &path)
{
    if (m_unreadablePath == path)
        m_unreadablePath.clear();
    if (m_droppedPath == path)
        m_droppedPath.clear();
}

namespace {

bool copyBeside(const QString &path, QString *error)
{
    const QString base = droppedCopyPath(path);
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    return platform::copyWithoutReplacing(path, target, error);
}

} // namespace

bool AnnotationFileKeeper::write(const QString &path, const std::vector<ReadingMarkup> &markups, QString *error)
{
    QByteArray data;
    if (!encodeMarkups(markups, &data, error))
        return false;

    if (!m_unreadablePath.isEmpty() && m_unreadablePath != path) {
        if (QFileInfo::exists(m_unreadablePath)) {
            // Renamed or moved before anything was saved: the new name gets
            // the file that could not be read, not an empty list.
            if (!platform::copyWithoutReplacing(m_unreadablePath, path, error))
                return false;
            m_unreadablePath = path;
            return true;
        }
        m_unreadablePath.clear();
    }

    if (m_unreadablePath == path && QFileInfo::exists(path)) {
        const MarkupFileContent current = readMarkupFile(path);
        if (!current.markups && !platform::moveAsideUnreadable(path, error))
            return false;
    }
    m_unreadablePath.clear();

    if (m_droppedPath == path && QFileInfo::exists(path) && !copyBeside(path, error))
        return false;
    m_droppedPath.clear();

    return platform::writeFileAtomically(path, data, error);
}

} // namespace folvan::annotations
