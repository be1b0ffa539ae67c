#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QPointF>
#include <QString>

#include "engine/PdfOutline.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"

namespace folvan::engine {

namespace detail {
class DocumentImpl;
}

// An opened PDF. Object identity matters to callers: a document is shared
// through std::shared_ptr and compared by pointer. All calls may come from
// any thread; they are serialized by the document's own lock.
class PdfDocument : public std::enable_shared_from_this<PdfDocument> {
public:
    // Opens a PDF file or PDF bytes. Anything else (another format, a damaged
    // file that cannot be repaired, a file that needs a password) gives no
    // document and, when `error` is given, a readable reason.
    static std::shared_ptr<PdfDocument> open(const QString &path, QString *error = nullptr);
    static std::shared_ptr<PdfDocument> openData(const QByteArray &data, QString *error = nullptr);
    // Opens bytes that are the content of the file at `path` (read or
    // written by the caller); the document reports that path as its own.
    static std::shared_ptr<PdfDocument> openBytes(const QString &path, const QByteArray &data,
                                                  QString *error = nullptr);
    // The reason open() gives for a file that needs a password to be read.
    static const QString passwordProtectedReason;

    ~PdfDocument();
    PdfDocument(const PdfDocument &) = delete;
    PdfDocument &operator=(const PdfDocument &) = delete;

    // The path given to open(), empty for a document opened from bytes.
    QString path() const;
    // The bytes the document was opened from (not the in-memory changes).
    QByteArray data() const;

    int pageCount() const;
    // Whether the file was damaged and opened only repaired: its structure
    // rebuilt from what was left (a broken header or cross-reference, a
    // file cut off) or its page tree read only at a second attempt. What
    // the pages show may be incomplete.
    bool wasRepaired() const;
    // Whether the bytes hold the whole document as written: every page and
    // its contents read without the file being repaired on the way. A
    // download cut off part-way still opens (repaired, often as blank
    // pages) and is not intact.
    bool isIntact() const;
    // The first string of the file's /ID: what the file says of itself as
    // a document, kept by editors across saves, so that another paper
    // given the same name tells itself apart. Empty when the file has none
    // (at most its first 64 bytes).
    QByteArray firstIdentifier() const;
    static constexpr int kMaxIdentifierBytes = 64;
    // An invalid page for an index out of range.
    PdfPage page(int index) const;

    // The outline entries below the outline root, empty when there is none.
    // A malformed or cyclic outline is cut where it goes wrong.
    std::vector<PdfOutlineItem> outline() const;

    // The text from one point to another, possibly over several pages,
    // in reading order whichever point comes first.
    PdfSelection selection(const PdfPage &fromPage, QPointF from, const PdfPage &toPage, QPointF to) const;

    detail::DocumentImpl &impl() const { return *m_impl; }

private:
    explicit PdfDocument(std::unique_ptr<detail::DocumentImpl> impl);

    std::unique_ptr<detail::DocumentImpl> m_impl;
};

// While it lives, the calling thread's work on documents is background
// work: each time it takes a document's lock it first waits until no other
// thread holds or waits for it (reading a document to the last page must
// not hold up the page being drawn). Work that the interface thread may
// wait for must not hold a document's lock meanwhile.
class BackgroundWork {
public:
    BackgroundWork();
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork &) = delete;
    BackgroundWork &operator=(const BackgroundWork &) = delete;
};

} // namespace folvan::engine
