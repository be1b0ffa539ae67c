#pragma once

// The per-document annotation file: where it lies, reading and validating
// it, and writing it so that no earlier annotation is lost. A file that
// could not be read is moved aside before it is first overwritten; a file
// from which invalid markups were dropped at load is copied aside
// (NAME.dropped-YYYYMMDDTHHMMSSZ) before the first write that drops them.

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfDocument.h"
#include "platform/StoredFiles.h"

namespace folvan::annotations {

// The annotation file of a document: "<directory>/<key>.json", the key being
// the SHA-256 of the document's standardized path.
QString markupFilePath(const QString &directory, const QString &documentPath);

// Whether a markup fits the document: its page exists, its kind is known,
// and it has rectangles, each finite, not empty and meeting the page's crop
// box.
bool isValidMarkup(const ReadingMarkup &markup, const engine::PdfDocument &document);

struct MarkupFileContent {
    bool exists = false;
    // The decoded list; absent when the file could not be read or decoded.
    std::optional<std::vector<ReadingMarkup>> markups;
    QString error;
    // The version read.
    platform::StoredFileVersion version;
};

MarkupFileContent readMarkupFile(const QString &path);

// The markups of a stored list (the file's bytes) that lie on `page`,
// picked out without decoding the others. An element this cannot follow
// is left out: the whole list, decoded, has the last word.
std::vector<ReadingMarkup> decodeMarkupsOnPage(const QByteArray &bytes, qint64 page);

// A stored list decoded and checked against its document.
struct DecodedMarkups {
    // Absent when the list could not be decoded (`error` says why).
    std::optional<std::vector<ReadingMarkup>> valid;
    QString error;
    // How many decoded markups do not fit the document.
    std::size_t dropped = 0;
    // The valid markups encoded as the file stores them, so that the first
    // save after the file is read encodes only what changed.
    MarkupEncoder encoded;
};

// The decoding of an annotation file's bytes, done once, on a worker
// thread or by whoever needs its result first.
class MarkupLoading : public std::enable_shared_from_this<MarkupLoading> {
public:
    MarkupLoading(QString path, QByteArray bytes, std::shared_ptr<engine::PdfDocument> document,
                  platform::StoredFileVersion version = {});
    const QString &path() const { return m_path; }
    // The version of the file the bytes were read from.
    const platform::StoredFileVersion &version() const { return m_version; }
    // Decodes on the thread pool, then calls `done` there. Made with
    // std::make_shared: the work holds it.
    void start(std::function<void()> done);
    // The result, decoded now when no worker has begun it, else waited for.
    const DecodedMarkups &result();
    // The result taken out, once (decoded or waited for as by result()).
    DecodedMarkups takeResult();

private:
    void decode();

    QString m_path;
    QByteArray m_bytes;
    std::shared_ptr<engine::PdfDocument> m_document;
    platform::StoredFileVersion m_version;
    std::once_flag m_once;
    DecodedMarkups m_result;
};

// Remembers, for one pane, which annotation file must be kept aside before
// it is next written.
class AnnotationFileKeeper {
public:
    // Forget what was noted for the previous document.
    void reset();
    // The file at `path` failed to load; it is not to be overwritten as it is.
    void noteUnreadable(const QString &path) { m_unreadablePath = path; }
    // The file at `path` was loaded, or there was none: it may be replaced.
    void noteLoaded(const QString &path) { m_loadedPath = path; }
    // Markups were dropped from the file at `path` when it was loaded.
    void noteDropped(const QString &path) { m_droppedPath = path; }
    // The loaded file now lies at `to`, moved there from `from` by another
    // reader: what was read stays the base that a write merges against.
    void loadedFileMoved(const QString &from, const QString &to)
    {
        if (m_unreadablePath == from && !from.isEmpty())
            m_unreadablePath = to;
        if (m_droppedPath == from && !from.isEmpty())
            m_droppedPath = to;
        if (m_loadedPath != from)
            return;
        m_loadedPath = to;
        m_seen = {};
    }
    // The file at `path` was read successfully after all.
    void noteReadable(const QString &path);
    // The file at `path`, at `version`, held `markups` (all of them, those
    // that do not fit the document too): a later write merges what someone
    // else wrote since.
    void noteRead(const QString &path, const platform::StoredFileVersion &version,
                  std::vector<ReadingMarkup> markups);

    // Writes `markups` to `path`, after keeping aside what must be kept: the
    // file that failed to load (even when it reads now: repaired outside the
    // reader, it holds markups the list lacks), and a file at `path` that
    // was neither loaded nor written here (NAME.kept-...). When the file that
    // failed to load lies under another name (the document was renamed or
    // moved) and there are no markups to write, that file is copied to
    // `path` instead, when nothing lies there. False with the error text on
    // failure; nothing is overwritten then.
    //
    // Another reader may have written the file since this pane last read
    // or wrote it: its list is merged in first (a markup both changed keeps
    // this pane's change), leaving out what does not `fit` the document
    // (kept in a copy, NAME.dropped-...), and `merged` is set to the list
    // written. A file someone left unreadable is set aside first;
    // `setAsideTo` names where.
    bool write(const QString &path, const std::vector<ReadingMarkup> &markups, QString *error,
               const std::function<bool(const ReadingMarkup &)> &fits = {},
               std::optional<std::vector<ReadingMarkup>> *merged = nullptr, QString *setAsideTo = nullptr);
    // The encodings made as the file was read (DecodedMarkups::encoded).
    void keepEncodings(MarkupEncoder encoded) { m_encoder = std::move(encoded); }

private:
    QString m_unreadablePath;
    QString m_droppedPath;
    QString m_loadedPath;
    MarkupEncoder m_encoder;
    // The loaded file as last read or written here, and what it held.
    platform::StoredFileVersion m_seen;
    std::vector<ReadingMarkup> m_base;
    // Where a file that could not be read went, until a write tells it.
    QString m_setAside;
};

} // namespace folvan::annotations
