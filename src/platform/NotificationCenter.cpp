#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

namespace folvan::platform {

NotificationCenter::NotificationCenter(QObject *parent)
    : QObject(parent)
{
}

NotificationCenter &NotificationCenter::shared()
{
    static NotificationCenter *center = [] {
        auto *c = new NotificationCenter;
        if (QCoreApplication *app = QCoreApplication::instance())
            c->moveToThread(app->thread());
        return c;
    }();
    return *center;
}

void NotificationCenter::post(const QString &name, const QVariant &payload)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(
            this, [this, name, payload] { deliver(name, payload); }, Qt::QueuedConnection);
        return;
    }
    deliver(name, payload);
}

void NotificationCenter::deliver(const QString &name, const QVariant &payload)
{
    std::vector<ObserverToken> tokens;
    {
        QMutexLocker lock(&m_mutex);
        // Observers whose context is gone are dropped here for good.
        m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                         [](const Observer &o) { return o.context.isNull(); }),
                          m_observers.end());
        for (const Observer &o : m_observers)
            if (o.name == name)
                tokens.push_back(o.token);
    }
    for (ObserverToken token : tokens) {
        Handler handler;
        {
            // Looked up again: an earlier handler may have removed this
            // observer or destroyed its context.
            QMutexLocker lock(&m_mutex);
            auto it = std::find_if(m_observers.begin(), m_observers.end(),
                                   [token](const Observer &o) { return o.token == token; });
            if (it == m_observers.end() || it->context.isNull())
                continue;
            handler = it->handler;
        }
        if (handler)
            handler(name, payload);
    }
}

ObserverToken NotificationCenter::observe(const QString &name, QObject *context, Handler handler)
{
    if (!context || !handler)
        return 0;
    QMutexLocker lock(&m_mutex);
    const ObserverToken token = m_nextToken++;
    m_observers.push_back(Observer{token, name, QPointer<QObject>(context), std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    if (token == 0)
        return;
    QMutexLocker lock(&m_mutex);
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                     [token](const Observer &o) { return o.token == token; }),
                      m_observers.end());
}

void NotificationCenter::removeObservers(QObject *context)
{
    if (!context)
        return;
    QMutexLocker lock(&m_mutex);
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                     [context](const Observer &o) { return o.context == context; }),
                      m_observers.end());
}

} // namespace folvan::platform
