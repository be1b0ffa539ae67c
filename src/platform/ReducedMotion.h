#pragma once

#include <QObject>
#include <QString>

class QThread;

namespace folvan::platform {

// Whether the desktop asks programs to reduce motion: GNOME's
// org.gnome.desktop.interface enable-animations set to false. The setting
// is asked for and then watched by a gsettings child on a thread of its
// own, so that the main thread never waits for it; until it answers, and
// where the desktop offers no such setting, motion is not reduced. The
// watching child ends with the watcher (or with its thread, should the
// program end without cleaning up).
class ReducedMotion : public QObject {
    Q_OBJECT
public:
    // The watcher of the program's desktop, started at the first call.
    static ReducedMotion &shared();

    // A watcher that asks `program` (gsettings, or a stand-in that speaks
    // like it: "get" prints true or false, "monitor" a line per change).
    explicit ReducedMotion(const QString &program, QObject *parent = nullptr);
    ~ReducedMotion() override;

    bool reduces() const { return m_reduces; }

signals:
    void changed(bool reduces);

private:
    void take(bool reduces);

    QThread *m_thread;
    // The settings programs' parent, living on m_thread.
    QObject *m_children = nullptr;
    bool m_reduces = false;
};

// ReducedMotion::shared().reduces().
bool systemReducesMotion();

} // namespace folvan::platform
