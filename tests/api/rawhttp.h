// A raw HTTP/1.1 client for the REST API tests: the request goes out byte for byte (a "//" in the
// target, malformed heads), and the reply is whatever arrives until the server closes.
#pragma once

#include <QtNetwork>
#include <QtTest>

#include <sys/socket.h>

/** bytewise: one byte at a time as fast as the loop goes; trickle: one every 100 ms, until closed. */
enum class Send { whole, bytewise, thenHalfClose, trickle };

struct Reply {
    QByteArray raw;

    [[nodiscard]] QByteArray body() const { return raw.mid(raw.indexOf("\r\n\r\n") + 4); }
    // const, so that chained ["a"]["b"] reads values instead of making references
    [[nodiscard]] const QJsonObject json() const { return QJsonDocument::fromJson(body()).object(); }
    /** 0: nothing came, or a body that differs from its Content-Length (a cut reply). */
    [[nodiscard]] int status() const
    {
        const bool complete = raw.contains("\r\n\r\n") && header("content-length").toLongLong() == body().size();
        return raw.startsWith("HTTP/1.1 ") && complete ? raw.mid(9, 3).toInt() : 0;
    }
    [[nodiscard]] QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : raw.left(raw.indexOf("\r\n\r\n")).split('\n').mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

/** The port in the app's "[API] http://127.0.0.1:<port>" line in `log`, after `from`; 0 while none. */
inline quint16 announcedPort(const QByteArray &log, qsizetype from = 0)
{
    static const QRegularExpression line(R"(\[API\] http://127\.0\.0\.1:(\d+)\n)");
    return line.match(QString::fromUtf8(log.sliced(from))).captured(1).toUShort();
}

inline QByteArray request(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
                          const QByteArray &headers = {})
{
    return method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

inline Reply exchange(quint16 port, const QByteArray &request, Send mode = Send::whole)
{
    QTcpSocket socket;
    Reply reply;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { reply.raw += socket.readAll(); });
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return reply;
    if (mode == Send::bytewise || mode == Send::trickle) {
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        for (const char byte : request) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                break;
            socket.write(&byte, 1);
            socket.flush();
            QTest::qWait(mode == Send::trickle ? 100 : 1); // lets the server read each byte on its own
        }
    } else {
        socket.write(request);
    }
    if (mode == Send::thenHalfClose) {
        socket.waitForBytesWritten(2000);
        ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
    }
    if (socket.state() != QAbstractSocket::UnconnectedState)
        closed.wait(15000);
    reply.raw += socket.readAll();
    return reply;
}
