#include "tests/support/NtpProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace chronavel::testing {
namespace {

int UdpSocket(const char* address, int port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, address, &local.sin_addr);
    const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket < 0 || ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        throw std::runtime_error(std::string("cannot bind UDP to ") + address);
    }
    return socket;
}

bool Readable(int socket, int milliseconds)
{
    pollfd watched{.fd = socket, .events = POLLIN, .revents = 0};
    return ::poll(&watched, 1, milliseconds) == 1;
}

} // namespace

NtpProxy::NtpProxy(int port, Handler handle)
    : m_client(UdpSocket(Address, port))
    , m_server(UdpSocket("127.0.0.1", 0))
    , m_handle(std::move(handle))
{
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(m_server, reinterpret_cast<const sockaddr*>(&server), sizeof server);
    m_thread = std::thread([this] { Serve(); });
}

NtpProxy::~NtpProxy()
{
    m_stop = true;
    m_thread.join();
    ::close(m_client);
    ::close(m_server);
}

void NtpProxy::Serve()
{
    const AskServer askServer = [this](const Bytes& request) -> std::optional<Bytes> {
        ::send(m_server, request.data(), request.size(), 0);
        if (!Readable(m_server, 2000)) {
            return std::nullopt;
        }
        Bytes reply(2048);
        const ssize_t length = ::recv(m_server, reply.data(), reply.size(), 0);
        if (length < 0) {
            return std::nullopt;
        }
        reply.resize(static_cast<std::size_t>(length));
        return reply;
    };
    while (!m_stop) {
        if (!Readable(m_client, 50)) {
            continue;
        }
        Bytes request(2048);
        sockaddr_in client{};
        socklen_t clientLength = sizeof client;
        const ssize_t length = ::recvfrom(m_client, request.data(), request.size(), 0,
                                          reinterpret_cast<sockaddr*>(&client), &clientLength);
        if (length < 0) {
            continue;
        }
        request.resize(static_cast<std::size_t>(length));
        for (const Bytes& reply : m_handle(std::move(request), askServer)) {
            ::sendto(m_client, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&client), clientLength);
        }
    }
}

} // namespace chronavel::testing
