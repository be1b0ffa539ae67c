#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace folvan::platform {

// Runs `fn` on the main thread after `delaySeconds`, unless `context` is
// destroyed first. While a ManualClock exists the delay passes on it instead
// of on the wall clock.
void runAfter(QObject *context, double delaySeconds, std::function<void()> fn);

// A clock whose time moves only when told to. While one exists, every delay
// taken by runAfter() and MainWorkItem waits on it, and animations (panel
// slides, fades) run on its time, so that a test decides when a save delay,
// a debounce or a slide has passed. One at a time, on the main thread.
class ManualClock {
public:
    ManualClock();
    ~ManualClock();
    ManualClock(const ManualClock &) = delete;
    ManualClock &operator=(const ManualClock &) = delete;

    // The clock of the moment; null when delays pass on the wall clock.
    static ManualClock *current();

    // Moves the time on by `seconds`, running every delayed work whose time
    // has come, earliest first (also work scheduled while advancing), and
    // stepping running animations every frame on the way. Work posted to
    // the main thread runs as the time passes.
    void advance(double seconds);
    // Seconds since the clock was made.
    double now() const { return m_nowMs / 1000.0; }
    // Work still waiting for its time.
    int pending() const;

    // Adds work due `delaySeconds` from now; returns its ticket.
    quint64 add(QObject *context, double delaySeconds, std::function<void()> fn);
    void remove(quint64 ticket);
    bool contains(quint64 ticket) const;

private:
    class AnimationDriver;
    void stepAnimations();

    struct Entry {
        qint64 due; // milliseconds
        quint64 ticket;
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> fn;
    };
    std::vector<Entry> m_entries;
    qint64 m_nowMs = 0; // whole milliseconds, so that sums of delays are exact
    quint64 m_next = 1;
    AnimationDriver *m_animations = nullptr;
};

} // namespace folvan::platform
