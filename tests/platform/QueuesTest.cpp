#include "platform/Queues.h"
#include "platform/Clock.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QVariantAnimation>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

using namespace folvan::platform;

namespace {

TEST(QueuesTest, RunOnMainRunsLaterOnTheMainThreadUnlessItsContextIsGone)
{
    bool ran = false;
    QThread *ranOn = nullptr;
    std::thread worker([&] {
        runOnMain([&] {
            ran = true;
            ranOn = QThread::currentThread();
        });
    });
    worker.join();
    EXPECT_TRUE(folvan::test::waitFor([&] { return ran; }));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());

    // Also queued when called on the main thread; dropped with its context.
    bool later = false;
    bool dropped = false;
    auto context = std::make_unique<QObject>();
    runOnMain(context.get(), [&] { dropped = true; });
    context.reset();
    runOnMain([&] { later = true; });
    EXPECT_FALSE(later);
    EXPECT_TRUE(folvan::test::waitFor([&] { return later; }));
    EXPECT_FALSE(dropped);
}

TEST(QueuesTest, SerialQueueRunsItemsOneAtATimeInOrderOffTheMainThread)
{
    SerialQueue queue(QStringLiteral("Folvan.text-search"));
    EXPECT_EQ(queue.label(), QStringLiteral("Folvan.text-search"));
    QMutex mutex;
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<bool> offMain{true};
    for (int i = 0; i < 50; ++i) {
        queue.async([&, i] {
            maxRunning = std::max(maxRunning.load(), ++running);
            offMain = offMain && QThread::currentThread() != QCoreApplication::instance()->thread();
            if (i % 10 == 0)
                QThread::msleep(2);
            QMutexLocker lock(&mutex);
            order.push_back(i);
            --running;
        });
    }
    queue.waitForDone();
    std::vector<int> expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_TRUE(offMain.load());
}

TEST(QueuesTest, AnExceptionNeverLeavesAWorkerThread)
{
    SerialQueue queue(QStringLiteral("Folvan.test"));
    std::atomic<int> after{0};
    queue.async([] { throw std::bad_alloc(); });
    queue.async([&] { ++after; });
    runConcurrently([] { throw 1; });
    runConcurrently([&] { ++after; });
    EXPECT_TRUE(folvan::test::waitFor([&] { return after == 2; }));
}

TEST(QueuesTest, WorkItemRunsOnlyTheNewestScheduleOnceAfterItsDelayAndNeverWhenCancelled)
{
    ManualClock clock;
    MainWorkItem item;
    int runs = 0;
    int value = 0;
    for (int i = 1; i <= 20; ++i) {
        item.schedule(0.02, [&, i] {
            ++runs;
            value = i;
        });
        clock.advance(0.01); // each schedule starts the delay again
    }
    EXPECT_TRUE(item.isPending());
    EXPECT_EQ(runs, 0);
    clock.advance(0.01);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(value, 20);
    EXPECT_FALSE(item.isPending());
    clock.advance(1);
    EXPECT_EQ(runs, 1);

    item.schedule(0.01, [&] { ++runs; });
    item.cancel();
    EXPECT_FALSE(item.isPending());
    clock.advance(1);
    EXPECT_EQ(runs, 1);

    // Dropped with the item; work scheduled while running runs in its turn.
    auto gone = std::make_unique<MainWorkItem>();
    gone->schedule(0, [&] { ++runs; });
    gone.reset();
    std::function<void()> step = [&] {
        if (++runs < 4)
            item.schedule(0, step);
    };
    item.schedule(0, step);
    clock.advance(0);
    EXPECT_EQ(runs, 4);
    EXPECT_EQ(clock.pending(), 0);
}

TEST(QueuesTest, AnimationsAndDelayedWorkMoveOnlyWithTheManualClock)
{
    ManualClock clock;
    QVariantAnimation slide;
    slide.setStartValue(0.0);
    slide.setEndValue(1.0);
    slide.setDuration(180);
    slide.start();
    bool later = false;
    QObject context;
    runAfter(&context, 0.35, [&] { later = true; });
    clock.advance(0.09);
    EXPECT_GT(slide.currentValue().toDouble(), 0.2);
    EXPECT_LT(slide.currentValue().toDouble(), 0.8);
    EXPECT_EQ(slide.state(), QAbstractAnimation::Running);
    clock.advance(0.09);
    EXPECT_EQ(slide.state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(slide.currentValue().toDouble(), 1.0);
    EXPECT_FALSE(later);
    clock.advance(0.17);
    EXPECT_TRUE(later);
}

TEST(QueuesTest, WorkItemOnTheWallClockRunsAndMayScheduleItselfAgain)
{
    MainWorkItem item;
    int runs = 0;
    std::function<void()> step = [&] {
        if (++runs < 3)
            item.schedule(0.001, step);
    };
    item.schedule(0, step);
    EXPECT_TRUE(folvan::test::waitFor([&] { return runs == 3; }));
    EXPECT_FALSE(item.isPending());
}

} // namespace
