#include "platform/NotificationCenter.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QThread>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using folvan::platform::NotificationCenter;
using folvan::platform::ObserverToken;

namespace {

NotificationCenter &center()
{
    return NotificationCenter::shared();
}

struct Counted {
    int n = 0;
    QString kind;
    static QString name() { return QStringLiteral("Test.counted"); }
};

TEST(NotificationCenterTest, PostOnMainThreadDeliversItsPayloadAtOnce)
{
    QObject context;
    std::vector<Counted> seen;
    const ObserverToken token = center().observe<Counted>(&context, [&](const Counted &c) { seen.push_back(c); });
    EXPECT_NE(token, 0u);
    center().post(QStringLiteral("Test.other"));
    // The same name with another payload is not handed on.
    center().post(Counted::name(), QVariant(3));
    center().post(Counted{2, QStringLiteral("bookmarks")});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].n, 2);
    EXPECT_EQ(seen[0].kind, QStringLiteral("bookmarks"));
    center().removeObserver(token);
}

TEST(NotificationCenterTest, PostFromWorkerIsDeliveredOnMainThread)
{
    QObject context;
    std::atomic<int> calls{0};
    QThread *deliveredOn = nullptr;
    const ObserverToken token = center().observe<Counted>(&context, [&](const Counted &c) {
        deliveredOn = QThread::currentThread();
        calls += c.n;
    });
    std::thread worker([] { center().post(Counted{1, {}}); });
    worker.join();
    // Not yet: the delivery waits for the main thread's event loop.
    EXPECT_EQ(calls.load(), 0);
    EXPECT_TRUE(folvan::test::waitFor([&] { return calls.load() == 1; }));
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    center().removeObserver(token);
}

TEST(NotificationCenterTest, RemovedTokensAndGoneContextsStopDelivery)
{
    auto a = std::make_unique<QObject>();
    QObject b;
    QObject c;
    int callsA = 0;
    int callsB = 0;
    int callsC = 0;
    const auto count = [](int &calls) { return [&calls](const QString &, const QVariant &) { ++calls; }; };
    center().observe(QStringLiteral("Test.remove"), a.get(), count(callsA));
    center().observe(QStringLiteral("Test.remove"), &b, count(callsB));
    const ObserverToken tokenC = center().observe(QStringLiteral("Test.remove"), &c, count(callsC));
    // Posted from a worker while every context is alive, delivered after
    // the first one is gone.
    std::thread worker([] { center().post(QStringLiteral("Test.remove")); });
    worker.join();
    a.reset();
    folvan::test::waitForIdle();
    center().removeObserver(tokenC);
    center().post(QStringLiteral("Test.remove"));
    center().removeObservers(&b);
    center().post(QStringLiteral("Test.remove"));
    EXPECT_EQ(callsA, 0);
    EXPECT_EQ(callsB, 2);
    EXPECT_EQ(callsC, 1);
}

TEST(NotificationCenterTest, HandlerMayRemoveALaterObserverDuringDelivery)
{
    QObject context;
    int secondCalls = 0;
    ObserverToken second = 0;
    const ObserverToken first = center().observe(QStringLiteral("Test.reentrant"), &context,
                                                 [&](const QString &, const QVariant &) {
                                                     center().removeObserver(second);
                                                 });
    second = center().observe(QStringLiteral("Test.reentrant"), &context,
                              [&](const QString &, const QVariant &) { ++secondCalls; });
    center().post(QStringLiteral("Test.reentrant"));
    EXPECT_EQ(secondCalls, 0);
    center().removeObserver(first);
}

} // namespace
