#include "platform/Queues.h"

#include <QCoreApplication>
#include <QMutex>
#include <QTest>
#include <QThread>

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
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran; }, 2000));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());

    // Also queued when called on the main thread; dropped with its context.
    bool later = false;
    bool dropped = false;
    auto context = std::make_unique<QObject>();
    runOnMain(context.get(), [&] { dropped = true; });
    context.reset();
    runOnMain([&] { later = true; });
    EXPECT_FALSE(later);
    EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, 2000));
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

TEST(QueuesTest, WorkItemRunsOnlyTheNewestScheduleOnceAndNeverWhenCancelled)
{
    MainWorkItem item;
    int runs = 0;
    int value = 0;
    for (int i = 1; i <= 20; ++i)
        item.schedule(0.02, [&, i] {
            ++runs;
            value = i;
        });
    EXPECT_TRUE(item.isPending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 2000));
    QTest::qWait(60);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(value, 20);
    EXPECT_FALSE(item.isPending());

    item.schedule(0.01, [&] { ++runs; });
    item.cancel();
    EXPECT_FALSE(item.isPending());
    QTest::qWait(40);
    EXPECT_EQ(runs, 1);
}

TEST(QueuesTest, WorkItemMayScheduleItselfAgain)
{
    MainWorkItem item;
    int runs = 0;
    std::function<void()> step = [&] {
        if (++runs < 3)
            item.schedule(0, step);
    };
    item.schedule(0, step);
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 3; }, 2000));
}

} // namespace
