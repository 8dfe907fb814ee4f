#pragma once

#include <sys/socket.h>

#include <utility>
#include <vector>

namespace chronavel::testing {

// Sockets of one type bound to the same ephemeral port on 127.0.0.1 and, where
// the machine has it, on ::1: a peer reached as localhost is there whichever
// address the resolver gives first. Closed with the object.
class LoopbackSockets {
public:
    explicit LoopbackSockets(int type); // SOCK_DGRAM or SOCK_STREAM
    ~LoopbackSockets();
    LoopbackSockets(const LoopbackSockets&) = delete;
    LoopbackSockets& operator=(const LoopbackSockets&) = delete;

    int port() const { return m_port; }
    // 127.0.0.1's first, then ::1's where there is one.
    const std::vector<int>& sockets() const { return m_sockets; }
    // The one of an address family (AF_INET or AF_INET6).
    int Of(int family) const;
    void Listen() const;

private:
    std::vector<int> m_sockets;
    int m_port = 0;
};

// Whether ::1 can be bound here: not where IPv6 is disabled.
bool HasIpv6Loopback();

// 127.0.0.1 or ::1 (family AF_INET or AF_INET6) at a port, and its length.
std::pair<sockaddr_storage, socklen_t> LoopbackAddress(int family, int port);

} // namespace chronavel::testing
