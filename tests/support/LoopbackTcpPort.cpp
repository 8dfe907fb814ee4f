#include "tests/support/LoopbackTcpPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace chronavel::testing {

LoopbackTcpPort::LoopbackTcpPort(bool listening) : m_socket(::socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || (listening && ::listen(m_socket, 8) != 0)
        || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_socket);
        throw std::runtime_error("cannot hold a loopback port");
    }
    m_port = ntohs(address.sin_port);
}

LoopbackTcpPort::~LoopbackTcpPort()
{
    ::close(m_socket);
}

} // namespace chronavel::testing
