#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;

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

    enum class Role {
        Running,   // this launch is the running instance and listens
        Forwarded, // another one runs and got the paths
        Failed,    // another one holds the lock but never answered
    };
    // Becomes the running instance, or hands `paths` to the one that runs.
    // Atomic: of launches at the same moment exactly one runs, by a lock
    // file beside the socket that is held while the instance lives (a lock
    // left by an instance that died is taken over). Waits up to `timeoutMs`
    // for a running instance that is still starting to answer.
    Role claim(const QStringList &paths, int timeoutMs = 5000);

    // Sends `paths` to a running instance; false when none answers.
    bool forwardToRunningInstance(const QStringList &paths, int timeoutMs = 1000) const;
    // Starts answering later launches; a socket left by an instance that
    // ended without closing it is replaced.
    bool listen();

    // The paths given on a command line: every argument but the program,
    // options and the value of "--pdf", made absolute.
    static QStringList pathsFromArguments(const QStringList &arguments);
    // The path after the first "--pdf", as given; none when there is no
    // "--pdf" or it is the last argument.
    static std::optional<QString> pdfArgument(const QStringList &arguments);
    // What a second launch hands over: those paths and, first, the file
    // named by "--pdf" (which the running window would otherwise never
    // hear of).
    static QStringList forwardedPaths(const QStringList &arguments);

signals:
    void pathsReceived(const QStringList &paths);

private:
    QString lockPath() const;

    QString m_name;
    QLocalServer *m_server = nullptr;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace folvan::app
