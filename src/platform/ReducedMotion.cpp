#include "platform/ReducedMotion.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace folvan::platform {

namespace {

const QStringList kKey = {QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations")};

// "false", or a monitor's "enable-animations: false": animations are off.
std::optional<bool> animationsOff(const QByteArray &line)
{
    const QByteArray value = line.trimmed().split(' ').last();
    if (value == "false")
        return true;
    if (value == "true")
        return false;
    return std::nullopt;
}

// In the child, before it runs the settings program: it dies with the
// thread that started it, so that it never outlives this program (and the
// descriptors it inherited with it).
void detachChild()
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
}

} // namespace

ReducedMotion &ReducedMotion::shared()
{
    static ReducedMotion *watcher =
        new ReducedMotion(QStandardPaths::findExecutable(QStringLiteral("gsettings")), QCoreApplication::instance());
    return *watcher;
}

ReducedMotion::ReducedMotion(const QString &program, QObject *parent) : QObject(parent), m_thread(new QThread(this))
{
    m_thread->setObjectName(QStringLiteral("Folvan.reducedMotion"));
    if (program.isEmpty())
        return;
    auto *children = new QObject;
    m_children = children;
    children->moveToThread(m_thread);
    m_thread->start();
    // On the watcher's thread: the monitor first, so that no change made
    // after the question is missed, then the question. Each answer reaches
    // the main thread queued; the thread ends before this object does.
    QMetaObject::invokeMethod(children, [this, children, program] {
        auto report = [this](const QByteArray &line) {
            if (const std::optional<bool> off = animationsOff(line))
                QMetaObject::invokeMethod(this, [this, reduces = *off] { take(reduces); }, Qt::QueuedConnection);
        };
        auto *monitor = new QProcess(children);
        monitor->setChildProcessModifier(detachChild);
        connect(monitor, &QProcess::readyReadStandardOutput, monitor, [monitor, report] {
            while (monitor->canReadLine())
                report(monitor->readLine());
        });
        monitor->start(program, QStringList{QStringLiteral("monitor")} + kKey, QIODevice::ReadOnly);
        auto *question = new QProcess(children);
        question->setChildProcessModifier(detachChild);
        connect(question, &QProcess::finished, question, [question, report](int code, QProcess::ExitStatus status) {
            if (status == QProcess::NormalExit && code == 0)
                report(question->readAllStandardOutput());
            question->deleteLater();
        });
        question->start(program, QStringList{QStringLiteral("get")} + kKey, QIODevice::ReadOnly);
    });
}

ReducedMotion::~ReducedMotion()
{
    // The children end (and are waited for) on their own thread.
    if (m_children)
        QMetaObject::invokeMethod(
            m_children,
            [children = m_children] {
                for (QProcess *child : children->findChildren<QProcess *>()) {
                    child->kill();
                    child->waitForFinished(2000);
                }
                delete children;
            },
            Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void ReducedMotion::take(bool reduces)
{
    if (reduces == m_reduces)
        return;
    m_reduces = reduces;
    emit changed(reduces);
}

bool systemReducesMotion() { return ReducedMotion::shared().reduces(); }

} // namespace folvan::platform
