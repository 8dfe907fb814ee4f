#pragma once

#include "platform/openssl/ExchangeSteps.h"

#include <string>

namespace chronavel {

// A non-blocking TCP connection, to any of a host's addresses (IPv4 or
// IPv6). Failures throw ExchangeFailed.
class StreamSocket {
public:
    StreamSocket(const std::string& host, int port, const Deadline& deadline);
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    int descriptor() const { return m_socket; }
    // Returns once the socket is readable (or writable), or in error.
    void Wait(bool forWriting, const Deadline& deadline) const;

private:
    int m_socket = -1;
};

} // namespace chronavel
