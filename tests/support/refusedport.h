#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

/**
 * A loopback TCP port that refuses connections while this lives: bound, never listening, so no
 * other server (of a test running beside) can take it as it could a port only found free; 0 if none.
 */
struct RefusedPort {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};

    RefusedPort()
    {
        socklen_t size = sizeof address;
        ::bind(socket, reinterpret_cast<sockaddr *>(&address), size); // unbound, it names port 0
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &size);
    }
    RefusedPort(const RefusedPort &) = delete;
    ~RefusedPort() { ::close(socket); }
    [[nodiscard]] uint16_t port() const { return ntohs(address.sin_port); }
};
