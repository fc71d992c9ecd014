#include "cli/remotebackend.h"

#include "common/stringtable.h"
#include "settings/appsettings.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <vector>

namespace {

constexpr int ConnectTimeoutMs = 2000;
constexpr int HealthTimeoutMs = 10000;

/** Status and JSON object of a whole reply as the server writes it (head, blank line, body). */
BackendReply parseReply(const QByteArray &raw)
{
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.1 ") || headEnd < 0)
        return {};
    return {raw.mid(9, 3).toInt(), QJsonDocument::fromJson(raw.mid(headEnd + 4)).object()};
}

} // namespace

RemoteBackend::RemoteBackend(QString socketPath, qint64 port, QString token)
    : m_socketPath(std::move(socketPath))
    , m_port(port)
    , m_token(std::move(token))
{
}

std::unique_ptr<RemoteBackend> RemoteBackend::find(QString &problem)
{
    AppSettings &settings = AppSettings::shared();
    const QString socketPath = AppSettings::apiSocketPath();
    std::vector<std::unique_ptr<RemoteBackend>> candidates;
    if (QFileInfo(socketPath).exists())
        candidates.push_back(std::unique_ptr<RemoteBackend>(new RemoteBackend(socketPath, 0, QString())));
    if (settings.apiEnabled() && settings.apiPort() > 0 && settings.apiPort() <= 65535)
        candidates.push_back(
            std::unique_ptr<RemoteBackend>(new RemoteBackend(QString(), settings.apiPort(), settings.apiToken())));
    for (std::unique_ptr<RemoteBackend> &candidate : candidates) {
        const std::optional<BackendReply> health =
            candidate->exchange(QStringLiteral("GET"), QStringLiteral("/v1/health"), {}, HealthTimeoutMs);
        if (!health)
            continue;
        if (health->ok() && health->json.value(QStringLiteral("status")).toString() == u"ok")
            return std::move(candidate);
        // An app that is there but refuses or hangs must not get a second worker on its files beside it.
        if (health->status == 401 || health->status == 403) {
            problem = StringTable::text("terminal.refused").arg(health->error());
            return nullptr;
        }
        if (health->status == -1) {
            problem = StringTable::text("terminal.appSilent");
            return nullptr;
        }
    }
    return nullptr;
}

QString RemoteBackend::description() const
{
    return m_socketPath.isEmpty() ? StringTable::text("terminal.viaPort").arg(m_port)
                                  : StringTable::text("terminal.viaSocket").arg(m_socketPath);
}

std::unique_ptr<QIODevice> RemoteBackend::open() const
{
    if (!m_socketPath.isEmpty()) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(m_socketPath);
        return socket->waitForConnected(ConnectTimeoutMs) ? std::move(socket) : nullptr;
    }
    auto socket = std::make_unique<QTcpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->connectToHost(QHostAddress::LocalHost, quint16(m_port));
    return socket->waitForConnected(ConnectTimeoutMs) ? std::move(socket) : nullptr;
}

std::optional<BackendReply> RemoteBackend::exchange(const QString &method, const QString &path, const QJsonObject &body,
                                                    int timeoutMs)
{
    const std::unique_ptr<QIODevice> socket = open();
    if (!socket)
        return std::nullopt;
    const QByteArray content = body.isEmpty() ? QByteArray() : QJsonDocument(body).toJson(QJsonDocument::Compact);
    QByteArray request = method.toUtf8() + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!m_token.isEmpty())
        request += "Authorization: Bearer " + m_token.toUtf8() + "\r\n";
    request += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(content.size()) + "\r\n\r\n" +
               content;

    QByteArray raw;
    QEventLoop loop;
    QObject::connect(socket.get(), &QIODevice::readyRead, &loop, [&] { raw += socket->readAll(); });
    if (auto *local = qobject_cast<QLocalSocket *>(socket.get())) {
        QObject::connect(local, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(local, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    } else if (auto *tcp = qobject_cast<QTcpSocket *>(socket.get())) {
        QObject::connect(tcp, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(tcp, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    }
    bool timedOut = false;
    if (timeoutMs >= 0) {
        QTimer::singleShot(timeoutMs, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
    }
    socket->write(request);
    loop.exec();
    if (timedOut)
        return BackendReply{-1, {}};
    raw += socket->readAll();
    return parseReply(raw);
}

BackendReply RemoteBackend::call(const QString &method, const QString &path, const QJsonObject &body)
{
    return exchange(method, path, body).value_or(BackendReply{});
}
