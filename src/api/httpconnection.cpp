#include "httpconnection.h"

#include "api/httphead.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;
/** Reads per wake-up while draining or watching, so a client that keeps sending cannot hold the loop. */
constexpr int ReadRounds = 16;

/** How the head says its body is delimited. */
struct Framing {
    enum class Kind { none, length, invalid, unsupported } kind = Kind::none;
    qsizetype length = 0;
};

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Framing framing(QByteArrayView head)
{
    Framing result;
    for (const QByteArrayView line : HTTPHead::lines(head)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArrayView name = line.first(colon).trimmed();
        if (name.compare("transfer-encoding", Qt::CaseInsensitive) == 0)
            return {Framing::Kind::unsupported, 0};
        if (name.compare("content-length", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        bool ok = isDigits(value) && value.size() <= 18;
        const qsizetype length = ok ? qsizetype(value.toLongLong(&ok)) : 0;
        // Two lengths that differ leave the body's end open: a smuggling trick, never a client's habit.
        if (!ok || (result.kind == Framing::Kind::length && result.length != length))
            return {Framing::Kind::invalid, 0};
        result = {Framing::Kind::length, length};
    }
    return result;
}

} // namespace

qsizetype ReadBudget::take(qsizetype wanted)
{
    const qsizetype granted = std::min(wanted, m_available);
    m_available -= granted;
    return granted;
}

void ReadBudget::giveBack(qsizetype bytes)
{
    if (bytes <= 0)
        return;
    m_available += bytes;
    Q_EMIT freed();
}

HTTPConnection::HTTPConnection(int descriptor, std::chrono::milliseconds requestTimeout, ReadBudget &budget,
                               QObject *parent)
    : QObject(parent)
    , m_descriptor(descriptor)
    , m_requestTimeout(requestTimeout)
    , m_budget(budget)
    , m_readNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this))
    , m_writeNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Write, this))
{
    ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &HTTPConnection::readable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &HTTPConnection::writeReply);
    connect(&budget, &ReadBudget::freed, this, [this] {
        if (m_waitingForBudget && m_phase == Phase::reading) {
            m_waitingForBudget = false;
            m_readNotifier->setEnabled(true);
        }
    });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HTTPConnection::close);
    // The whole request must arrive in this time, however slowly its bytes trickle in.
    m_timer.start(m_requestTimeout);
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
    releaseHeld();
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
    else if (m_phase == Phase::handling)
        watchClient();
    else if (m_phase == Phase::draining)
        drain();
}

void HTTPConnection::readRequest()
{
    bool ended = false;
    // One byte beyond the limit tells a request that is too large from one that just fits.
    while (true) {
        const qsizetype start = m_data.size();
        const qsizetype wanted =
            std::min(ChunkSize, (m_expectedSize >= 0 ? m_expectedSize : MaxRequestBytes + 1) - start);
        if (wanted <= 0)
            break;
        const qsizetype room = m_budget.take(wanted);
        if (room == 0) {
            // The others' requests hold every byte: wait until some are given back.
            m_waitingForBudget = true;
            m_readNotifier->setEnabled(false);
            break;
        }
        m_data.resize(start + room);
        const ssize_t count = ::recv(m_descriptor, m_data.data() + start, size_t(room), 0);
        const int error = errno;
        const qsizetype got = std::max<ssize_t>(count, 0);
        m_data.resize(start + got);
        m_held += got;
        m_budget.giveBack(room - got);
        if (count > 0) {
            if (completeness() != Completeness::partial)
                break;
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
    const Completeness state = completeness();
    if (state == Completeness::partial) {
        if (!ended)
            return;
        if (m_data.isEmpty()) {
            close(); // connected and gone without a word
            return;
        }
        m_refusal = Refusal::incomplete; // a client that ends early delivers nothing half-read
    }
    finishReading();
    if (state == Completeness::complete) {
        Q_EMIT requestReceived(std::exchange(m_data, {}));
    } else {
        m_data.clear();
        Q_EMIT requestRefused(m_refusal);
    }
}

void HTTPConnection::finishReading()
{
    m_phase = Phase::handling;
    m_timer.stop(); // handlers may take as long as their work needs
    releaseHeld();
    // Stays on: a client that closes while its request is handled is noticed.
    m_readNotifier->setEnabled(true);
}

HTTPConnection::Completeness HTTPConnection::completeness()
{
    if (m_expectedSize < 0) {
        const std::optional<HTTPHead::End> end = HTTPHead::findEnd(QByteArrayView(m_data), m_scannedUpTo);
        if (!end) {
            // A later search starts where the end could begin, so 1-byte writes stay linear.
            m_scannedUpTo = HTTPHead::resumeAt(m_data.size());
            if (m_data.size() <= MaxRequestBytes)
                return Completeness::partial;
            m_refusal = Refusal::tooLarge;
            return Completeness::refused;
        }
        const Framing body = framing(QByteArrayView(m_data).first(end->headSize));
        switch (body.kind) {
        case Framing::Kind::invalid:
            m_refusal = Refusal::invalidLength;
            return Completeness::refused;
        case Framing::Kind::unsupported:
            m_refusal = Refusal::lengthRequired;
            return Completeness::refused;
        case Framing::Kind::none:
            // Without a length there is no body; bytes sent along are one the server cannot delimit.
            if (m_data.size() > end->bodyStart) {
                m_refusal = Refusal::lengthRequired;
                return Completeness::refused;
            }
            m_expectedSize = end->bodyStart;
            break;
        case Framing::Kind::length:
            if (body.length > MaxRequestBytes - end->bodyStart) {
                m_refusal = Refusal::tooLarge; // refused before the body arrives
                return Completeness::refused;
            }
            m_expectedSize = end->bodyStart + body.length;
            break;
        }
    }
    if (m_data.size() < m_expectedSize)
        return Completeness::partial;
    m_data.truncate(m_expectedSize); // what follows is no part of this request, and is drained
    return Completeness::complete;
}

bool HTTPConnection::discardInput()
{
    char sink[ChunkSize];
    for (int round = 0; round < ReadRounds; ++round) {
        const ssize_t count = ::recv(m_descriptor, sink, sizeof sink, 0);
        if (count > 0 || (count < 0 && errno == EINTR))
            continue;
        return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

void HTTPConnection::watchClient()
{
    if (discardInput())
        return;
    Q_EMIT clientGone();
    close();
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
            // A client that stops reading is given up after the request time.
            m_writeNotifier->setEnabled(true);
            m_timer.start(m_requestTimeout);
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
    if (!discardInput())
        close();
}

void HTTPConnection::releaseHeld()
{
    m_budget.giveBack(std::exchange(m_held, 0));
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
    releaseHeld();
}
