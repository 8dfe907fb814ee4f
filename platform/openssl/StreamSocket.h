#pragma once

#include "platform/openssl/ExchangeSteps.h"

#include <cstdint>
#include <string>

namespace chronavel {

// A non-blocking TCP connection without Nagle's delay, to the first of a
// host's addresses (IPv4 or IPv6) to answer, on POSIX sockets or Winsock
// (started by whoever owns the exchange). Failures throw ExchangeFailed.
class StreamSocket {
public:
#ifdef _WIN32
    using Native = std::uintptr_t; // SOCKET
    static constexpr Native InvalidSocket = ~Native{0};
#else
    using Native = int;
    static constexpr Native InvalidSocket = -1;
#endif

    StreamSocket(const std::string& host, int port, const Deadline& deadline);
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    // As OpenSSL's SSL_set_fd takes it, a SOCKET too.
    int descriptor() const
    {
        return static_cast<int>(m_socket);
    }
    // The numeric address connected to.
    const std::string& address() const
    {
        return m_address;
    }
    // Returns once the socket is readable (or writable), or in error.
    void Wait(bool forWriting, const Deadline& deadline) const;

private:
    Native m_socket = InvalidSocket;
    std::string m_address;
};

// The calling thread's last socket error (errno, or WSAGetLastError), and the
// system's words for one.
int LastSocketError();
std::string SocketErrorText(int error);

} // namespace chronavel
