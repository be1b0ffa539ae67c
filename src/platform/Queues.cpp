#include "platform/Queues.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

#include <cmath>
#include <exception>

namespace folvan::platform {

void runOnMain(std::function<void()> fn)
{
    if (!fn)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

void runOnMain(QObject *context, std::function<void()> fn)
{
    if (!context || !fn)
        return;
    runOnMain([guard = QPointer<QObject>(context), fn = std::move(fn)] {
        if (guard)
            fn();
    });
}

namespace {

// Work on another thread never lets an exception out: one that left the
// thread would end the program.
std::function<void()> contained(std::function<void()> fn)
{
    return [fn = std::move(fn)] {
        try {
            fn();
        } catch (const std::exception &e) {
            qWarning("Background work failed: %s", e.what());
        } catch (...) {
            qWarning("Background work failed");
        }
    };
}

} // namespace

void runConcurrently(std::function<void()> fn)
{
    if (fn)
        QThreadPool::globalInstance()->start(contained(std::move(fn)));
}

SerialQueue::SerialQueue(const QString &label)
    : m_label(label), m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setObjectName(label);
    m_pool->setMaxThreadCount(1);
    // Keep the worker while work keeps coming; it ends after a quiet minute.
    m_pool->setExpiryTimeout(60000);
}

SerialQueue::~SerialQueue()
{
    m_pool->waitForDone();
}

void SerialQueue::async(std::function<void()> fn)
{
    if (fn)
        m_pool->start(contained(std::move(fn)));
}

void SerialQueue::waitForDone()
{
    m_pool->waitForDone();
}

MainWorkItem::MainWorkItem(QObject *parent)
    : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &MainWorkItem::run);
}

MainWorkItem::~MainWorkItem()
{
    cancel();
}

void MainWorkItem::run()
{
    m_ticket = 0;
    // Taken out first: the work may schedule the next run.
    std::function<void()> fn = std::move(m_fn);
    m_fn = nullptr;
    if (fn)
        fn();
}

void MainWorkItem::schedule(double delaySeconds, std::function<void()> fn)
{
    cancel();
    m_fn = std::move(fn);
    if (ManualClock *clock = ManualClock::current()) {
        m_ticket = clock->add(this, delaySeconds, [this] { run(); });
        return;
    }
    double ms = std::isfinite(delaySeconds) ? delaySeconds * 1000.0 : 0.0;
    if (ms < 0)
        ms = 0;
    m_timer->start(static_cast<int>(std::lround(std::min(ms, 2.0e9))));
}

void MainWorkItem::cancel()
{
    m_timer->stop();
    if (ManualClock *clock = ManualClock::current(); clock && m_ticket)
        clock->remove(m_ticket);
    m_ticket = 0;
    m_fn = nullptr;
}

bool MainWorkItem::isPending() const
{
    if (m_timer->isActive())
        return true;
    const ManualClock *clock = ManualClock::current();
    return clock && m_ticket && clock->contains(m_ticket);
}

} // namespace folvan::platform
