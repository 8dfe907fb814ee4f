#include "platform/openssl/StreamSocket.h"

#ifdef _WIN32
#include "platform/win32/SystemErrorText.h"

#include <winsock2.h>

#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
#include <span>
#include <thread>
#include <tuple>
#include <vector>

namespace chronavel {
namespace {

// How often a wait looks whether its owner has given up.
constexpr std::chrono::milliseconds AbandonCheck{50};

#ifdef _WIN32
constexpr int InProgress = WSAEWOULDBLOCK;

TlsKeyExchangeFailure KindOfConnectFailure(int error)
{
    if (error == WSAECONNREFUSED) {
        return TlsKeyExchangeFailure::Refused;
    }
    if (error == WSAENETUNREACH || error == WSAEHOSTUNREACH || error == WSAENETDOWN || error == WSAEHOSTDOWN) {
        return TlsKeyExchangeFailure::Unreachable;
    }
    return TlsKeyExchangeFailure::Other;
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
// a failed connect; select reports one among the exceptions.
int Poll(std::span<const StreamSocket::Native> sockets, std::vector<bool>& ready, bool forWriting,
         std::chrono::milliseconds slice)
{
    fd_set waiting;
    fd_set failed;
    FD_ZERO(&waiting);
    FD_ZERO(&failed);
    for (const StreamSocket::Native socket : sockets) {
        FD_SET(socket, &waiting);
        FD_SET(socket, &failed);
    }
    timeval timeout{0, static_cast<long>(std::chrono::microseconds(slice).count())};
    const int result = ::select(0, forWriting ? nullptr : &waiting, forWriting ? &waiting : nullptr, &failed, &timeout);
    if (result == SOCKET_ERROR) {
        return -1;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        ready[i] = FD_ISSET(sockets[i], &waiting) || FD_ISSET(sockets[i], &failed);
    }
    return result;
}
#else
constexpr int InProgress = EINPROGRESS;

TlsKeyExchangeFailure KindOfConnectFailure(int error)
{
    if (error == ECONNREFUSED) {
        return TlsKeyExchangeFailure::Refused;
    }
    if (error == ENETUNREACH || error == EHOSTUNREACH || error == ENETDOWN || error == EHOSTDOWN) {
        return TlsKeyExchangeFailure::Unreachable;
    }
    return TlsKeyExchangeFailure::Other;
}

void CloseSocket(StreamSocket::Native socket)
{
    ::close(socket);
}

StreamSocket::Native OpenNonBlocking(const addrinfo& address)
{
    return ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
}

int Poll(std::span<const StreamSocket::Native> sockets, std::vector<bool>& ready, bool forWriting,
         std::chrono::milliseconds slice)
{
    std::vector<pollfd> entries;
    for (const StreamSocket::Native socket : sockets) {
        entries.push_back({socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0});
    }
    const int result = ::poll(entries.data(), entries.size(), static_cast<int>(slice.count()));
    if (result < 0) {
        return errno == EINTR ? 0 : -1;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        ready[i] = entries[i].revents != 0;
    }
    return result;
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
    // An address needs no resolver, nor a thread to wait on one.
    addrinfo numeric{};
    numeric.ai_flags = AI_NUMERICHOST;
    numeric.ai_socktype = SOCK_STREAM;
    if (addrinfo* found = nullptr; ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &numeric, &found) == 0) {
        return Addresses(found);
    }
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
    std::vector<bool> ready(1);
    for (;;) {
        const int result = Poll({&socket, 1}, ready, forWriting, std::min(TimeLeft(deadline), AbandonCheck));
        if (result > 0) {
            return;
        }
        if (result < 0) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, SocketErrorText(LastSocketError())};
        }
    }
}

int PendingError(StreamSocket::Native socket)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return LastSocketError();
    }
    return error;
}

std::string NumericAddress(const addrinfo& address)
{
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(address.ai_addr, static_cast<socklen_t>(address.ai_addrlen), text, sizeof text, nullptr, 0,
                      NI_NUMERICHOST)
        != 0) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, "The server's address cannot be written out"};
    }
    return text;
}

// Connections under way to a name's addresses (RFC 8305 section 5): a new one
// starts when the last has not connected within the delay or has failed; the
// first to connect wins and the rest are closed.
class ConnectionRace {
public:
    static constexpr std::chrono::milliseconds AttemptDelay{250};

    explicit ConnectionRace(const addrinfo* addresses) : m_next(addresses) {}
    ~ConnectionRace()
    {
        for (const StreamSocket::Native socket : m_sockets) {
            CloseSocket(socket);
        }
    }
    ConnectionRace(const ConnectionRace&) = delete;
    ConnectionRace& operator=(const ConnectionRace&) = delete;

    // The connected socket, now the caller's, and the address it reached.
    std::pair<StreamSocket::Native, std::string> Run(const Deadline& deadline)
    {
        auto nextStart = std::chrono::steady_clock::now();
        for (;;) {
            if (m_next != nullptr && std::chrono::steady_clock::now() >= nextStart) {
                const Attempt attempt = Start(*m_next);
                if (attempt == Attempt::Connected) {
                    return Take(m_sockets.size() - 1);
                }
                m_next = m_next->ai_next;
                // One that failed at once is followed without delay.
                nextStart = attempt == Attempt::Pending ? std::chrono::steady_clock::now() + AttemptDelay
                                                        : std::chrono::steady_clock::time_point{};
                continue;
            }
            if (m_sockets.empty()) {
                throw ExchangeFailed{m_failure, SocketErrorText(m_lastError)};
            }
            auto slice = std::min(TimeLeft(deadline), AbandonCheck);
            if (m_next != nullptr) {
                slice = std::min(
                    slice, std::chrono::ceil<std::chrono::milliseconds>(nextStart - std::chrono::steady_clock::now()));
            }
            std::vector<bool> ready(m_sockets.size());
            if (Poll(m_sockets, ready, true, std::max(slice, std::chrono::milliseconds{0})) < 0) {
                throw ExchangeFailed{TlsKeyExchangeFailure::Other, SocketErrorText(LastSocketError())};
            }
            for (std::size_t i = m_sockets.size(); i-- > 0;) {
                if (!ready[i]) {
                    continue;
                }
                const int error = PendingError(m_sockets[i]);
                if (error == 0) {
                    return Take(i);
                }
                Fail(i, error);
                nextStart = {};
            }
        }
    }

private:
    enum class Attempt { Connected, Pending, Failed };

    Attempt Start(const addrinfo& address)
    {
        const StreamSocket::Native socket = OpenNonBlocking(address);
        if (socket == StreamSocket::InvalidSocket) {
            Note(LastSocketError());
            return Attempt::Failed;
        }
        m_sockets.push_back(socket);
        m_addresses.push_back(&address);
        const int error
            = ::connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0 ? 0 : LastSocketError();
        if (error == 0) {
            return Attempt::Connected;
        }
        if (error != InProgress) {
            Fail(m_sockets.size() - 1, error);
            return Attempt::Failed;
        }
        return Attempt::Pending;
    }

    std::pair<StreamSocket::Native, std::string> Take(std::size_t index)
    {
        std::string address = NumericAddress(*m_addresses[index]);
        const StreamSocket::Native socket = m_sockets[index];
        m_sockets.erase(m_sockets.begin() + static_cast<std::ptrdiff_t>(index));
        m_addresses.erase(m_addresses.begin() + static_cast<std::ptrdiff_t>(index));
        return {socket, std::move(address)};
    }

    void Fail(std::size_t index, int error)
    {
        CloseSocket(m_sockets[index]);
        m_sockets.erase(m_sockets.begin() + static_cast<std::ptrdiff_t>(index));
        m_addresses.erase(m_addresses.begin() + static_cast<std::ptrdiff_t>(index));
        Note(error);
    }

    // A refusal says most: some address of the server answered.
    void Note(int error)
    {
        if (m_failure != TlsKeyExchangeFailure::Refused) {
            m_failure = KindOfConnectFailure(error);
            m_lastError = error;
        }
    }

    const addrinfo* m_next;
    std::vector<StreamSocket::Native> m_sockets;
    std::vector<const addrinfo*> m_addresses;
    TlsKeyExchangeFailure m_failure = TlsKeyExchangeFailure::Other;
    int m_lastError = 0;
};

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
    std::tie(m_socket, m_address) = ConnectionRace(addresses.get()).Run(deadline);
    // The key exchange's few small messages must not wait on Nagle's algorithm.
    const int noDelay = 1;
    if (::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay)
        != 0) {
        const int error = LastSocketError();
        CloseSocket(m_socket);
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, SocketErrorText(error)};
    }
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
