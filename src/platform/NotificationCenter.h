#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace folvan::platform {

// Identifies one observation; 0 is never a valid token.
using ObserverToken = quint64;

// A process-wide notification centre: named notifications with a user-info
// map, delivered to observers on the main thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &name, const QVariantMap &userInfo)>;

    static NotificationCenter &shared();

    // Delivers `name` to every observer of it. On the main thread the
    // observers run before post returns; from another thread the delivery is
    // queued to the main thread.
    void post(const QString &name, const QVariantMap &userInfo = {});

    // Calls `handler` on the main thread for every post of `name` until the
    // token is removed or `context` is destroyed. `context` is required: an
    // observer whose context object is gone is never called.
    ObserverToken observe(const QString &name, QObject *context, Handler handler);

    void removeObserver(ObserverToken token);
    // Removes every observation made with `context`.
    void removeObservers(QObject *context);

private:
    explicit NotificationCenter(QObject *parent = nullptr);
    void deliver(const QString &name, const QVariantMap &userInfo);

    struct Observer {
        ObserverToken token;
        QString name;
        QPointer<QObject> context;
        Handler handler;
    };
    mutable QMutex m_mutex;
    std::vector<Observer> m_observers;
    ObserverToken m_nextToken = 1;
};

} // namespace folvan::platform
