#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace folvan::app {

namespace {

// Paths travel as UTF-8 lines; a path holding a line break cannot be told
// apart and is not sent.
QByteArray encodePaths(const QStringList &paths)
{
    QByteArray bytes;
    for (const QString &path : paths)
        if (!path.contains(QLatin1Char('\n')))
            bytes += path.toUtf8() + '\n';
    return bytes;
}

// A command-line file argument (a path or a file URL) as an absolute path.
QString absolutePath(const QString &argument)
{
    QString path = argument;
    if (const QUrl url(argument); url.isLocalFile())
        path = url.toLocalFile();
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
#ifdef Q_OS_UNIX
    // The user's private runtime folder, not the shared temporary one: there
    // another user could take the name first, receive every launch's paths
    // and keep the program from starting.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(QStringLiteral("Folvan.socket"));
    return QStringLiteral("Folvan-%1").arg(::getuid());
#else
    return QStringLiteral("Folvan-%1").arg(qEnvironmentVariable("USERNAME"));
#endif
}

QString SingleInstance::lockPath() const
{
    const QString socket = QFileInfo(m_name).isAbsolute() ? m_name : QDir::temp().filePath(m_name);
    return socket + QStringLiteral(".lock");
}

SingleInstance::Role SingleInstance::claim(const QStringList &paths, int timeoutMs)
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a lock whose process is gone is stale, however old it is.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(timeoutMs);
    for (int wait = 0;; wait = 100) {
        if (m_lock->tryLock(wait))
            return listen() ? Role::Running : Role::Failed;
        if (m_lock->error() != QLockFile::LockFailedError) {
            // No lock can be made here: the socket alone decides.
            m_lock.reset();
            if (forwardToRunningInstance(paths))
                return Role::Forwarded;
            return listen() ? Role::Running : Role::Failed;
        }
        // The holder may still be starting and not listen yet.
        if (forwardToRunningInstance(paths, 250))
            return Role::Forwarded;
        if (deadline.hasExpired())
            return Role::Failed;
    }
}

bool SingleInstance::forwardToRunningInstance(const QStringList &paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encodePaths(paths));
    socket.flush();
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(timeoutMs)) {
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered on it (forwardToRunningInstance failed first):
        // the socket is a leftover.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] { *buffer += socket->readAll(); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                socket->deleteLater();
                QStringList paths;
                for (const QByteArray &line : buffer->split('\n'))
                    if (!line.isEmpty())
                        paths.append(QString::fromUtf8(line));
                emit pathsReceived(paths);
            });
        }
    });
    return true;
}

QStringList SingleInstance::forwardedPaths(const QStringList &arguments)
{
    QStringList paths;
    if (const std::optional<QString> pdf = pdfArgument(arguments))
        paths.append(absolutePath(*pdf));
    return paths + pathsFromArguments(arguments);
}

std::optional<QString> SingleInstance::pdfArgument(const QStringList &arguments)
{
    const qsizetype option = arguments.indexOf(QStringLiteral("--pdf"), 1);
    if (option < 1 || option + 1 >= arguments.size())
        return std::nullopt;
    return arguments[option + 1];
}

QStringList SingleInstance::pathsFromArguments(const QStringList &arguments)
{
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--pdf")) {
            ++i;
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')))
            continue;
        paths.append(absolutePath(argument));
    }
    return paths;
}

} // namespace folvan::app
