#include "engine/detail/MuContext.h"

#include <cstdlib>
#include <mutex>

namespace folvan::engine::detail {
namespace {

std::mutex g_locks[FZ_LOCK_MAX];

void lockCallback(void *, int lock) { g_locks[lock].lock(); }
void unlockCallback(void *, int lock) { g_locks[lock].unlock(); }

// MuPDF's shared store of fonts, images and glyphs, for all threads.
constexpr size_t kStoreSize = 256u << 20;

// No single block of MuPDF's may exceed this. A hostile file can make MuPDF
// grow one buffer without end (an annotation appearance it synthesizes for
// a degenerate shape, for one); refusing the block turns that into an error
// MuPDF reports instead of the process running out of memory. The bound
// is well above a page raster tile or a decoded full-page scan.
constexpr size_t kMaxBlock = size_t(256) << 20;

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

QString caughtMessage(fz_context *ctx)
{
    return QString::fromUtf8(fz_caught_message(ctx));
}

} // namespace folvan::engine::detail
