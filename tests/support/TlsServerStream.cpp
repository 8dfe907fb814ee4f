#include "tests/support/TlsServerStream.h"

#include <poll.h>

namespace chronavel::testing {
namespace {

// As long as the socket's own timeouts; httplib only asks before a transfer.
constexpr int ReadyWaitMs = 5000;

bool Ready(int socket, short events)
{
    pollfd entry{socket, events, 0};
    return ::poll(&entry, 1, ReadyWaitMs) > 0;
}

} // namespace

TlsServerStream::TlsServerStream(SSL* ssl, int socket)
    : m_ssl(ssl)
    , m_socket(socket)
{
}

bool TlsServerStream::is_readable() const
{
    return SSL_pending(m_ssl) > 0 || Ready(m_socket, POLLIN);
}

bool TlsServerStream::is_writable() const
{
    return !m_muted && Ready(m_socket, POLLOUT);
}

ssize_t TlsServerStream::read(char* buffer, size_t size)
{
    size_t count = 0;
    if (SSL_read_ex(m_ssl, buffer, size, &count) != 1) {
        return -1;
    }
    m_received.append(buffer, count);
    return static_cast<ssize_t>(count);
}

ssize_t TlsServerStream::write(const char* data, size_t size)
{
    size_t count = 0;
    if (m_muted || SSL_write_ex(m_ssl, data, size, &count) != 1) {
        return -1;
    }
    return static_cast<ssize_t>(count);
}

// httplib copies these into the request; nothing here reads them.
void TlsServerStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    ip.clear();
    port = 0;
}

void TlsServerStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    ip.clear();
    port = 0;
}

} // namespace chronavel::testing
