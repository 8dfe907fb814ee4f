#include "tests/platform/win32/LoopbackPeers.h"

#include "platform/common/SystemWallClock.h"
#include "platform/win32/Win32MonotonicClock.h"
#include "tests/support/SntpReply.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace chronavel::testing {
namespace {

int PortFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr) {
        throw std::runtime_error(std::string(name) + " is not set: run this test through CTest (with-sntp-responders)");
    }
    return std::stoi(value);
}

// A socket bound to an ephemeral port of the loopback address, and the port.
UniqueSocket BindLoopback(int family, int type, int protocol, int& port)
{
    UniqueSocket bound(socket(family, type, protocol));
    SOCKADDR_INET address{};
    address.si_family = static_cast<ADDRESS_FAMILY>(family);
    if (family == AF_INET6) {
        address.Ipv6.sin6_addr = in6addr_loopback;
    } else {
        address.Ipv4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    int length = sizeof address;
    if (!bound || bind(bound.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0
        || getsockname(bound.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    port = ntohs(address.Ipv6.sin6_port); // where both families keep it
    return bound;
}

int ClosedPort(int type, int protocol)
{
    int port = 0;
    BindLoopback(AF_INET, type, protocol, port);
    return port;
}

} // namespace

int AnsweringSntpPort()
{
    return PortFromEnvironment("CHRONAVEL_SNTP_PORT");
}

int SilentSntpPort()
{
    return PortFromEnvironment("CHRONAVEL_SILENT_SNTP_PORT");
}

Ipv6SntpResponder::Ipv6SntpResponder() : m_socket(BindLoopback(AF_INET6, SOCK_DGRAM, IPPROTO_UDP, m_port))
{
    // Wakes now and then to see whether it is to stop.
    const DWORD timeout = 100;
    setsockopt(m_socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    m_thread = std::thread([this] {
        while (!m_bStopping) {
            Bytes request(48);
            SOCKADDR_INET client{};
            int length = sizeof client;
            const int received = recvfrom(m_socket.get(), reinterpret_cast<char*>(request.data()), 48, 0,
                                          reinterpret_cast<sockaddr*>(&client), &length);
            if (received != 48) {
                continue;
            }
            Bytes reply = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
            std::copy_n(request.begin() + 40, 8, reply.begin() + 24); // the originate echoes the transmit
            sendto(m_socket.get(), reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size()), 0,
                   reinterpret_cast<const sockaddr*>(&client), length);
        }
    });
}

Ipv6SntpResponder::~Ipv6SntpResponder()
{
    m_bStopping = true;
    m_thread.join();
}

int ClosedUdpPort()
{
    return ClosedPort(SOCK_DGRAM, IPPROTO_UDP);
}

int ClosedTcpPort()
{
    return ClosedPort(SOCK_STREAM, IPPROTO_TCP);
}

int PumpUntil(IEventPump& pump, const std::function<bool()>& done, std::chrono::seconds limit)
{
    SystemWallClock wallClock;
    const std::chrono::sys_seconds end = wallClock.Now() + limit;
    int calls = 0;
    while (!done() && wallClock.Now() < end) {
        pump.DoEvents();
        ++calls;
    }
    return calls;
}

} // namespace chronavel::testing
