#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int HandOverWaitMs = 1000;
constexpr int ReceiveTimeoutMs = 5000;

const QString ArgumentsKey = QStringLiteral("arguments");
const QString WorkingDirectoryKey = QStringLiteral("workingDirectory");
const QString HiddenKey = QStringLiteral("hidden");
const QString ActivationTokenKey = QStringLiteral("activationToken");

/** Whether the process at the other end of a connected local socket runs as this user. */
bool peerIsUs(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

/**
 * A folder only this user can enter: made 0700 when missing; an existing one must be a real
 * folder (no link) owned by us with no access for others, else nothing is placed in it.
 */
bool isPrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat folder {
    };
    return ::lstat(name.constData(), &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == ::getuid() &&
           (folder.st_mode & 077) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    // The socket carries the paths of the files handed over: it lives only where nobody else can
    // reach it, never loose in the shared temporary folder where another account could listen first.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return QDir(runtime).filePath(QStringLiteral("namorix.socket"));
    const QString own = QDir::temp().filePath(QStringLiteral("namorix-%1").arg(::getuid()));
    if (isPrivateFolder(own))
        return QDir(own).filePath(QStringLiteral("namorix.socket"));
    return {}; // no private place: no single instance rather than an open door
}

bool SingleInstance::handOver(const LaunchArguments &arguments)
{
    if (m_socketPath.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(HandOverWaitMs))
        return false;
    if (!peerIsUs(socket.socketDescriptor())) // the paths go to our own Namorix only
        return false;
    const QJsonObject message{{ArgumentsKey, QJsonArray::fromStringList(arguments.inputs)},
                              {WorkingDirectoryKey, arguments.workingDirectory},
                              {HiddenKey, arguments.hidden},
                              {ActivationTokenKey, arguments.activationToken}};
    socket.write(QJsonDocument(message).toJson(QJsonDocument::Compact));
    // The end of the message is the end of the connection.
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(HandOverWaitMs);
}

bool SingleInstance::listen()
{
    if (m_server)
        return m_server->isListening();
    if (m_socketPath.isEmpty())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    if (m_server->listen(m_socketPath))
        return true;
    // Nobody answered on it (handOver failed), so the socket file is a crashed run's leftover.
    QLocalServer::removeServer(m_socketPath);
    return m_server->listen(m_socketPath);
}

void SingleInstance::accept()
{
    struct Pending {
        QByteArray bytes;
        bool refused = false; // too long or too slow: dropped whole, never half
    };
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!peerIsUs(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const auto pending = std::make_shared<Pending>();
        auto refuse = [socket, pending] {
            pending->refused = true;
            socket->abort();
        };
        QTimer::singleShot(ReceiveTimeoutMs, socket, refuse);
        connect(socket, &QLocalSocket::readyRead, socket, [socket, pending, refuse] {
            pending->bytes += socket->read(MaxMessageBytes + 1 - pending->bytes.size());
            if (pending->bytes.size() > MaxMessageBytes)
                refuse();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, pending] {
            if (!pending->refused)
                receive(pending->bytes + socket->readAll());
            socket->deleteLater();
        });
    }
}

void SingleInstance::receive(const QByteArray &message)
{
    const QJsonObject object = QJsonDocument::fromJson(message).object();
    QStringList inputs;
    for (const QJsonValue &value : object.value(ArgumentsKey).toArray())
        inputs.append(value.toString());
    deliver(LaunchArguments{inputs, object.value(WorkingDirectoryKey).toString(), object.value(HiddenKey).toBool(),
                            object.value(ActivationTokenKey).toString()});
}

void SingleInstance::deliver(const LaunchArguments &arguments)
{
    // A hidden start (autostart while Namorix already runs) leaves the window where it is.
    if (!arguments.hidden) {
        // The later start's token lets this process come forward on Wayland: Qt's xdg-shell
        // integration takes it from the environment at the next activateWindow().
        if (!arguments.activationToken.isEmpty())
            qputenv(CommandLine::ActivationTokenVariable, arguments.activationToken.toUtf8());
        Q_EMIT activationRequested();
    }
    if (const std::optional<QList<QUrl>> inputs = CommandLine::analysisInputs(arguments))
        Q_EMIT analysisRequested(*inputs);
}
