#include "platform/Clock.h"

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

ManualClock::ManualClock()
{
    Q_ASSERT(!g_clock);
    g_clock = this;
}

ManualClock::~ManualClock()
{
    if (g_clock == this)
        g_clock = nullptr;
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
    const qint64 until = m_nowMs + delayMs(seconds);
    for (;;) {
        // The earliest due entry, first added among equals.
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) {
            return a.due < b.due || (a.due == b.due && a.ticket < b.ticket);
        });
        if (next == m_entries.end() || next->due > until)
            break;
        Entry entry = std::move(*next);
        m_entries.erase(next);
        m_nowMs = std::max(m_nowMs, entry.due);
        if (!entry.hasContext || entry.context)
            entry.fn();
    }
    m_nowMs = until;
}

} // namespace folvan::platform
