#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>

class QSocketNotifier;

/**
 * One accepted TCP connection of the REST API: collects one request's bytes, writes one reply
 * and closes. It works on the raw descriptor rather than QTcpSocket because it needs two things
 * QTcpSocket does not offer: a client's half-close (shutdown of its write side after sending)
 * must still let the reply through, and after replying only our write side is shut, so unread
 * input is drained instead of being answered with a reset that can destroy the reply in flight.
 *
 * A request is complete when the head has ended (an empty line; lines end in CR LF or a bare LF)
 * and, if it declares a Content-Length, the body has arrived; it is cut to that length. A client
 * that ends its side early delivers what it sent. A request longer than MaxRequestBytes is
 * refused as soon as that is known: when its Content-Length announces it, else when that many
 * bytes have arrived; its unread rest is drained like any other after the reply. A connection
 * that sends nothing for the idle time-out before its request is complete is closed without a
 * reply, as is one that closes before sending anything.
 */
class HTTPConnection final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxRequestBytes = 1'000'000;
    static constexpr std::chrono::milliseconds DefaultIdleTimeout{10'000};
    /** How long unread input is drained after the reply before the connection is dropped. */
    static constexpr std::chrono::milliseconds DrainTimeout{1'000};

    /** Takes ownership of the connected `descriptor`. */
    HTTPConnection(int descriptor, std::chrono::milliseconds idleTimeout, QObject *parent);
    ~HTTPConnection() override;
    Q_DISABLE_COPY_MOVE(HTTPConnection)

    /**
     * Sends `message` (status line to body) once, then closes. Also before the request has arrived
     * (a refusal; what the client sends is drained, never handled). Ignored once a reply is under
     * way or the connection is closed.
     */
    void reply(const QByteArray &message);
    /** Closes at once; the client gets no reply. */
    void closeWithoutReply();

Q_SIGNALS:
    /** The request's bytes, emitted once. Reply or close in response, now or later. */
    void requestReceived(const QByteArray &request);
    /** Instead of requestReceived: the request exceeds MaxRequestBytes. Reply or close in response. */
    void requestTooLarge();

private:
    enum class Phase { reading, handling, writing, draining, closed };
    enum class Completeness { partial, complete, tooLarge };

    void readable();
    void readRequest();
    [[nodiscard]] Completeness completeness();
    void writeReply();
    void drain();
    void close();
    void closeDescriptor();

    int m_descriptor;
    std::chrono::milliseconds m_idleTimeout;
    Phase m_phase = Phase::reading;
    QSocketNotifier *m_readNotifier;
    QSocketNotifier *m_writeNotifier;
    QTimer m_timer;
    QByteArray m_data;             // the request while reading, the reply while writing
    qsizetype m_scannedUpTo = 0;   // the head's end is searched for from here on
    qsizetype m_expectedSize = -1; // head plus declared body, once the head is complete
    qsizetype m_written = 0;
};
