#include "engine/detail/MuContext.h"

#include <QtGlobal>

#include <cstdlib>
#include <string>
#include <mutex>

namespace folvan::engine::detail {
namespace {

std::mutex g_locks[FZ_LOCK_MAX];

void lockCallback(void *, int lock) { g_locks[lock].lock(); }
void unlockCallback(void *, int lock) { g_locks[lock].unlock(); }

// No single block of MuPDF's may exceed this. A hostile file can make MuPDF
// grow one buffer without end (an annotation appearance it synthesizes for
// a degenerate shape, for one); refusing the block turns that into an error
// MuPDF reports instead of the process running out of memory. The bound
// is well above a page raster tile or a decoded full-page scan.
constexpr size_t kMaxBlock = size_t(256) << 20;

// A page is drawn as tiles, each asking MuPDF for only the part of an image
// it shows; MuPDF keeps decoded images in its store under the part asked
// for, so every tile would decode the image again. Asking for the whole
// image instead gives one entry per image and scale that every tile of the
// page finds.
void decodeWholeImages(void *, int w, int h, int l2factor, fz_irect *subarea)
{
    const long long scaledW = (w >> l2factor) + 1, scaledH = (h >> l2factor) + 1;
    if (scaledW * scaledH * 4 <= kWholeImageBytes)
        *subarea = fz_irect{0, 0, w, h};
}

void *boundedMalloc(void *, size_t size) { return size > kMaxBlock ? nullptr : std::malloc(size); }
void *boundedRealloc(void *, void *old, size_t size) { return size > kMaxBlock ? nullptr : std::realloc(old, size); }
void boundedFree(void *, void *block) { std::free(block); }

fz_context *makeBaseContext()
{
    static fz_locks_context locks{nullptr, lockCallback, unlockCallback};
    static fz_alloc_context alloc{nullptr, boundedMalloc, boundedRealloc, boundedFree};
    fz_context *ctx = fz_new_context(&alloc, &locks, kStoreSize);
    if (ctx) {
        // Warnings about damaged files would otherwise go to stderr.
        fz_set_warning_callback(ctx, [](void *, const char *) {}, nullptr);
        fz_set_error_callback(ctx, [](void *, const char *) {}, nullptr);
        // Shared by every context cloned from this one.
        fz_tune_image_decode(ctx, decodeWholeImages, nullptr);
    }
    return ctx;
}

// Set once the thread's own context is gone (the thread is ending): objects
// dropped after that use the base context, which serves for dropping.
thread_local bool t_contextGone = false;

struct ThreadContext {
    fz_context *ctx = nullptr;
    ~ThreadContext()
    {
        t_contextGone = true;
        if (ctx)
            fz_drop_context(ctx);
    }
};

} // namespace

fz_context *baseContext()
{
    static fz_context *base = makeBaseContext();
    return base;
}

fz_context *threadContext()
{
    if (t_contextGone)
        return baseContext();
    thread_local ThreadContext local;
    if (!local.ctx) {
        local.ctx = fz_clone_context(baseContext());
        if (!local.ctx)
            qFatal("Cannot create a MuPDF context");
    }
    return local.ctx;
}

namespace {
// A one-pixel image whose last reference besides a store key is let go: the
// moment MuPDF checks its whole store for entries no one else holds.
int runReapPass(fz_context *ctx)
{
    fz_pixmap *pixmap = nullptr;
    fz_image *image = nullptr;
    int ok = 1;
    fz_var(pixmap);
    fz_var(image);
    fz_var(ok);
    fz_try(ctx)
    {
        pixmap = fz_new_pixmap(ctx, fz_device_gray(ctx), 1, 1, nullptr, 0);
        image = fz_new_image_from_pixmap(ctx, pixmap, nullptr);
        fz_keep_key_storable_key(ctx, &image->key_storable);
        fz_drop_key_storable(ctx, &image->key_storable);
        fz_drop_key_storable_key(ctx, &image->key_storable);
        image = nullptr;
    }
    fz_always(ctx)
    {
        fz_drop_image(ctx, image);
        fz_drop_pixmap(ctx, pixmap);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}
} // namespace

void releaseOrphanedStoreItems(fz_context *ctx)
{
    // Nothing more to do when it fails: the store makes room as it fills.
    (void)runReapPass(ctx);
}

namespace {
// The store is dumped under MuPDF's allocation lock: its lines go into a
// plain string, never into a MuPDF buffer whose growth would take the lock
// again.
void appendToString(fz_context *, void *state, const void *data, size_t n)
{
    static_cast<std::string *>(state)->append(static_cast<const char *>(data), n);
}

// Writes MuPDF's dump of its store to `text`; 0 on failure.
int dumpStore(fz_context *ctx, std::string *text)
{
    fz_output *out = nullptr;
    int ok = 1;
    fz_var(out);
    fz_var(ok);
    fz_try(ctx)
    {
        out = fz_new_output(ctx, 0, text, appendToString, nullptr, nullptr);
        fz_debug_store(ctx, out);
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx) ok = 0;
    return ok;
}
} // namespace

int storedImagePieces(int width, int height)
{
    std::string text;
    if (!dumpStore(threadContext(), &text))
        return -1;
    // One line a stored item in the list section, then the same items again
    // in the hash section: count the list section only.
    const std::string section = text.substr(0, text.find("resource store hash contents"));
    const std::string wanted = "key=(image " + std::to_string(width) + " x " + std::to_string(height) + " ";
    int count = 0;
    for (size_t at = section.find(wanted); at != std::string::npos; at = section.find(wanted, at + 1))
        ++count;
    return count;
}

} // namespace folvan::engine::detail
