#include "platform/openssl/StreamSocket.h"

#ifdef _WIN32
#include "platform/win32/SystemErrorText.h"

#include <winsock2.h>

#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace chronavel {
namespace {

// How often a wait looks whether its owner has given up.
constexpr std::chrono::milliseconds AbandonCheck{50};

#ifdef _WIN32
constexpr int InProgress = WSAEWOULDBLOCK;

bool IsRefusal(int error)
{
    return error == WSAECONNREFUSED || error == WSAENETUNREACH || error == WSAEHOSTUNREACH || error == WSAENETDOWN
        || error == WSAEHOSTDOWN;
}

void CloseSocket(StreamSocket::Native socket)
{
    ::closesocket(socket);
}

StreamSocket::Native OpenNonBlocking(const addrinfo& address)
{
    const SOCKET opened = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    u_long nonBlocking = 1;
    if (opened != INVALID_SOCKET && ::ioctlsocket(opened, FIONBIO, &nonBlocking) != 0) {
        const int error = WSAGetLastError();
        ::closesocket(opened);
        WSASetLastError(error);
        return INVALID_SOCKET;
    }
    return opened;
}

// Winsock's select, not WSAPoll, which before Windows 10 2004 never reports
// a failed connect.
int Poll(StreamSocket::Native socket, bool forWriting, std::chrono::milliseconds slice)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{0, static_cast<long>(std::chrono::microseconds(slice).count())};
    const int result = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
    return result == SOCKET_ERROR ? -1 : result;
}
#else
constexpr int InProgress = EINPROGRESS;

bool IsRefusal(int error)
{
    return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ENETDOWN
        || error == EHOSTDOWN;
}

void CloseSocket(StreamSocket::Native socket)
{
    ::close(socket);
}

StreamSocket::Native OpenNonBlocking(const addrinfo& address)
{
    return ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
}

int Poll(StreamSocket::Native socket, bool forWriting, std::chrono::milliseconds slice)
{
    pollfd entry{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    const int result = ::poll(&entry, 1, static_cast<int>(slice.count()));
    return result < 0 && errno == EINTR ? 0 : result;
}
#endif

struct AddressesDeleter {
    void operator()(addrinfo* addresses) const { freeaddrinfo(addresses); }
};
using Addresses = std::unique_ptr<addrinfo, AddressesDeleter>;

// Throws once the owner has given up or the time is over; else the time left.
std::chrono::milliseconds TimeLeft(const Deadline& deadline)
{
    if (deadline.abandoned) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, "Abandoned"};
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline.end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Silent, "No answer within the time limit"};
    }
    return left;
}

// The system's lookup cannot be interrupted, so it runs on a thread of its
// own: a wait that is abandoned or runs out of time leaves it to finish alone.
Addresses LookUp(const std::string& host, int port, const Deadline& deadline)
{
    struct Lookup {
        std::mutex mutex;
        std::condition_variable ended;
        std::optional<int> error;
        Addresses addresses;
    };
    const auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        const std::lock_guard lock(lookup->mutex);
        lookup->error = error;
        lookup->addresses.reset(found);
        lookup->ended.notify_one();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    while (!lookup->error) {
        lookup->ended.wait_for(lock, std::min(TimeLeft(deadline), AbandonCheck));
    }
    if (*lookup->error != 0) {
#ifdef _WIN32
        // getaddrinfo returns a Winsock error code rather than setting WSAGetLastError.
        throw ExchangeFailed{TlsKeyExchangeFailure::Other,
                             DescribeSystemError(static_cast<unsigned long>(*lookup->error))};
#else
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, ::gai_strerror(*lookup->error)};
#endif
    }
    return std::move(lookup->addresses);
}

// Waits on one socket in short slices, so that abandoning is noticed soon.
void WaitOn(StreamSocket::Native socket, bool forWriting, const Deadline& deadline)
{
    for (;;) {
        const int ready = Poll(socket, forWriting, std::min(TimeLeft(deadline), AbandonCheck));
        if (ready > 0) {
            return;
        }
        if (ready < 0) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, SocketErrorText(LastSocketError())};
        }
    }
}

} // namespace

int LastSocketError()
{
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

std::string SocketErrorText(int error)
{
#ifdef _WIN32
    return DescribeSystemError(static_cast<unsigned long>(error));
#else
    return std::strerror(error);
#endif
}

StreamSocket::StreamSocket(const std::string& host, int port, const Deadline& deadline)
{
    const Addresses addresses = LookUp(host, port, deadline);
    int lastError = 0;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        m_socket = OpenNonBlocking(*address);
        if (m_socket == InvalidSocket) {
            lastError = LastSocketError();
            continue;
        }
        int error
            = ::connect(m_socket, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0 ? 0 : LastSocketError();
        if (error == InProgress) {
            try {
                WaitOn(m_socket, true, deadline);
            } catch (...) {
                CloseSocket(m_socket);
                throw;
            }
            socklen_t length = sizeof error;
            if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
                error = LastSocketError();
            }
        }
        if (error == 0) {
            return;
        }
        lastError = error;
        CloseSocket(m_socket);
        m_socket = InvalidSocket;
    }
    throw ExchangeFailed{IsRefusal(lastError) ? TlsKeyExchangeFailure::Refused : TlsKeyExchangeFailure::Other,
                         SocketErrorText(lastError)};
}

StreamSocket::~StreamSocket()
{
    CloseSocket(m_socket);
}

void StreamSocket::Wait(bool forWriting, const Deadline& deadline) const
{
    WaitOn(m_socket, forWriting, deadline);
}

} // namespace chronavel
