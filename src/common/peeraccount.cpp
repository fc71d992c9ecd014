#include "peeraccount.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

/** Port in network byte order and address bytes of an IPv4 or IPv6 socket address. */
bool copyEndpoint(const sockaddr_storage &address, __be16 &port, __be32 (&bytes)[4])
{
    if (address.ss_family == AF_INET) {
        const auto &v4 = reinterpret_cast<const sockaddr_in &>(address);
        port = v4.sin_port;
        bytes[0] = v4.sin_addr.s_addr;
        return true;
    }
    if (address.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(address);
        port = v6.sin6_port;
        std::memcpy(bytes, &v6.sin6_addr, sizeof v6.sin6_addr);
        return true;
    }
    return false;
}

/**
 * The owner of the TCP socket whose own end is `local` and whose other end is `remote`. The
 * kernel looks an exact address pair up among established sockets first, then among listeners.
 */
std::optional<uid_t> ownerOf(const sockaddr_storage &local, const sockaddr_storage &remote, bool listening)
{
    struct {
        nlmsghdr header;
        inet_diag_req_v2 body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.body.sdiag_family = local.ss_family;
    request.body.sdiag_protocol = IPPROTO_TCP;
    request.body.idiag_states = ~0U;
    request.body.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.body.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (!copyEndpoint(local, request.body.id.idiag_sport, request.body.id.idiag_src) ||
        !copyEndpoint(remote, request.body.id.idiag_dport, request.body.id.idiag_dst))
        return std::nullopt;

    const Descriptor netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (netlink.get() < 0)
        return std::nullopt;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.get(), &request, sizeof request, 0, reinterpret_cast<const sockaddr *>(&kernel),
                 sizeof kernel) != ssize_t(sizeof request))
        return std::nullopt;

    alignas(nlmsghdr) char answer[8192];
    ssize_t size = -1;
    do {
        size = ::recv(netlink.get(), answer, sizeof answer, MSG_DONTWAIT);
    } while (size < 0 && errno == EINTR);
    if (size <= 0)
        return std::nullopt;
    const auto *message = reinterpret_cast<const nlmsghdr *>(answer);
    if (!NLMSG_OK(message, size_t(size)) || message->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
        message->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return std::nullopt; // NLMSG_ERROR: no such socket, or no inet_diag here
    const auto *found = static_cast<const inet_diag_msg *>(NLMSG_DATA(message));
    // The lookup falls back to a listener on the same port; only the socket asked for counts.
    const bool exact =
        found->id.idiag_sport == request.body.id.idiag_sport && found->id.idiag_dport == request.body.id.idiag_dport;
    const bool stateFits = listening ? found->idiag_state == TCP_LISTEN
                                     : found->idiag_state != TCP_LISTEN && found->idiag_state != TCP_TIME_WAIT;
    if (!exact || !stateFits)
        return std::nullopt;
    return uid_t(found->idiag_uid);
}

bool endpoints(int descriptor, sockaddr_storage &own, sockaddr_storage &peer)
{
    socklen_t ownSize = sizeof own;
    socklen_t peerSize = sizeof peer;
    return ::getsockname(descriptor, reinterpret_cast<sockaddr *>(&own), &ownSize) == 0 &&
           ::getpeername(descriptor, reinterpret_cast<sockaddr *>(&peer), &peerSize) == 0;
}

bool probe()
{
    const Descriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener.get() < 0 || ::bind(listener.get(), reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return false;
    sockaddr_storage local{};
    std::memcpy(&local, &address, sizeof address);
    sockaddr_storage anywhere{};
    anywhere.ss_family = AF_INET;
    return ownerOf(local, anywhere, true) == ::geteuid();
}

} // namespace

namespace PeerAccount {

std::optional<uid_t> ofTcpPeer(int descriptor)
{
    sockaddr_storage own{};
    sockaddr_storage peer{};
    if (!endpoints(descriptor, own, peer))
        return std::nullopt;
    // The client's socket: its own end is our peer address.
    return ownerOf(peer, own, false);
}

std::optional<uid_t> ofUnixPeer(int descriptor)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}

bool tcpLookupAvailable()
{
    static const bool available = probe();
    return available;
}

} // namespace PeerAccount
