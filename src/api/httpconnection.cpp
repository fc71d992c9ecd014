#include "httpconnection.h"

#include "api/httphead.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

/** The last Content-Length the head declares as a plain non-negative number, if any. */
std::optional<qsizetype> declaredBodyLength(QByteArrayView head)
{
    std::optional<qsizetype> length;
    for (const QByteArrayView line : HTTPHead::lines(head)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.first(colon).trimmed().compare("content-length", Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const qlonglong value = line.sliced(colon + 1).trimmed().toLongLong(&ok);
        length = ok && value >= 0 ? std::optional<qsizetype>(value) : std::nullopt;
    }
    return length;
}

} // namespace

HTTPConnection::HTTPConnection(int descriptor, std::chrono::milliseconds idleTimeout, QObject *parent)
    : QObject(parent)
    , m_descriptor(descriptor)
    , m_idleTimeout(idleTimeout)
    , m_readNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this))
    , m_writeNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Write, this))
{
    ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &HTTPConnection::readable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &HTTPConnection::writeReply);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HTTPConnection::close);
    m_timer.start(m_idleTimeout);
}

HTTPConnection::~HTTPConnection()
{
    closeDescriptor();
}

void HTTPConnection::reply(const QByteArray &message)
{
    if (m_phase != Phase::handling && m_phase != Phase::reading)
        return;
    m_readNotifier->setEnabled(false); // a refusal's unread request is drained after the reply
    m_phase = Phase::writing;
    m_data = message;
    m_written = 0;
    writeReply();
}

void HTTPConnection::closeWithoutReply()
{
    close();
}

void HTTPConnection::readable()
{
    if (m_phase == Phase::reading)
        readRequest();
    else if (m_phase == Phase::draining)
        drain();
}

void HTTPConnection::readRequest()
{
    bool received = false;
    bool ended = false;
    // One byte beyond the limit tells a request that is too large from one that just fits.
    while (m_data.size() <= MaxRequestBytes) {
        const qsizetype start = m_data.size();
        const qsizetype room = std::min(ChunkSize, MaxRequestBytes + 1 - start);
        m_data.resize(start + room);
        const ssize_t count = ::recv(m_descriptor, m_data.data() + start, size_t(room), 0);
        const int error = errno;
        m_data.resize(start + std::max<ssize_t>(count, 0));
        if (count > 0) {
            received = true;
            continue;
        }
        if (count < 0 && error == EINTR)
            continue;
        if (count < 0 && error != EAGAIN && error != EWOULDBLOCK) {
            close();
            return;
        }
        ended = count == 0;
        break;
    }
    if (received)
        m_timer.start(); // the idle time counts from the last byte
    const Completeness state = completeness();
    const bool endedEarly = ended && !m_data.isEmpty(); // a client that ends its side delivers what it sent
    if (state == Completeness::partial && !endedEarly) {
        if (ended)
            close();
        return;
    }
    m_phase = Phase::handling;
    m_readNotifier->setEnabled(false);
    m_timer.stop(); // handlers may take as long as their work needs
    if (state == Completeness::tooLarge) {
        m_data.clear();
        Q_EMIT requestTooLarge();
    } else {
        Q_EMIT requestReceived(std::exchange(m_data, {}));
    }
}

HTTPConnection::Completeness HTTPConnection::completeness()
{
    if (m_expectedSize < 0) {
        const std::optional<HTTPHead::End> end = HTTPHead::findEnd(QByteArrayView(m_data), m_scannedUpTo);
        if (!end) {
            // A later search starts where the end could begin, so 1-byte writes stay linear.
            m_scannedUpTo = HTTPHead::resumeAt(m_data.size());
            return m_data.size() > MaxRequestBytes ? Completeness::tooLarge : Completeness::partial;
        }
        const std::optional<qsizetype> bodyLength = declaredBodyLength(QByteArrayView(m_data).first(end->headSize));
        if (!bodyLength)
            m_expectedSize = m_data.size(); // without a declared length the request is what came with the head
        else if (*bodyLength > MaxRequestBytes)
            m_expectedSize = MaxRequestBytes + 1; // beyond the limit however long the head
        else
            m_expectedSize = end->bodyStart + *bodyLength;
    }
    if (m_expectedSize > MaxRequestBytes)
        return Completeness::tooLarge;
    if (m_data.size() < m_expectedSize)
        return Completeness::partial;
    m_data.truncate(m_expectedSize);
    return Completeness::complete;
}

void HTTPConnection::writeReply()
{
    if (m_phase != Phase::writing)
        return;
    while (m_written < m_data.size()) {
        const ssize_t count =
            ::send(m_descriptor, m_data.constData() + m_written, size_t(m_data.size() - m_written), MSG_NOSIGNAL);
        if (count >= 0) {
            m_written += count;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A client that stops reading is given up after the idle time.
            m_writeNotifier->setEnabled(true);
            m_timer.start(m_idleTimeout);
            return;
        } else if (errno != EINTR) {
            close(); // the client has gone; its reply is dropped
            return;
        }
    }
    m_writeNotifier->setEnabled(false);
    m_data.clear();
    // Our FIN follows the reply; the client's unread input is discarded until its FIN arrives.
    ::shutdown(m_descriptor, SHUT_WR);
    m_phase = Phase::draining;
    m_readNotifier->setEnabled(true);
    m_timer.start(DrainTimeout);
}

void HTTPConnection::drain()
{
    char sink[ChunkSize];
    // A bounded number of reads per wake-up, so a client that keeps sending cannot hold the loop.
    for (int round = 0; round < 16; ++round) {
        const ssize_t count = ::recv(m_descriptor, sink, sizeof sink, 0);
        if (count > 0 || (count < 0 && errno == EINTR))
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        close();
        return;
    }
}

void HTTPConnection::close()
{
    if (m_phase == Phase::closed)
        return;
    closeDescriptor();
    deleteLater();
}

void HTTPConnection::closeDescriptor()
{
    if (m_phase == Phase::closed)
        return;
    m_phase = Phase::closed;
    m_timer.stop();
    // The notifiers must let go of the descriptor before it is closed and its number reused.
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    ::close(m_descriptor);
    m_data.clear();
}
