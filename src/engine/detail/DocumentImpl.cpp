#include "engine/detail/DocumentImpl.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "engine/PdfDocument.h"
#include "engine/RasterMemory.h"

namespace folvan::engine::detail {
namespace {

constexpr size_t kTextCacheSize = 48;
constexpr size_t kDisplayListPages = 48;

// Counts the page leaves under a page-tree node, following /Kids along
// paths without cycles and within a budget of visited nodes (a tree that
// shares its kids could otherwise take exponential time). May throw.
int countPageLeaves(fz_context *ctx, pdf_obj *node, pdf_cycle_list *up, int depth, long *budget)
{
    pdf_cycle_list here;
    if (--*budget < 0 || depth > 64 || pdf_cycle(ctx, &here, up, node))
        return 0;
    pdf_obj *kids = pdf_dict_get(ctx, node, PDF_NAME(Kids));
    if (!pdf_is_array(ctx, kids))
        return pdf_is_dict(ctx, node) ? 1 : 0;
    int count = 0;
    const int n = pdf_array_len(ctx, kids);
    for (int i = 0; i < n && *budget >= 0; ++i)
        count += countPageLeaves(ctx, pdf_array_get(ctx, kids, i), &here, depth + 1, budget);
    return count;
}

// Below this many pages a page is found quickly enough by walking the tree,
// and a broken small file is not walked whole at open (MuPDF 1.21 loses a
// few objects when it repairs a file during the walk).
constexpr int kPageMapMinimumPages = 128;

// Builds the document's page map, so that finding a page by its number no
// longer walks the page tree (a flat tree of thousands of pages would be
// walked for every page). Returns whether the map was made; without it the
// pages are still found, by walking.
int loadPageMap(fz_context *ctx, pdf_document *doc)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx) pdf_load_page_tree(ctx, doc);
    fz_catch(ctx) ok = 0;
    return ok;
}

// Reads the page count the root's /Count gives into `count`; 0 when it
// cannot be read.
int readPageCount(fz_context *ctx, pdf_document *doc, int *count)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx) *count = pdf_count_pages(ctx, doc);
    fz_catch(ctx) ok = 0;
    return ok;
}

// Opens PDF bytes with the PDF handler only. Fills `pageCount`, or sets
// `needsPassword`, and `pageMap` when the page map was built, and
// `recounted` when the pages were found only at a second reading; on
// failure returns nullptr with the reason in `error`.
pdf_document *openPdfBytes(fz_context *ctx, const unsigned char *data, size_t size, int *pageCount,
                           int *needsPassword, int *pageMap, int *recounted, char *error)
{
    fz_buffer *buffer = nullptr;
    fz_stream *stream = nullptr;
    pdf_document *doc = nullptr;
    fz_var(buffer);
    fz_var(stream);
    fz_var(doc);
    fz_try(ctx)
    {
        buffer = fz_new_buffer_from_shared_data(ctx, data, size);
        stream = fz_open_buffer(ctx, buffer);
        doc = pdf_open_document_with_stream(ctx, stream);
        if (pdf_needs_password(ctx, doc))
            *needsPassword = 1;
        else {
            int read = readPageCount(ctx, doc, pageCount);
            // A damaged object stream reads part-way: the objects before the
            // damage are kept, though the first lookup of one of them fails.
            // The page tree, when it stands there, is found at a second
            // reading.
            if (!read || *pageCount == 0) {
                int again = 0;
                if (readPageCount(ctx, doc, &again) && again > 0) {
                    *pageCount = again;
                    *recounted = 1;
                    read = 1;
                }
            }
            if (!read)
                fz_throw(ctx, FZ_ERROR_GENERIC, "cannot read the page count");
            // The page count comes from the root's /Count. No real file has
            // more pages than half its bytes: a larger count is a lie, and
            // the pages are counted instead.
            if (*pageCount < 0 || size_t(*pageCount) > size / 2) {
                long budget = long(size);
                pdf_obj *root = pdf_dict_getp(ctx, pdf_trailer(ctx, doc), "Root/Pages");
                *pageCount = countPageLeaves(ctx, root, nullptr, 0, &budget);
            } else if (*pageCount >= kPageMapMinimumPages && (*pageMap = loadPageMap(ctx, doc))) {
                // Only for a believable count: the map is sized by it, and
                // its places past the last page found would be left unset,
                // so a tree with fewer pages than it claims goes without.
                long budget = long(size);
                pdf_obj *root = pdf_dict_getp(ctx, pdf_trailer(ctx, doc), "Root/Pages");
                if (countPageLeaves(ctx, root, nullptr, 0, &budget) != *pageCount) {
                    pdf_drop_page_tree(ctx, doc);
                    *pageMap = 0;
                }
            }
        }
    }
    fz_always(ctx)
    {
        fz_drop_stream(ctx, stream);
        fz_drop_buffer(ctx, buffer);
    }
    fz_catch(ctx)
    {
        pdf_drop_document(ctx, doc);
        doc = nullptr;
        std::snprintf(error, kErrorBufferSize, "%s", fz_caught_message(ctx));
    }
    return doc;
}

int readGeometry(fz_context *ctx, pdf_document *doc, int index, PageGeometry *geometry)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx)
    {
        pdf_obj *pageObject = pdf_lookup_page_obj(ctx, doc, index);
        *geometry = pageGeometryOfObject(ctx, pageObject);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

pdf_page *loadPdfPage(fz_context *ctx, pdf_document *doc, int index)
{
    pdf_page *page = nullptr;
    fz_var(page);
    fz_try(ctx) page = pdf_load_page(ctx, doc, index);
    fz_catch(ctx) page = nullptr;
    return page;
}

int resolveLinkDest(fz_context *ctx, fz_document *doc, const char *uri, fz_link_dest *dest)
{
    int ok = 1;
    fz_var(ok);
    fz_try(ctx) *dest = fz_resolve_link_dest(ctx, doc, uri);
    fz_catch(ctx) ok = 0;
    return ok;
}

int wasRepairedAtOpen(fz_context *ctx, pdf_document *doc)
{
    return pdf_was_repaired(ctx, doc);
}

bool looksLikePdf(const QByteArray &bytes)
{
    // Readers accept the header anywhere in the first kilobyte.
    return bytes.left(1024).contains("%PDF-");
}

} // namespace

DocumentImpl::DocumentImpl(QString path, QByteArray bytes) : m_path(std::move(path)), m_bytes(std::move(bytes))
{
    fz_context *ctx = threadContext();
    int pageCount = 0;
    int needsPassword = 0;
    int pageMap = 0;
    int recounted = 0;
    char error[kErrorBufferSize] = {0};
    pdf_document *doc = openPdfBytes(ctx, reinterpret_cast<const unsigned char *>(m_bytes.constData()),
                                     size_t(m_bytes.size()), &pageCount, &needsPassword, &pageMap, &recounted, error);
    if (!doc) {
        // A paper whose header was damaged is repaired like any other
        // damage; bytes without one that do not read are no PDF at all.
        m_error = looksLikePdf(m_bytes) ? QStringLiteral("无法读取 PDF：") + QString::fromUtf8(error)
                                        : QStringLiteral("不是 PDF 文件");
        return;
    }
    m_repaired = recounted != 0 || wasRepairedAtOpen(ctx, doc);
    if (needsPassword) {
        pdf_drop_document(ctx, doc); // no page map is built before the password
        m_error = PdfDocument::passwordProtectedReason;
        return;
    }
    m_pdf = doc;
    m_pageMapLoaded = pageMap != 0;
    m_pageCount = std::max(0, pageCount);
    m_pages.resize(size_t(m_pageCount));
}

DocumentImpl::~DocumentImpl()
{
    fz_context *ctx = threadContext();
    m_texts.clear();
    for (PageSlot &slot : m_pages) {
        slot.lists[0].reset();
        slot.lists[1].reset();
        if (slot.page)
            fz_drop_page(ctx, reinterpret_cast<fz_page *>(slot.page));
    }
    if (m_pdf && m_pageMapLoaded)
        pdf_drop_page_tree(ctx, m_pdf);
    if (m_pdf) {
        pdf_drop_document(ctx, m_pdf);
        releaseOrphanedStoreItems(ctx);
    }
    // What the paper took was spread over the allocator's per-thread arenas
    // (its pages drawn and its text read on worker threads), which keep
    // freed pages to themselves: without this a reader that opens paper
    // after paper keeps a little of each.
    handFreedMemoryBack();
}

DocumentImpl::PageSlot *DocumentImpl::slot(int index)
{
    return index >= 0 && index < int(m_pages.size()) ? &m_pages[size_t(index)] : nullptr;
}

const DocumentImpl::PageSlot *DocumentImpl::slot(int index) const
{
    return index >= 0 && index < int(m_pages.size()) ? &m_pages[size_t(index)] : nullptr;
}

const PageGeometry &DocumentImpl::geometry(fz_context *ctx, int index)
{
    static const PageGeometry none;
    PageSlot *s = slot(index);
    if (!s)
        return none;
    if (!s->geometryRead) {
        s->geometryRead = true;
        if (!readGeometry(ctx, m_pdf, index, &s->geometry))
            s->geometry = PageGeometry();
    }
    return s->geometry;
}

pdf_page *DocumentImpl::loadPage(fz_context *ctx, int index)
{
    PageSlot *s = slot(index);
    if (!s || s->loadFailed)
        return nullptr;
    if (!s->page) {
        s->page = loadPdfPage(ctx, m_pdf, index);
        s->loadFailed = s->page == nullptr;
    }
    if (!s->deferred.empty()) {
        // Taken off first: making them loads the page again.
        const std::vector<PdfNewAnnotation> blueprints = std::move(s->deferred);
        s->deferred.clear();
        std::vector<PdfAnnotationHandle> handles = s->page ? makeAnnotationsOnPage(ctx, s->page, index, blueprints)
                                                           : std::vector<PdfAnnotationHandle>(blueprints.size());
        s->madeDeferred.insert(s->madeDeferred.end(), handles.begin(), handles.end());
    }
    return s->page;
}

void DocumentImpl::deferAnnotations(int index, std::vector<PdfNewAnnotation> blueprints)
{
    PageSlot *s = slot(index);
    if (!s || blueprints.empty())
        return;
    s->deferred.insert(s->deferred.end(), std::make_move_iterator(blueprints.begin()),
                       std::make_move_iterator(blueprints.end()));
    pageAnnotationsChanged(index);
}

bool DocumentImpl::hasDeferredAnnotations(int index) const
{
    const PageSlot *s = slot(index);
    return s && !s->deferred.empty();
}

std::vector<PdfNewAnnotation> DocumentImpl::deferredBlueprints(int index) const
{
    const PageSlot *s = slot(index);
    return s ? s->deferred : std::vector<PdfNewAnnotation>();
}

std::vector<PdfAnnotationHandle> DocumentImpl::takeDeferredHandles(fz_context *ctx, int index)
{
    PageSlot *s = slot(index);
    if (!s)
        return {};
    if (!s->deferred.empty())
        loadPage(ctx, index);
    std::vector<PdfAnnotationHandle> handles = std::move(s->madeDeferred);
    s->madeDeferred.clear();
    return handles;
}

void DocumentImpl::makeDeferredAnnotations(fz_context *ctx)
{
    for (int index = 0; index < int(m_pages.size()); ++index) {
        if (!m_pages[size_t(index)].deferred.empty())
            loadPage(ctx, index);
    }
}

std::optional<PdfDestination> DocumentImpl::destinationForUri(fz_context *ctx, const char *uri)
{
    if (!uri || !m_pdf)
        return std::nullopt;
    fz_link_dest dest = fz_make_link_dest_none();
    if (!resolveLinkDest(ctx, doc(), uri, &dest) || dest.loc.page < 0 || dest.loc.page >= m_pageCount)
        return std::nullopt;
    switch (dest.type) {
    case FZ_LINK_DEST_XYZ:
        return destinationFromFitz(ctx, dest.loc.page, dest.x, dest.y);
    case FZ_LINK_DEST_FIT_H:
    case FZ_LINK_DEST_FIT_BH:
        return destinationFromFitz(ctx, dest.loc.page, NAN, dest.y);
    case FZ_LINK_DEST_FIT_V:
    case FZ_LINK_DEST_FIT_BV:
        return destinationFromFitz(ctx, dest.loc.page, dest.x, NAN);
    case FZ_LINK_DEST_FIT_R:
        return destinationFromFitz(ctx, dest.loc.page, dest.x, dest.y);
    default:
        return PdfDestination(dest.loc.page);
    }
}

PdfDestination DocumentImpl::destinationFromFitz(fz_context *ctx, int pageIndex, float x, float y)
{
    PdfDestination result(pageIndex);
    const bool hasX = std::isfinite(x);
    const bool hasY = std::isfinite(y);
    if (!hasX && !hasY)
        return result;
    const PageGeometry &g = geometry(ctx, pageIndex);
    if (!g.isValid())
        return result;
    const QPointF user = g.fromFitz(QPointF(hasX ? x : 0, hasY ? y : 0));
    // On a page turned by a quarter, the displayed x is the user-space y.
    const bool swapped = g.rotation % 180 == 90;
    if (swapped ? hasY : hasX)
        result.x = user.x();
    if (swapped ? hasX : hasY)
        result.y = user.y();
    return result;
}

void DocumentImpl::pageAnnotationsChanged(int index)
{
    if (PageSlot *s = slot(index)) {
        ++s->revision;
        // The page's contents stay: only its annotations are recorded again.
        s->lists[1].reset();
    }
}

std::uint64_t DocumentImpl::pageRevision(int index) const
{
    const PageSlot *s = slot(index);
    return s ? s->revision : 0;
}

std::shared_ptr<const PdfDisplayList> DocumentImpl::cachedDisplayList(int index, bool withAnnotations) const
{
    const PageSlot *s = slot(index);
    return s ? s->lists[withAnnotations ? 1 : 0] : nullptr;
}

void DocumentImpl::storeDisplayList(int index, bool withAnnotations, std::shared_ptr<const PdfDisplayList> list)
{
    PageSlot *s = slot(index);
    if (!s)
        return;
    s->lists[withAnnotations ? 1 : 0] = std::move(list);
    // Keep the lists of the most recently recorded pages only.
    m_listPages.remove(index);
    m_listPages.push_front(index);
    while (m_listPages.size() > kDisplayListPages) {
        PageSlot *old = slot(m_listPages.back());
        old->lists[0].reset();
        old->lists[1].reset();
        m_listPages.pop_back();
    }
}

std::shared_ptr<const PdfPageText> DocumentImpl::cachedText(int index)
{
    for (auto it = m_texts.begin(); it != m_texts.end(); ++it) {
        if (it->first == index) {
            m_texts.splice(m_texts.begin(), m_texts, it);
            return m_texts.front().second;
        }
    }
    return nullptr;
}

void DocumentImpl::storeText(int index, std::shared_ptr<const PdfPageText> text)
{
    m_texts.emplace_front(index, std::move(text));
    if (m_texts.size() > kTextCacheSize)
        m_texts.pop_back();
}

namespace {

// Whether the thread does background work, and how many document locks it
// holds.
thread_local int t_backgroundWork = 0;
thread_local int t_heldLocks = 0;

} // namespace

DocumentLock::DocumentLock(DocumentImpl &impl) : m_impl(impl), m_foreground(t_backgroundWork == 0)
{
    if (m_foreground) {
        impl.foregroundLocks().fetch_add(1);
    } else if (t_heldLocks == 0) {
        // Background work gives way; holding no lock, it keeps no one waiting.
        while (impl.foregroundLocks().load() > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    m_lock = std::unique_lock<std::recursive_mutex>(impl.mutex());
    ++t_heldLocks;
    m_ctx = threadContext();
}

DocumentLock::DocumentLock(const PdfDocument &document) : DocumentLock(document.impl()) {}

DocumentLock::~DocumentLock()
{
    --t_heldLocks;
    m_lock.unlock();
    if (m_foreground)
        m_impl.foregroundLocks().fetch_sub(1);
}

} // namespace folvan::engine::detail

namespace folvan::engine {

BackgroundWork::BackgroundWork() { ++detail::t_backgroundWork; }

BackgroundWork::~BackgroundWork() { --detail::t_backgroundWork; }

} // namespace folvan::engine
