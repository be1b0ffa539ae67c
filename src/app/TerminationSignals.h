#pragma once

#include <QObject>

class QSocketNotifier;

namespace folvan::app {

// Turns SIGTERM, SIGINT and SIGHUP into `quitRequested` on the main thread,
// so that the program ends as Quit ends it, with every store written. The
// handler only writes a byte to a pipe that the event loop watches. One per
// process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    // Gives the signals their default action back.
    ~TerminationSignals() override;

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace folvan::app
