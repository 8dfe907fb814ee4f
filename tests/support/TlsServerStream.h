#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <string>

namespace chronavel::testing {

// One accepted TLS connection as httplib reads and writes it. It keeps a copy
// of every byte read: httplib's own header parser drops empty values and
// decodes percent signs, and the request log must show what the client sent.
class TlsServerStream final : public httplib::Stream {
public:
    // The socket must be blocking, with receive and send timeouts set.
    TlsServerStream(SSL* ssl, int socket);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* buffer, size_t size) override;
    ssize_t write(const char* data, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    int socket() const override { return m_socket; }

    const std::string& received() const { return m_received; }

    // Nothing more is sent; the connection ends without close_notify.
    void mute() { m_muted = true; }
    bool muted() const { return m_muted; }

private:
    SSL* m_ssl;
    int m_socket;
    std::string m_received;
    bool m_muted = false;
};

} // namespace chronavel::testing
