#include "engine/detail/WorkLimit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace folvan::engine::detail {
namespace {

using Clock = std::chrono::steady_clock;

// A dense page of a paper interprets some 10^5 operators.
std::atomic_long g_maxOperators{WorkLimits().maxOperators};
std::atomic_int g_maxMilliseconds{WorkLimits().maxMilliseconds};

// The watchdog: looks at the running cookies a few times a second. Its
// state lives for the whole process (never destroyed, so that no thread
// meets a destroyed mutex at exit).
struct Watchdog {
    std::mutex mutex;
    std::condition_variable wake;
    std::unordered_map<fz_cookie *, Clock::time_point> running;
    bool started = false;

    void add(fz_cookie *cookie)
    {
        std::lock_guard lock(mutex);
        const bool wasIdle = running.empty();
        running.emplace(cookie, Clock::now());
        if (!started) {
            started = true;
            std::thread([this] { loop(); }).detach();
        }
        if (wasIdle)
            wake.notify_one();
    }

    void remove(fz_cookie *cookie)
    {
        std::lock_guard lock(mutex);
        running.erase(cookie);
    }

    void loop()
    {
        std::unique_lock lock(mutex);
        while (true) {
            if (running.empty())
                wake.wait(lock);
            else
                wake.wait_for(lock, std::chrono::milliseconds(50));
            const auto now = Clock::now();
            const long maxOperators = g_maxOperators.load();
            const auto maxTime = std::chrono::milliseconds(g_maxMilliseconds.load());
            for (auto &[cookie, start] : running) {
                // MuPDF documents the cookie as written and read without
                // locks between threads.
                if (cookie->progress > maxOperators || now - start > maxTime)
                    cookie->abort = 1;
            }
        }
    }
};

Watchdog &watchdog()
{
    static Watchdog *instance = new Watchdog;
    return *instance;
}

} // namespace

WorkLimit::WorkLimit() { watchdog().add(&m_cookie); }

WorkLimit::~WorkLimit() { watchdog().remove(&m_cookie); }

WorkLimits workLimits() { return WorkLimits{g_maxOperators.load(), g_maxMilliseconds.load()}; }

void setWorkLimits(WorkLimits limits)
{
    g_maxOperators = limits.maxOperators;
    g_maxMilliseconds = limits.maxMilliseconds;
}

} // namespace folvan::engine::detail
