#pragma once

#include <httplib.h>
#include <openssl/ssl.h>
#include <poll.h>

#include <string>

namespace chronavel::testing {

// One accepted TLS connection as httplib reads and writes it, over a blocking
// socket with timeouts set. It keeps a copy of every byte read: httplib's own
// header parser drops empty values and decodes percent signs, and the request
// log must show what the client sent.
class TlsServerStream final : public httplib::Stream {
public:
    TlsServerStream(SSL* ssl, int socket) : m_ssl(ssl), m_socket(socket) {}

    bool is_readable() const override { return SSL_pending(m_ssl) > 0 || Ready(POLLIN); }
    bool is_writable() const override { return !m_muted && Ready(POLLOUT); }

    ssize_t read(char* buffer, size_t size) override
    {
        size_t count = 0;
        if (SSL_read_ex(m_ssl, buffer, size, &count) != 1) {
            return -1;
        }
        m_received.append(buffer, count);
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* data, size_t size) override
    {
        size_t count = 0;
        return !m_muted && SSL_write_ex(m_ssl, data, size, &count) == 1 ? static_cast<ssize_t>(count) : -1;
    }

    // httplib copies these into the request; nothing here reads them.
    void get_remote_ip_and_port(std::string&, int&) const override {}
    void get_local_ip_and_port(std::string&, int&) const override {}
    int socket() const override { return m_socket; }

    const std::string& received() const { return m_received; }

    // Nothing more is sent; the connection ends without close_notify.
    void mute() { m_muted = true; }
    bool muted() const { return m_muted; }

private:
    // As long as the socket's own timeouts.
    bool Ready(short events) const
    {
        pollfd entry{m_socket, events, 0};
        return ::poll(&entry, 1, 5000) > 0;
    }

    SSL* m_ssl;
    int m_socket;
    std::string m_received;
    bool m_muted = false;
};

} // namespace chronavel::testing
