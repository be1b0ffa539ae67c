#include "annotations/AnnotationFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include "annotations/Rects.h"
#include "platform/DocumentHash.h"
#include "platform/Queues.h"
#include "platform/StoredFiles.h"
#include "platform/StoredJson.h"
#include "platform/StoredMerge.h"

namespace folvan::annotations {

QString markupFilePath(const QString &directory, const QString &documentPath)
{
    return QDir(directory).filePath(platform::documentFileName(documentPath) + QStringLiteral(".json"));
}

namespace {

// The crop box of a page of the document, when the page exists.
std::optional<QRectF> cropBoxOf(const engine::PdfDocument &document, qint64 index)
{
    if (index < 0 || index >= document.pageCount())
        return std::nullopt;
    const engine::PdfPage page = document.page(int(index));
    if (!page.isValid())
        return std::nullopt;
    return page.cropBox();
}

// Whether a markup of a known kind fits a page with the crop box `crop`.
bool fitsPage(const ReadingMarkup &markup, const QRectF &crop)
{
    if (!isMarkupKind(markup.kind) || markup.rectangles.empty())
        return false;
    for (const QRectF &r : markup.rectangles) {
        if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width())
            || !std::isfinite(r.height()))
            return false;
        if (isEmptyRect(r) || !intersects(r, crop))
            return false;
    }
    return true;
}

} // namespace

bool isValidMarkup(const ReadingMarkup &markup, const engine::PdfDocument &document)
{
    const std::optional<QRectF> crop = cropBoxOf(document, markup.page);
    return crop && fitsPage(markup, *crop);
}

MarkupFileContent readMarkupFile(const QString &path)
{
    MarkupFileContent content;
    QByteArray data;
    const platform::StoredRead read = platform::readStoredFile(path, &data, &content.error, &content.version);
    content.exists = read != platform::StoredRead::Absent;
    if (read == platform::StoredRead::Read)
        content.markups = decodeMarkups(data, &content.error);
    return content;
}

namespace {

qsizetype skipSpace(const char *d, qsizetype n, qsizetype i)
{
    while (i < n && (d[i] == ' ' || d[i] == '\n' || d[i] == '\r' || d[i] == '\t'))
        ++i;
    return i;
}

// The index after the string whose opening quote is at `i`, or -1.
qsizetype skipString(const char *d, qsizetype n, qsizetype i)
{
    for (qsizetype from = i + 1; from < n;) {
        const auto *quote = static_cast<const char *>(std::memchr(d + from, '"', size_t(n - from)));
        if (!quote)
            return -1;
        const qsizetype at = quote - d;
        // Escaped when an odd number of backslashes comes before it.
        qsizetype backslashes = 0;
        while (at - backslashes - 1 > i && d[at - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return at + 1;
        from = at + 1;
    }
    return -1;
}

// The characters that open or close a string, an object or an array.
constexpr std::array<bool, 256> kStructural = [] {
    std::array<bool, 256> table{};
    for (const unsigned char c : {'"', '{', '}', '[', ']'})
        table[c] = true;
    return table;
}();

// Whether a colon follows the string ending at `i`: the string is a key.
bool isKey(const char *d, qsizetype n, qsizetype i)
{
    i = skipSpace(d, n, i);
    return i < n && d[i] == ':';
}

// The integer after the colon that follows the key ending at `i`.
std::optional<qint64> integerAfterKey(const char *d, qsizetype n, qsizetype i)
{
    i = skipSpace(d, n, skipSpace(d, n, i) + 1);
    qint64 value = 0;
    const auto [end, error] = std::from_chars(d + i, d + n, value);
    if (error != std::errc() || (end < d + n && (*end == '.' || *end == 'e' || *end == 'E')))
        return std::nullopt;
    return value;
}

} // namespace

std::vector<ReadingMarkup> decodeMarkupsOnPage(const QByteArray &bytes, qint64 page)
{
    std::vector<ReadingMarkup> found;
    const char *d = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = skipSpace(d, n, 0);
    if (i >= n || d[i] != '[')
        return found;
    for (++i;;) {
        i = skipSpace(d, n, i);
        if (i < n && d[i] == ',')
            i = skipSpace(d, n, i + 1);
        if (i >= n || d[i] != '{')
            return found;
        const qsizetype start = i;
        int depth = 0;
        std::optional<qint64> elementPage;
        for (; i < n; ++i) {
            while (i < n && !kStructural[static_cast<unsigned char>(d[i])])
                ++i;
            if (i >= n)
                break;
            const char c = d[i];
            if (c == '"') {
                const qsizetype end = skipString(d, n, i);
                if (end < 0)
                    return found;
                if (depth == 1 && end - i == 6 && std::memcmp(d + i, "\"page\"", 6) == 0 && isKey(d, n, end))
                    elementPage = integerAfterKey(d, n, end);
                i = end - 1;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                ++i;
                break;
            }
        }
        if (depth != 0)
            return found;
        if (elementPage != page)
            continue;
        const std::optional<platform::json> value = platform::decodeStoredJson(bytes.mid(start, i - start));
        try {
            if (value)
                found.push_back(markupFromJson(*value));
        } catch (const MarkupDecodingError &) {
            // Told when the whole list is decoded.
        }
    }
}

MarkupLoading::MarkupLoading(QString path, QByteArray bytes, std::shared_ptr<engine::PdfDocument> document,
                             platform::StoredFileVersion version)
    : m_path(std::move(path))
    , m_bytes(std::move(bytes))
    , m_document(std::move(document))
    , m_version(version)
{
}

void MarkupLoading::start(std::function<void()> done)
{
    platform::runConcurrently([self = shared_from_this(), done = std::move(done)] {
        std::call_once(self->m_once, [&self] {
            // Checked against the document after the page being drawn.
            const engine::BackgroundWork background;
            self->decode();
        });
        done();
    });
}

const DecodedMarkups &MarkupLoading::result()
{
    std::call_once(m_once, [this] { decode(); });
    return m_result;
}

DecodedMarkups MarkupLoading::takeResult()
{
    result();
    return std::move(m_result);
}

void MarkupLoading::decode()
{
    std::optional<std::vector<ReadingMarkup>> markups = decodeMarkups(m_bytes, &m_result.error);
    m_bytes.clear();
    if (!markups)
        return;
    // Each page asked once: the document is shared with the interface.
    std::map<qint64, std::optional<QRectF>> crops;
    std::vector<ReadingMarkup> valid;
    for (ReadingMarkup &markup : *markups) {
        if (!m_document)
            break;
        auto crop = crops.find(markup.page);
        if (crop == crops.end())
            crop = crops.emplace(markup.page, cropBoxOf(*m_document, markup.page)).first;
        if (crop->second && fitsPage(markup, *crop->second))
            valid.push_back(std::move(markup));
    }
    m_result.dropped = markups->size() - valid.size();
    // Off the interface thread too: the first change would otherwise encode
    // the whole list (about 0.1 s for 10,000 markups).
    QString unused;
    m_result.encoded.encode(valid, nullptr, &unused);
    m_result.valid = std::move(valid);
}

void AnnotationFileKeeper::reset()
{
    m_unreadablePath.clear();
    m_droppedPath.clear();
    m_loadedPath.clear();
    m_encoder.clear();
    m_seen = {};
    m_base.clear();
    m_setAside.clear();
}

void AnnotationFileKeeper::noteRead(const QString &path, const platform::StoredFileVersion &version,
                                    std::vector<ReadingMarkup> markups)
{
    m_loadedPath = path;
    m_seen = version;
    m_base = std::move(markups);
}

void AnnotationFileKeeper::noteReadable(const QString &path)
{
    if (m_unreadablePath == path)
        m_unreadablePath.clear();
    if (m_droppedPath == path)
        m_droppedPath.clear();
    m_loadedPath = path;
}

bool AnnotationFileKeeper::write(const QString &path, const std::vector<ReadingMarkup> &markups, QString *error,
                                 const std::function<bool(const ReadingMarkup &)> &fits,
                                 std::optional<std::vector<ReadingMarkup>> *merged, QString *setAsideTo)
{
    QByteArray data;
    if (!m_encoder.encode(markups, &data, error))
        return false;
    // What was read or written here concerns the loaded file only.
    if (m_loadedPath != path) {
        m_seen = {};
        m_base.clear();
    }

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
        if (!platform::moveAsideUnreadable(m_unreadablePath, error, &m_setAside))
            return false;
        m_unreadablePath.clear();
    }

    if (m_unreadablePath == path && QFileInfo::exists(path)) {
        if (!platform::moveAsideUnreadable(path, error, &m_setAside))
            return false;
        m_loadedPath = path;
        m_seen = {};
        m_base.clear();
    }
    m_unreadablePath.clear();

    if (m_droppedPath == path && QFileInfo::exists(path) && !platform::copyAside(path, QStringLiteral("dropped"), error))
        return false;
    m_droppedPath.clear();

    // Never over a file this pane did not load, such as the one another
    // paper of the new name left.
    if (m_loadedPath != path && QFileInfo::exists(path) && !platform::moveAside(path, QStringLiteral("kept"), error))
        return false;
    m_loadedPath = path;

    // Another reader may write between two tries: a few rounds, then the
    // save counts as failed (and is tried again later).
    std::vector<ReadingMarkup> list = markups;
    for (int round = 0; round < 4; ++round) {
        QByteArray current;
        const platform::StoredWrite result = platform::writeStoredFile(path, &m_seen, data, &current, error);
        if (result == platform::StoredWrite::Failed)
            return false;
        if (result == platform::StoredWrite::Written) {
            if (merged && list != markups)
                *merged = list;
            if (setAsideTo)
                *setAsideTo = m_setAside;
            m_setAside.clear();
            m_base = std::move(list);
            return true;
        }
        QString problem;
        std::optional<std::vector<ReadingMarkup>> theirs;
        if (!current.isEmpty())
            theirs = decodeMarkups(current, &problem);
        if (!theirs) {
            // Left unreadable by someone else: kept aside, and named.
            if (!platform::moveAsideUnreadable(path, error, &m_setAside))
                return false;
            // Nothing is left to merge with: the list is written whole.
            m_seen = {};
            m_base.clear();
            theirs.emplace();
        }
        std::vector<ReadingMarkup> next = platform::mergeRecords(
            m_base, list, *theirs, [](const ReadingMarkup &markup) { return markup.id; },
            [](const ReadingMarkup &ours, const ReadingMarkup &) { return ours; });
        if (fits) {
            const auto misfits = std::stable_partition(next.begin(), next.end(), fits);
            // What another reader stored that does not fit this document
            // is kept in a copy before the list goes without it.
            if (misfits != next.end() && QFileInfo::exists(path)
                && !platform::copyAside(path, QStringLiteral("dropped"), error))
                return false;
            next.erase(misfits, next.end());
        }
        m_base = std::move(*theirs);
        list = std::move(next);
        if (!m_encoder.encode(list, &data, error))
            return false;
        if (error)
            *error = QStringLiteral("另一个 Folvan 一再改写批注文件。");
    }
    return false;
}

} // namespace folvan::annotations
