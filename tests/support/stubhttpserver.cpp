#include "stubhttpserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

// Parses a complete request from `buffer`; false while head or body are still incomplete.
bool parseRequest(const QByteArray &buffer, RecordedRequest &request)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype question = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
    request.query = question < 0 ? QString() : QString::fromUtf8(target.mid(question + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - headEnd - 4 < length)
        return false;
    request.body = buffer.mid(headEnd + 4, length);
    return true;
}

} // namespace

StubHttpServer::StubHttpServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    m_handler = [](const RecordedRequest &) { return StubResponse{404, "{}"}; };
    connect(m_server, &QTcpServer::newConnection, this, &StubHttpServer::accept);
}

void StubHttpServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void StubHttpServer::readFrom(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    RecordedRequest request;
    if (socket->property("handled").toBool() || !parseRequest(buffer, request))
        return;
    socket->setProperty("handled", true);
    m_requests.append(request);
    m_maxInFlight = std::max(m_maxInFlight, ++m_inFlight);
    Q_EMIT requestReceived(request);
    respond(socket, request);
}

void StubHttpServer::respond(QTcpSocket *socket, const RecordedRequest &request)
{
    const StubResponse response = m_handler(request);
    QPointer<QTcpSocket> guard(socket);
    auto send = [this, guard, response] {
        --m_inFlight;
        if (!guard)
            return;
        if (!response.dropConnection) { // clients ignore the reason phrase
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Stub" +
                              "\r\nContent-Type: " + response.contentType +
                              "\r\nContent-Length: " + QByteArray::number(response.body.size());
            for (const auto &[name, value] : response.headers)
                head += "\r\n" + name + ": " + value;
            head += "\r\nConnection: close\r\n\r\n";
            guard->write(head + response.body);
        }
        guard->disconnectFromHost();
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, send);
    else
        send();
}
