#include "platform/Clock.h"

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace folvan::platform {

namespace {
ManualClock *g_clock = nullptr;

// A delay in whole milliseconds; negative and undefined ones are none.
qint64 delayMs(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? std::llround(std::min(seconds, 2.0e6) * 1000.0) : 0;
}
} // namespace

void runAfter(QObject *context, double delaySeconds, std::function<void()> fn)
{
    if (!context || !fn)
        return;
    if (ManualClock *clock = ManualClock::current()) {
        clock->add(context, delaySeconds, std::move(fn));
        return;
    }
    QTimer::singleShot(static_cast<int>(delayMs(delaySeconds)), context, std::move(fn));
}

// Drives Qt's animations with the clock's time in place of the wall clock's.
class ManualClock::AnimationDriver : public QAnimationDriver {
public:
    explicit AnimationDriver(const ManualClock &clock) : m_clock(clock) {}
    qint64 elapsed() const override { return isRunning() ? m_clock.m_nowMs - m_startMs : 0; }

protected:
    void start() override
    {
        m_startMs = m_clock.m_nowMs;
        QAnimationDriver::start();
    }

private:
    const ManualClock &m_clock;
    qint64 m_startMs = 0;
};

ManualClock::ManualClock()
{
    Q_ASSERT(!g_clock);
    g_clock = this;
    m_animations = new AnimationDriver(*this);
    m_animations->install();
}

ManualClock::~ManualClock()
{
    m_animations->uninstall();
    delete m_animations;
    if (g_clock == this)
        g_clock = nullptr;
}

void ManualClock::stepAnimations()
{
    // An animation started a moment ago joins the running ones through two
    // queued calls, each posted by the one before.
    for (int hop = 0; hop < 3; ++hop)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (m_animations->isRunning())
        m_animations->advance();
}

ManualClock *ManualClock::current()
{
    return g_clock;
}

quint64 ManualClock::add(QObject *context, double delaySeconds, std::function<void()> fn)
{
    const quint64 ticket = m_next++;
    m_entries.push_back({m_nowMs + delayMs(delaySeconds), ticket, context, context != nullptr, std::move(fn)});
    return ticket;
}

void ManualClock::remove(quint64 ticket)
{
    std::erase_if(m_entries, [ticket](const Entry &e) { return e.ticket == ticket; });
}

bool ManualClock::contains(quint64 ticket) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [ticket](const Entry &e) { return e.ticket == ticket; });
}

int ManualClock::pending() const
{
    return int(m_entries.size());
}

void ManualClock::advance(double seconds)
{
    // A frame of the animations, as a display would draw them.
    constexpr qint64 frameMs = 16;
    const qint64 until = m_nowMs + delayMs(seconds);
    for (;;) {
        stepAnimations();
        // The earliest due entry, first added among equals.
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) {
            return a.due < b.due || (a.due == b.due && a.ticket < b.ticket);
        });
        if (next != m_entries.end() && next->due <= m_nowMs) {
            Entry entry = std::move(*next);
            m_entries.erase(next);
            if (!entry.hasContext || entry.context)
                entry.fn();
            continue;
        }
        if (m_nowMs >= until)
            break;
        qint64 step = until;
        if (next != m_entries.end())
            step = std::min(step, next->due);
        if (m_animations->isRunning())
            step = std::min(step, m_nowMs + frameMs);
        m_nowMs = step;
    }
}

} // namespace folvan::platform
