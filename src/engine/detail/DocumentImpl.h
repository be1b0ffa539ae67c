#pragma once

// Internal to the engine: the MuPDF side of a PdfDocument. Every access to
// the fz_document / pdf_document and to the page caches holds the
// document's mutex, through a DocumentLock.

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDestination.h"
#include "engine/PdfPage.h"
#include "engine/detail/Geometry.h"
#include "engine/detail/MuContext.h"

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::engine::detail {

class DocumentImpl {
public:
    // Opens the bytes with MuPDF's PDF handler; on failure isOpen() is false
    // and errorText() tells why.
    DocumentImpl(QString path, QByteArray bytes);
    ~DocumentImpl();
    DocumentImpl(const DocumentImpl &) = delete;
    DocumentImpl &operator=(const DocumentImpl &) = delete;

    bool isOpen() const { return m_pdf != nullptr; }
    // Whether the file opened only repaired (see PdfDocument::wasRepaired).
    bool wasRepaired() const { return m_repaired; }
    const QString &errorText() const { return m_error; }
    const QString &path() const { return m_path; }
    const QByteArray &bytes() const { return m_bytes; }
    std::recursive_mutex &mutex() const { return m_mutex; }
    // How many locks of the document are held or waited for by threads
    // not doing background work.
    std::atomic<int> &foregroundLocks() const { return m_foregroundLocks; }

    // The calls below need the mutex held (use DocumentLock).
    pdf_document *pdf() const { return m_pdf; }
    fz_document *doc() const { return reinterpret_cast<fz_document *>(m_pdf); }
    int pageCount() const { return m_pageCount; }
    // Whether MuPDF's page map was built at open (pages are then found by
    // number without walking the page tree).
    bool hasPageMap() const { return m_pageMapLoaded; }

    // The page's geometry from the page tree; an invalid geometry (empty
    // boxes) for a page that cannot be read.
    const PageGeometry &geometry(fz_context *ctx, int index);
    // The loaded page, kept for the life of the document so that its
    // annotation objects stay the same; nullptr when it cannot be loaded.
    // The annotations put off for the page are made now.
    pdf_page *loadPage(fz_context *ctx, int index);

    // Annotations to make on a page the first time it is loaded; the
    // page's drawing with annotations is dropped and its revision grows.
    void deferAnnotations(int index, std::vector<PdfNewAnnotation> blueprints);
    // Whether annotations wait to be made on the page.
    bool hasDeferredAnnotations(int index) const;
    // What the annotations put off on a page will be made from.
    std::vector<PdfNewAnnotation> deferredBlueprints(int index) const;
    // The handles of the annotations put off for the page, made now if not
    // yet, in the order they were put off; invalid for those that could not
    // be made. They are handed out once.
    std::vector<PdfAnnotationHandle> takeDeferredHandles(fz_context *ctx, int index);
    // Makes the annotations put off for every page.
    void makeDeferredAnnotations(fz_context *ctx);

    // The destination of an internal link URI as MuPDF writes them
    // ("#page=...", "#nameddest=..."), in the target page's user space;
    // nothing when it names no page of this document.
    std::optional<PdfDestination> destinationForUri(fz_context *ctx, const char *uri);
    // A destination given in MuPDF's page space of its page.
    PdfDestination destinationFromFitz(fz_context *ctx, int pageIndex, float x, float y);

    // Tells the document that the annotations of a page changed: its display
    // list with annotations is dropped (the one of its contents alone stays)
    // and its revision grows.
    void pageAnnotationsChanged(int index);
    // Grows whenever the page's drawing changes; raster caches outside the
    // engine compare it to know when to draw again.
    std::uint64_t pageRevision(int index) const;

    // Display lists, kept for the most recently recorded pages.
    std::shared_ptr<const PdfDisplayList> cachedDisplayList(int index, bool withAnnotations) const;
    void storeDisplayList(int index, bool withAnnotations, std::shared_ptr<const PdfDisplayList> list);

    // Page texts, kept for the most recently used pages.
    std::shared_ptr<const PdfPageText> cachedText(int index);
    void storeText(int index, std::shared_ptr<const PdfPageText> text);

private:
    struct PageSlot {
        bool geometryRead = false;
        PageGeometry geometry;
        pdf_page *page = nullptr;
        bool loadFailed = false;
        std::uint64_t revision = 0;
        // Annotations put off until the page is loaded, and the handles of
        // those made since, not yet taken.
        std::vector<PdfNewAnnotation> deferred;
        std::vector<PdfAnnotationHandle> madeDeferred;
        std::shared_ptr<const PdfDisplayList> lists[2];
    };
    PageSlot *slot(int index);
    const PageSlot *slot(int index) const;

    mutable std::recursive_mutex m_mutex;
    mutable std::atomic<int> m_foregroundLocks = 0;
    QString m_path;
    QByteArray m_bytes;
    QString m_error;
    pdf_document *m_pdf = nullptr;
    bool m_pageMapLoaded = false;
    bool m_repaired = false;
    int m_pageCount = 0;
    std::vector<PageSlot> m_pages;
    std::list<std::pair<int, std::shared_ptr<const PdfPageText>>> m_texts;
    std::list<int> m_listPages; // pages holding display lists, most recent first
};

// Makes annotations on a loaded page with their appearances, under the
// document's mutex; their handles in the same order, invalid for those that
// cannot be made.
std::vector<PdfAnnotationHandle> makeAnnotationsOnPage(fz_context *ctx, pdf_page *page, int index,
                                                       const std::vector<PdfNewAnnotation> &blueprints);

// Holds a document's mutex and gives the calling thread's context. On a
// thread doing background work (BackgroundWork), the first lock it takes
// waits until no other thread holds or waits for the document's.
class DocumentLock {
public:
    explicit DocumentLock(const PdfDocument &document);
    explicit DocumentLock(DocumentImpl &impl);
    ~DocumentLock();
    DocumentLock(const DocumentLock &) = delete;
    DocumentLock &operator=(const DocumentLock &) = delete;

    DocumentImpl &impl() const { return m_impl; }
    fz_context *ctx() const { return m_ctx; }
    pdf_document *pdf() const { return m_impl.pdf(); }
    fz_document *doc() const { return m_impl.doc(); }

private:
    DocumentImpl &m_impl;
    bool m_foreground;
    std::unique_lock<std::recursive_mutex> m_lock;
    fz_context *m_ctx;
};

} // namespace folvan::engine::detail
