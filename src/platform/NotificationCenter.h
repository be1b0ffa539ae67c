#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

namespace folvan::platform {

// Identifies one observation; 0 is never a valid token.
using ObserverToken = quint64;

// A process-wide notification centre: named notifications with a payload,
// delivered to observers on the main thread.
//
// A notification's payload is a struct that names its notification:
//     struct Moved { QUrl from, to; static QString name(); };
// posted with post(Moved{...}) and observed with observe<Moved>(...).
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &name, const QVariant &payload)>;

    static NotificationCenter &shared();

    // Delivers `name` to every observer of it. On the main thread the
    // observers run before post returns; from another thread the delivery is
    // queued to the main thread.
    void post(const QString &name, const QVariant &payload = {});
    template <typename Payload>
    void post(const Payload &payload)
    {
        post(Payload::name(), QVariant::fromValue(payload));
    }

    // Calls `handler` on the main thread for every post of `name` until the
    // token is removed or `context` is destroyed. `context` is required: an
    // observer whose context object is gone is never called.
    ObserverToken observe(const QString &name, QObject *context, Handler handler);
    // The same for a typed notification; a post of its name with another
    // payload is not handed on.
    template <typename Payload>
    ObserverToken observe(QObject *context, std::function<void(const Payload &)> handler)
    {
        if (!handler)
            return 0;
        return observe(Payload::name(), context, [handler = std::move(handler)](const QString &, const QVariant &payload) {
            if (payload.metaType() == QMetaType::fromType<Payload>())
                handler(*static_cast<const Payload *>(payload.constData()));
        });
    }

    void removeObserver(ObserverToken token);
    // Removes every observation made with `context`.
    void removeObservers(QObject *context);

private:
    explicit NotificationCenter(QObject *parent = nullptr);
    void deliver(const QString &name, const QVariant &payload);

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
