#pragma once

#include "platform/openssl/Deadline.h"

#include <string>

namespace chronavel {

// A non-blocking TCP connection without Nagle's delay to the first of a
// host's addresses to answer, on OpenSSL's portable socket calls. Failures
// throw ExchangeFailed.
class StreamSocket {
public:
    StreamSocket(const std::string& host, int port, const Deadline& deadline);
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    int descriptor() const { return m_socket; }              // as SSL_set_fd takes it
    const std::string& address() const { return m_address; } // the numeric address connected to
    // Returns once the socket is readable (or writable), or in error.
    void Wait(bool forWriting, const Deadline& deadline) const;

private:
    int m_socket = -1;
    std::string m_address;
};

} // namespace chronavel
