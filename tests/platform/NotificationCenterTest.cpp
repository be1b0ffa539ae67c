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

TEST(NotificationCenterTest, PostOnMainThreadDeliversNameAndUserInfoAtOnce)
{
    QObject context;
    QString seenName;
    QVariantMap seenInfo;
    int calls = 0;
    const ObserverToken token = center().observe(
        QStringLiteral("Test.direct"), &context, [&](const QString &name, const QVariantMap &info) {
            ++calls;
            seenName = name;
            seenInfo = info;
        });
    EXPECT_NE(token, 0u);
    center().post(QStringLiteral("Test.other"));
    center().post(QStringLiteral("Test.direct"), {{QStringLiteral("kind"), QStringLiteral("bookmarks")}});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenName, QStringLiteral("Test.direct"));
    EXPECT_EQ(seenInfo.value(QStringLiteral("kind")).toString(), QStringLiteral("bookmarks"));
    center().removeObserver(token);
}

TEST(NotificationCenterTest, PostFromWorkerIsDeliveredOnMainThread)
{
    QObject context;
    std::atomic<int> calls{0};
    QThread *deliveredOn = nullptr;
    const ObserverToken token = center().observe(QStringLiteral("Test.worker"), &context,
                                                 [&](const QString &, const QVariantMap &info) {
                                                     deliveredOn = QThread::currentThread();
                                                     calls += info.value(QStringLiteral("n")).toInt();
                                                 });
    std::thread worker([] { center().post(QStringLiteral("Test.worker"), {{QStringLiteral("n"), 1}}); });
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
    const auto count = [](int &calls) { return [&calls](const QString &, const QVariantMap &) { ++calls; }; };
    center().observe(QStringLiteral("Test.remove"), a.get(), count(callsA));
    center().observe(QStringLiteral("Test.remove"), &b, count(callsB));
    const ObserverToken tokenC = center().observe(QStringLiteral("Test.remove"), &c, count(callsC));
    // Posted from a worker while every context is alive, delivered after
    // the first one is gone.
    std::thread worker([] { center().post(QStringLiteral("Test.remove")); });
    worker.join();
    a.reset();
    folvan::test::settle();
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
                                                 [&](const QString &, const QVariantMap &) {
                                                     center().removeObserver(second);
                                                 });
    second = center().observe(QStringLiteral("Test.reentrant"), &context,
                              [&](const QString &, const QVariantMap &) { ++secondCalls; });
    center().post(QStringLiteral("Test.reentrant"));
    EXPECT_EQ(secondCalls, 0);
    center().removeObserver(first);
}

} // namespace
