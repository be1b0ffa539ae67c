#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QThreadPool;
class QTimer;

namespace folvan::platform {

// Runs `fn` on the main thread: queued after the current event, also when
// called on the main thread.
void runOnMain(std::function<void()> fn);
// As above; dropped when `context` is destroyed before it runs.
void runOnMain(QObject *context, std::function<void()> fn);

// Runs `fn` on the global thread pool.
void runConcurrently(std::function<void()> fn);

// A serial queue with a label ("Folvan.text-search", ...): work items run one
// at a time, in the order given, on a worker thread.
class SerialQueue {
public:
    explicit SerialQueue(const QString &label);
    // Waits for the queued items to finish.
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    QString label() const { return m_label; }
    void async(std::function<void()> fn);
    // Blocks until every item queued so far has run.
    void waitForDone();

private:
    QString m_label;
    std::unique_ptr<QThreadPool> m_pool;
};

// A delayed, cancellable work item on the main thread (debounces). A new
// schedule replaces the pending one. Owned and used on the main thread. The
// delay passes on the ManualClock while there is one.
class MainWorkItem : public QObject {
    Q_OBJECT
public:
    explicit MainWorkItem(QObject *parent = nullptr);
    ~MainWorkItem() override;

    // Runs `fn` after `delaySeconds` unless cancelled or replaced first.
    void schedule(double delaySeconds, std::function<void()> fn);
    void cancel();
    bool isPending() const;

private:
    void run();

    QTimer *m_timer;
    std::function<void()> m_fn;
    quint64 m_ticket = 0; // on the ManualClock

};

using Debouncer = MainWorkItem;

} // namespace folvan::platform
