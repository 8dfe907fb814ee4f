#include "tests/platform/win32/LoopbackPeers.h"

#include "platform/win32/UniqueSocket.h"

#include <ws2tcpip.h>

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

int ClosedPort(int type, int protocol)
{
    const UniqueSocket probe(socket(AF_INET, type, protocol));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (!probe || bind(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    return ntohs(address.sin_port);
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

int ClosedUdpPort()
{
    return ClosedPort(SOCK_DGRAM, IPPROTO_UDP);
}

int ClosedTcpPort()
{
    return ClosedPort(SOCK_STREAM, IPPROTO_TCP);
}

} // namespace chronavel::testing
