#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/** One request as the stub received it. Header names are lower-cased. */
struct RecordedRequest {
    QByteArray method;
    QString path;  ///< decoded path without the query
    QString query; ///< the raw query after "?", if any
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;
};

/** What the stub answers. */
struct StubResponse {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    int delayMs = 0;                                   ///< wait before answering
    bool dropConnection = false;                       ///< close without any response
    QList<QPair<QByteArray, QByteArray>> headers = {}; ///< sent besides type, length and "Connection"
};

/**
 * A loopback HTTP/1.1 server for tests: every request is recorded and answered by a handler,
 * one request per connection. Counts requests in flight so tests can check concurrency limits.
 * Lives on the thread that created it.
 */
class StubHttpServer final : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<StubResponse(const RecordedRequest &)>;

    explicit StubHttpServer(QObject *parent = nullptr);

    /** Listens on 127.0.0.1, on `port` or any free one. */
    bool listen(quint16 port = 0) { return m_server->listen(QHostAddress::LocalHost, port); }
    void close() { m_server->close(); }
    [[nodiscard]] quint16 port() const { return m_server->serverPort(); }
    [[nodiscard]] QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    [[nodiscard]] const QList<RecordedRequest> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    [[nodiscard]] int inFlight() const { return m_inFlight; }
    [[nodiscard]] int maxInFlight() const { return m_maxInFlight; }
    /** Every connection accepted so far, whether or not a request came on it. */
    [[nodiscard]] int connections() const { return m_connections; }

Q_SIGNALS:
    void requestReceived(const RecordedRequest &request);

private:
    void accept();
    void readFrom(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const RecordedRequest &request);

    QTcpServer *m_server;
    Handler m_handler;
    QList<RecordedRequest> m_requests;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
    int m_connections = 0;
};
