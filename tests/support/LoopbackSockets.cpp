#include "tests/support/LoopbackSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace chronavel::testing {
namespace {

// A socket bound to the loopback address of a family, or -1 with errno set.
int Bound(int family, int type, int port)
{
    const int fd = ::socket(family, type | SOCK_CLOEXEC, 0);
    const auto [address, length] = LoopbackAddress(family, port);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int PortOf(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

} // namespace

LoopbackSockets::LoopbackSockets(int type)
{
    // The port 127.0.0.1 gives may be taken on ::1; then another one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int ipv4 = Bound(AF_INET, type, 0);
        if (ipv4 < 0) {
            break;
        }
        m_port = PortOf(ipv4);
        const int ipv6 = Bound(AF_INET6, type, m_port);
        if (ipv6 >= 0 || errno == EADDRNOTAVAIL || errno == EAFNOSUPPORT) {
            m_sockets.push_back(ipv4);
            if (ipv6 >= 0) {
                m_sockets.push_back(ipv6);
            }
            return;
        }
        ::close(ipv4);
    }
    throw std::runtime_error("cannot bind a port on 127.0.0.1 and ::1");
}

LoopbackSockets::~LoopbackSockets()
{
    for (const int fd : m_sockets) {
        ::close(fd);
    }
}

int LoopbackSockets::Of(int family) const
{
    return family == AF_INET6 ? m_sockets.back() : m_sockets.front();
}

void LoopbackSockets::Listen() const
{
    for (const int fd : m_sockets) {
        if (::listen(fd, 16) != 0) {
            throw std::runtime_error("cannot listen on a loopback port");
        }
    }
}

bool HasIpv6Loopback()
{
    const int fd = Bound(AF_INET6, SOCK_DGRAM, 0);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::pair<sockaddr_storage, socklen_t> LoopbackAddress(int family, int port)
{
    sockaddr_storage storage{};
    if (family == AF_INET6) {
        auto& address = reinterpret_cast<sockaddr_in6&>(storage);
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        return {storage, sizeof address};
    }
    auto& address = reinterpret_cast<sockaddr_in&>(storage);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return {storage, sizeof address};
}

} // namespace chronavel::testing
