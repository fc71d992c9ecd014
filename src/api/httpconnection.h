#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>

class QSocketNotifier;

/**
 * The bytes that all unfinished requests of a server may hold together. A connection that finds
 * none left stops reading (its bytes wait in the kernel) until another gives some back, so
 * hundreds of slow senders cannot make the app hold hundreds of megabytes.
 */
class ReadBudget final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype DefaultBytes = 4 * 1024 * 1024;

    explicit ReadBudget(qsizetype total = DefaultBytes, QObject *parent = nullptr)
        : QObject(parent)
        , m_available(total)
    {
    }

    [[nodiscard]] qsizetype available() const { return m_available; }
    /** At most `wanted` bytes, fewer when less is left. */
    [[nodiscard]] qsizetype take(qsizetype wanted);
    void giveBack(qsizetype bytes);

Q_SIGNALS:
    /** Bytes were given back: waiting connections may read again. */
    void freed();

private:
    qsizetype m_available;
};

/**
 * One accepted connection of the REST API: collects one request's bytes, writes one reply and
 * closes. It works on the raw descriptor rather than QTcpSocket because it needs two things
 * QTcpSocket does not offer: a client's half-close (shutdown of its write side after sending)
 * must still let a refusal through, and after replying only our write side is shut, so unread
 * input is drained instead of being answered with a reset that can destroy the reply in flight.
 *
 * Strict about what makes a request, so that nothing half-read is ever acted on:
 * - The head ends at the first empty line (lines end in CR LF or a bare LF). The body is exactly
 *   Content-Length bytes; without that header there is none, and bytes sent along with the head
 *   are refused (411), as is Transfer-Encoding (no chunked bodies). A Content-Length that is not a
 *   plain number, or two that differ, are refused (400).
 * - A client that ends its side before the request is complete gets 400; one that sends nothing
 *   and ends is closed without a reply.
 * - A request not complete within the request time-out (30 s from the connection's start, however
 *   the bytes trickle in) is closed without a reply. A request longer than MaxRequestBytes is
 *   refused (413) as soon as that is known; the bytes held meanwhile count against the server's
 *   ReadBudget.
 * - While the request is being handled, a client that closes the connection is gone
 *   (clientGone): what it started may stop, and its reply is dropped. A client must therefore
 *   keep its side open until the reply has come (as HTTP clients do).
 */
class HTTPConnection final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxRequestBytes = 1'000'000;
    static constexpr std::chrono::milliseconds DefaultRequestTimeout{30'000};
    /** How long unread input is drained after the reply before the connection is dropped. */
    static constexpr std::chrono::milliseconds DrainTimeout{1'000};

    /** Why a request is not handled; the server answers each with its status. */
    enum class Refusal { tooLarge, incomplete, lengthRequired, invalidLength };
    Q_ENUM(Refusal)

    /** Takes ownership of the connected `descriptor`; `budget` must outlive the connection. */
    HTTPConnection(int descriptor, std::chrono::milliseconds requestTimeout, ReadBudget &budget, QObject *parent);
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
    /** The request's bytes (head, empty line, body of exactly its length), emitted once. Reply or close in response. */
    void requestReceived(const QByteArray &request);
    /** Instead of requestReceived: the request cannot be handled. Reply or close in response. */
    void requestRefused(HTTPConnection::Refusal refusal);
    /** The client closed the connection while its request was being handled; the connection is closed. */
    void clientGone();

private:
    enum class Phase { reading, handling, writing, draining, closed };
    enum class Completeness { partial, complete, refused };

    void readable();
    void readRequest();
    /** Reads and drops what a client sends while its request is handled; notices when it closes. */
    void watchClient();
    [[nodiscard]] Completeness completeness();
    void finishReading();
    void writeReply();
    void drain();
    /** Reads and drops what the client sent so far; false once it has closed or failed. */
    bool discardInput();
    void close();
    void closeDescriptor();
    void releaseHeld();

    int m_descriptor;
    std::chrono::milliseconds m_requestTimeout;
    ReadBudget &m_budget;
    Phase m_phase = Phase::reading;
    QSocketNotifier *m_readNotifier;
    QSocketNotifier *m_writeNotifier;
    QTimer m_timer;
    QByteArray m_data;             // the request while reading, the reply while writing
    qsizetype m_held = 0;          // bytes of m_data taken from the budget
    qsizetype m_scannedUpTo = 0;   // the head's end is searched for from here on
    qsizetype m_expectedSize = -1; // head plus declared body, once the head is complete
    Refusal m_refusal = Refusal::incomplete;
    bool m_waitingForBudget = false;
    qsizetype m_written = 0;
};
