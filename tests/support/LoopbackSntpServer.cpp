#include "tests/support/LoopbackSntpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace chronavel::testing {
namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int BoundUdpSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Loopback(0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback UDP socket");
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

LoopbackSntpServer::LoopbackSntpServer()
    : m_socket(BoundUdpSocket())
    , m_otherSocket(BoundUdpSocket())
    , m_port(PortOf(m_socket))
    , m_thread([this] { Serve(); })
{
}

LoopbackSntpServer::~LoopbackSntpServer()
{
    m_bStopping = true;
    m_thread.join();
    ::close(m_socket);
    ::close(m_otherSocket);
}

void LoopbackSntpServer::Answer(Script script)
{
    const std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

std::vector<Bytes> LoopbackSntpServer::Requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackSntpServer::ForgetRequests()
{
    const std::lock_guard lock(m_mutex);
    m_requests.clear();
}

void LoopbackSntpServer::Serve()
{
    while (!m_bStopping) {
        pollfd ready{m_socket, POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0) {
            continue;
        }
        Bytes request(2048);
        sockaddr_in client{};
        socklen_t clientLength = sizeof client;
        const ssize_t received = ::recvfrom(m_socket, request.data(), request.size(), 0,
                                            reinterpret_cast<sockaddr*>(&client), &clientLength);
        if (received < 0) {
            continue;
        }
        request.resize(static_cast<std::size_t>(received));

        std::vector<Datagram> replies;
        {
            const std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            if (m_script) {
                replies = m_script(request);
            }
        }
        for (Datagram& reply : replies) {
            if (reply.echoesRequest && reply.bytes.size() >= 32 && request.size() >= 48) {
                std::copy_n(request.begin() + 40, 8, reply.bytes.begin() + 24);
            }
            ::sendto(reply.fromOtherPort ? m_otherSocket : m_socket, reply.bytes.data(), reply.bytes.size(), 0,
                     reinterpret_cast<sockaddr*>(&client), clientLength);
        }
    }
}

int ClosedUdpPort()
{
    const int fd = BoundUdpSocket();
    const int port = PortOf(fd);
    ::close(fd);
    return port;
}

} // namespace chronavel::testing
