#include "platform/Queues.h"

#include <QCoreApplication>
#include <QMutex>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace folvan::platform;

namespace {

TEST(QueuesTest, RunOnMainRunsLaterOnTheMainThread)
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

    // Also queued when called on the main thread.
    bool later = false;
    runOnMain([&] { later = true; });
    EXPECT_FALSE(later);
    EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, 2000));
}

TEST(QueuesTest, RunOnMainWithDestroyedContextIsDropped)
{
    bool ran = false;
    auto context = std::make_unique<QObject>();
    runOnMain(context.get(), [&] { ran = true; });
    context.reset();
    bool marker = false;
    runOnMain([&] { marker = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return marker; }, 2000));
    EXPECT_FALSE(ran);
}

TEST(QueuesTest, SerialQueueRunsItemsOneAtATimeInOrder)
{
    SerialQueue queue(QStringLiteral("Folvan.text-search"));
    EXPECT_EQ(queue.label(), QStringLiteral("Folvan.text-search"));
    QMutex mutex;
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<bool> offMain{true};
    QThread *main = QCoreApplication::instance()->thread();
    for (int i = 0; i < 50; ++i) {
        queue.async([&, i] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            if (QThread::currentThread() == main)
                offMain = false;
            if (i % 10 == 0)
                QThread::msleep(2);
            {
                QMutexLocker lock(&mutex);
                order.push_back(i);
            }
            --running;
        });
    }
    queue.waitForDone();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_TRUE(offMain.load());
}

TEST(QueuesTest, DebouncerRunsOnlyTheNewestScheduleOnce)
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
}

TEST(QueuesTest, CancelledWorkItemNeverRuns)
{
    MainWorkItem item;
    bool ran = false;
    item.schedule(0.01, [&] { ran = true; });
    item.cancel();
    EXPECT_FALSE(item.isPending());
    QTest::qWait(40);
    EXPECT_FALSE(ran);
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
