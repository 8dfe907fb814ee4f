#include "platform/openssl/StreamSocket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace chronavel {
namespace {

// How often a wait looks whether its owner has given up.
constexpr std::chrono::milliseconds AbandonCheck{50};

struct AddressesDeleter {
    void operator()(addrinfo* addresses) const { freeaddrinfo(addresses); }
};

bool IsRefusal(int error)
{
    return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ENETDOWN
        || error == EHOSTDOWN;
}

// Waits on one descriptor in short slices, so that abandoning is noticed soon.
void WaitOn(int descriptor, bool forWriting, const Deadline& deadline)
{
    for (;;) {
        if (deadline.abandoned) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, "Abandoned"};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline.end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Silent, "No answer within the time limit"};
        }
        pollfd entry{descriptor, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, AbandonCheck).count()));
        if (ready > 0) {
            return;
        }
        if (ready < 0 && errno != EINTR) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, std::strerror(errno)};
        }
    }
}

} // namespace

StreamSocket::StreamSocket(const std::string& host, int port, const Deadline& deadline)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); error != 0) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, ::gai_strerror(error)};
    }
    const std::unique_ptr<addrinfo, AddressesDeleter> addresses(found);

    int lastError = 0;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        m_socket
            = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol);
        if (m_socket < 0) {
            lastError = errno;
            continue;
        }
        int error = ::connect(m_socket, address->ai_addr, address->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            try {
                WaitOn(m_socket, true, deadline);
            } catch (...) {
                ::close(m_socket);
                throw;
            }
            socklen_t length = sizeof error;
            if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
        if (error == 0) {
            return;
        }
        lastError = error;
        ::close(m_socket);
        m_socket = -1;
    }
    throw ExchangeFailed{IsRefusal(lastError) ? TlsKeyExchangeFailure::Refused : TlsKeyExchangeFailure::Other,
                         std::strerror(lastError)};
}

StreamSocket::~StreamSocket()
{
    ::close(m_socket);
}

void StreamSocket::Wait(bool forWriting, const Deadline& deadline) const
{
    WaitOn(m_socket, forWriting, deadline);
}

} // namespace chronavel
