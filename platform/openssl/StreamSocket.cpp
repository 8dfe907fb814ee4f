#include "platform/openssl/StreamSocket.h"

#include "platform/common/DetachedCall.h"
#include "platform/openssl/NativeSocket.h"
#include "platform/openssl/OpenSslErrorText.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace chronavel {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks whether its owner has given up.
constexpr std::chrono::milliseconds AbandonCheck{50};
// RFC 8305 section 5: the next address is tried after this without a connection.
constexpr std::chrono::milliseconds AttemptDelay{250};

struct AddressesFreer {
    void operator()(BIO_ADDRINFO* addresses) const noexcept { BIO_ADDRINFO_free(addresses); }
};
using Addresses = std::unique_ptr<BIO_ADDRINFO, AddressesFreer>;

// Waits in slices of at most AbandonCheck, so that abandoning is noticed soon.
std::vector<bool> WaitOn(std::span<const int> sockets, bool forWriting, std::chrono::milliseconds atMost,
                         const Deadline& deadline)
{
    std::vector<bool> ready(sockets.size());
    const auto slice = std::max(std::min({deadline.Left(), AbandonCheck, atMost}), std::chrono::milliseconds{0});
    if (!native_socket::Poll(sockets, forWriting, slice, ready)) {
        throw ExchangeFailed{TlsKeyExchangeFailure::Other, native_socket::ErrorText(native_socket::LastError())};
    }
    return ready;
}

Addresses LookUp(const std::string& host, int port, const Deadline& deadline)
{
    struct Found {
        Addresses addresses;
        std::string failure;
    };
    const auto lookUp = [host, service = std::to_string(port)] {
        BIO_ADDRINFO* addresses = nullptr;
        Found found;
        if (BIO_lookup_ex(host.c_str(), service.c_str(), BIO_LOOKUP_CLIENT, 0, native_socket::StreamType(), 0,
                          &addresses)
            == 1) {
            found.addresses.reset(addresses);
        } else {
            found.failure = OpenSslErrorText("The server's address cannot be found");
        }
        return found;
    };
    const auto addressesOf = [](Found found) {
        if (!found.addresses) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, found.failure};
        }
        return std::move(found.addresses);
    };
    // An address needs no resolver, nor a thread to wait on one.
    if (ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.c_str())) {
        ASN1_OCTET_STRING_free(address);
        return addressesOf(lookUp());
    }
    // The resolver cannot be interrupted, so it runs on a thread of its own,
    // left to end alone should the wait be abandoned or run out of time.
    const auto lookup = DetachedCall<Found>::Start([lookUp] {
        Found found = lookUp();
        OPENSSL_thread_stop();
        return found;
    });
    for (;;) {
        if (std::optional<Found> found = lookup->Take(std::min(deadline.Left(), AbandonCheck))) {
            return addressesOf(std::move(*found));
        }
    }
}

// Connections under way to a name's addresses (RFC 8305 section 5): a new
// one starts when the last has not connected within AttemptDelay or has
// failed; the first to connect wins and the others are closed.
class ConnectionRace {
public:
    explicit ConnectionRace(const BIO_ADDRINFO* addresses) : m_next(addresses) {}
    ~ConnectionRace()
    {
        for (const Attempt& attempt : m_attempts) {
            BIO_closesocket(attempt.socket);
        }
    }
    ConnectionRace(const ConnectionRace&) = delete;
    ConnectionRace& operator=(const ConnectionRace&) = delete;

    // The connected socket, now the caller's, and the address it reached.
    std::pair<int, std::string> Run(const Deadline& deadline)
    {
        Clock::time_point nextStart{};
        for (;;) {
            if (m_next != nullptr && Clock::now() >= nextStart) {
                const Outcome started = Start(*m_next);
                if (started == Outcome::Connected) {
                    return Take(m_attempts.size() - 1);
                }
                m_next = BIO_ADDRINFO_next(m_next);
                nextStart = started == Outcome::Pending ? Clock::now() + AttemptDelay : Clock::time_point{};
                continue;
            }
            if (m_attempts.empty()) {
                throw ExchangeFailed{m_failure, native_socket::ErrorText(m_error)};
            }
            std::vector<int> sockets;
            for (const Attempt& attempt : m_attempts) {
                sockets.push_back(attempt.socket);
            }
            const auto untilNext = m_next != nullptr
                ? std::chrono::ceil<std::chrono::milliseconds>(nextStart - Clock::now())
                : AbandonCheck;
            const std::vector<bool> ready = WaitOn(sockets, true, untilNext, deadline);
            for (std::size_t i = m_attempts.size(); i-- > 0;) {
                if (!ready[i]) {
                    continue;
                }
                if (const int error = BIO_sock_error(m_attempts[i].socket); error != 0) {
                    Fail(i, error);
                    nextStart = {}; // on to the next at once
                    continue;
                }
                return Take(i);
            }
        }
    }

private:
    enum class Outcome { Connected, Pending, Failed };
    struct Attempt {
        int socket;
        const BIO_ADDRINFO* address;
    };

    Outcome Start(const BIO_ADDRINFO& address)
    {
        const int socket = BIO_socket(BIO_ADDRINFO_family(&address), BIO_ADDRINFO_socktype(&address),
                                      BIO_ADDRINFO_protocol(&address), 0);
        if (socket == -1) {
            Note(SystemErrorOnTheQueue());
            return Outcome::Failed;
        }
        m_attempts.push_back({socket, &address});
        // The key exchange's few small messages must not wait on Nagle's algorithm.
        ERR_clear_error();
        if (BIO_connect(socket, BIO_ADDRINFO_address(&address), BIO_SOCK_NONBLOCK | BIO_SOCK_NODELAY) == 1) {
            return Outcome::Connected;
        }
        if (ERR_peek_error() == 0 && BIO_sock_should_retry(-1)) {
            return Outcome::Pending;
        }
        Fail(m_attempts.size() - 1, SystemErrorOnTheQueue());
        return Outcome::Failed;
    }

    // OpenSSL's socket calls put the system's error on its queue.
    static int SystemErrorOnTheQueue()
    {
        const unsigned long error = ERR_peek_error();
        ERR_clear_error();
        return ERR_SYSTEM_ERROR(error) ? ERR_GET_REASON(error) : native_socket::LastError();
    }

    Attempt Remove(std::size_t index)
    {
        const Attempt removed = m_attempts[index];
        m_attempts.erase(m_attempts.begin() + static_cast<std::ptrdiff_t>(index));
        return removed;
    }

    std::pair<int, std::string> Take(std::size_t index)
    {
        const Attempt taken = Remove(index);
        char* text = BIO_ADDR_hostname_string(BIO_ADDRINFO_address(taken.address), 1);
        std::string address = text != nullptr ? text : "";
        OPENSSL_free(text);
        return {taken.socket, std::move(address)};
    }

    void Fail(std::size_t index, int error)
    {
        BIO_closesocket(Remove(index).socket);
        Note(error);
    }

    // A refusal says most: some address of the server answered.
    void Note(int error)
    {
        if (m_failure != TlsKeyExchangeFailure::Refused) {
            m_failure = native_socket::ConnectFailure(error);
            m_error = error;
        }
    }

    const BIO_ADDRINFO* m_next;
    std::vector<Attempt> m_attempts;
    TlsKeyExchangeFailure m_failure = TlsKeyExchangeFailure::Other;
    int m_error = 0;
};

} // namespace

StreamSocket::StreamSocket(const std::string& host, int port, const Deadline& deadline)
{
    const Addresses addresses = LookUp(host, port, deadline);
    std::tie(m_socket, m_address) = ConnectionRace(addresses.get()).Run(deadline);
}

StreamSocket::~StreamSocket()
{
    BIO_closesocket(m_socket);
}

void StreamSocket::Wait(bool forWriting, const Deadline& deadline) const
{
    while (!WaitOn({&m_socket, 1}, forWriting, AbandonCheck, deadline)[0]) {}
}

} // namespace chronavel
