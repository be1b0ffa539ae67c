#include "book/FloatingOverBook.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QEvent>

#include <cmath>

namespace folvan::book {

FloatingOverBook::FloatingOverBook(QObject *parent) : QObject(parent) { m_clock.start(); }

FloatingOverBook *FloatingOverBook::instance()
{
    static QPointer<FloatingOverBook> shared;
    if (!shared)
        shared = new FloatingOverBook(QCoreApplication::instance());
    return shared;
}

qint64 FloatingOverBook::nowMs() const
{
    if (const platform::ManualClock *manual = platform::ManualClock::current())
        return std::llround(manual->now() * 1000);
    return m_clock.elapsed();
}

QRegion FloatingOverBook::placeOf(const QWidget *widget)
{
    if (!widget->isVisible())
        return {};
    const QRegion own = widget->mask().isEmpty() ? QRegion(widget->rect()) : widget->mask();
    return own.translated(widget->mapTo(widget->window(), QPoint(0, 0)));
}

void FloatingOverBook::follow(QWidget *widget)
{
    FloatingOverBook *self = instance();
    if (!widget || self->m_places.count(widget))
        return;
    self->m_places[widget] = placeOf(widget);
    widget->installEventFilter(self);
    connect(widget, &QObject::destroyed, self, [self](QObject *gone) { self->m_places.erase(gone); });
}

void FloatingOverBook::notice(QWidget *widget, bool hiding)
{
    const auto place = m_places.find(widget);
    if (place == m_places.end())
        return;
    const QRegion now = hiding ? QRegion() : placeOf(widget);
    const QRegion gone = place->second.subtracted(now);
    if (!gone.isEmpty())
        m_left.push_back({widget->window(), gone, nowMs()});
    place->second = now;
}

bool FloatingOverBook::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide: {
        auto *widget = static_cast<QWidget *>(watched);
        notice(widget, event->type() == QEvent::Hide);
        // A mask set right after the geometry is read in the next turn.
        QPointer<QWidget> weak(widget);
        QMetaObject::invokeMethod(this, [this, weak] {
            if (weak)
                notice(weak, false);
        }, Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool FloatingOverBook::left(const QWidget *window, QPoint global)
{
    FloatingOverBook *self = instance();
    const qint64 now = self->nowMs();
    // A place noted on another clock (a test's manual clock came or went)
    // is let go.
    std::erase_if(self->m_left,
                  [now](const Left &left) { return !left.window || now < left.at || now - left.at > keepMs; });
    for (const Left &left : self->m_left)
        if (left.window == window && left.place.contains(window->mapFromGlobal(global)))
            return true;
    return false;
}

} // namespace folvan::book
