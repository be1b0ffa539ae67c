#include "engine/detail/MuContext.h"

#include <mutex>

namespace folvan::engine::detail {
namespace {

std::mutex g_locks[FZ_LOCK_MAX];

void lockCallback(void *, int lock) { g_locks[lock].lock(); }
void unlockCallback(void *, int lock) { g_locks[lock].unlock(); }

// MuPDF's shared store of fonts, images and glyphs, for all threads.
constexpr size_t kStoreSize = 256u << 20;

fz_context *makeBaseContext()
{
    static fz_locks_context locks{nullptr, lockCallback, unlockCallback};
    fz_context *ctx = fz_new_context(nullptr, &locks, kStoreSize);
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
