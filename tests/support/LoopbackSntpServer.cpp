#include "tests/support/LoopbackSntpServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

namespace chronavel::testing {

LoopbackSntpServer::LoopbackSntpServer() : m_thread([this] { Serve(); })
{
}

LoopbackSntpServer::~LoopbackSntpServer()
{
    m_bStopping = true;
    m_thread.join();
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
    std::vector<pollfd> watched;
    for (const int socket : m_sockets.sockets()) {
        watched.push_back({socket, POLLIN, 0});
    }
    while (!m_bStopping) {
        if (::poll(watched.data(), watched.size(), 20) <= 0) {
            continue;
        }
        for (const pollfd& entry : watched) {
            if ((entry.revents & POLLIN) != 0) {
                Reply(entry.fd);
            }
        }
    }
}

void LoopbackSntpServer::Reply(int socket)
{
    Bytes request(2048);
    sockaddr_storage client{};
    socklen_t clientLength = sizeof client;
    const ssize_t received
        = ::recvfrom(socket, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&client), &clientLength);
    if (received < 0) {
        return;
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
        const int from = reply.fromOtherPort ? m_otherSockets.Of(client.ss_family) : socket;
        ::sendto(from, reply.bytes.data(), reply.bytes.size(), 0, reinterpret_cast<sockaddr*>(&client), clientLength);
    }
}

int ClosedUdpPort()
{
    return LoopbackSockets(SOCK_DGRAM).port();
}

} // namespace chronavel::testing
