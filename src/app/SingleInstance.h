#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace folvan::app {

// One running Folvan per user. A second launch hands its PDF paths to the
// running instance over a local socket and ends; the running instance
// reports them as `pathsReceived`.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name`: the socket's name; the per-user default when empty.
    explicit SingleInstance(const QString &name = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The per-user socket, in the user's own runtime folder where there is one.
    static QString defaultName();

    // Sends `paths` to a running instance; false when none answers.
    bool forwardToRunningInstance(const QStringList &paths, int timeoutMs = 1000) const;
    // Starts answering later launches; a socket left by an instance that
    // ended without closing it is replaced.
    bool listen();

    // The paths given on a command line: every argument but the program,
    // options and the value of "--pdf", made absolute.
    static QStringList pathsFromArguments(const QStringList &arguments);
    // What a second launch hands over: those paths and, first, the file
    // named by "--pdf" (which the running window would otherwise never
    // hear of).
    static QStringList forwardedPaths(const QStringList &arguments);

signals:
    void pathsReceived(const QStringList &paths);

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace folvan::app
