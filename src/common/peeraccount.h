#pragma once

#include <sys/types.h>

#include <optional>

/**
 * Which account owns the other end of a connection to the REST API, asked of the kernel. Loopback
 * TCP alone tells nothing about the caller: any account on the machine can connect.
 */
namespace PeerAccount {

/**
 * The owner of the client socket behind the accepted loopback TCP connection `descriptor`, from a
 * socket-diagnostics (NETLINK_SOCK_DIAG) lookup of the connection's address pair; what `ss -e`
 * shows. Nothing when the kernel cannot answer or the client socket is already gone (a socket in
 * TIME-WAIT reports no owner). Non-blocking: one netlink round trip that the kernel answers
 * within the send.
 */
[[nodiscard]] std::optional<uid_t> ofTcpPeer(int descriptor);

/** The owner of the peer of a connected Unix-domain socket (SO_PEERCRED). */
[[nodiscard]] std::optional<uid_t> ofUnixPeer(int descriptor);

/**
 * Whether this kernel answers the lookup of ofTcpPeer(), probed once with a listening socket of
 * our own; some containers and kernels without inet_diag do not.
 */
[[nodiscard]] bool tcpLookupAvailable();

} // namespace PeerAccount
