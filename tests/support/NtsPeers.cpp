#include "tests/support/NtsPeers.h"

#include "tests/support/ChronyServer.h"
#include "tests/support/LoopbackSockets.h"
#include "tests/support/LoopbackTcpPort.h"
#include "tests/support/NtpProxy.h"
#include "tests/support/TestCertificate.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace chronavel::testing {
namespace {

constexpr std::uint16_t UniqueIdentifierField = 0x0104;
constexpr std::uint16_t CookieField = 0x0204;
constexpr std::uint16_t AuthenticatorField = 0x0404;

// Where the extension field of a type starts in an NTP packet, or nothing.
std::optional<std::size_t> FieldAt(const Bytes& packet, std::uint16_t type)
{
    for (std::size_t at = 48; at + 4 <= packet.size();) {
        const std::size_t length = packet[at + 2] << 8 | packet[at + 3];
        if ((packet[at] << 8 | packet[at + 1]) == type) {
            return at;
        }
        if (length < 4) {
            break;
        }
        at += length;
    }
    return std::nullopt;
}

// What anyone who sees the request can send: a server-mode header echoing
// its nonce (a NAK's when kissCode is given) and its Unique Identifier.
Bytes Forged(const Bytes& request, const char* kissCode = nullptr)
{
    std::uint64_t originate = 0;
    for (int i = 40; i < 48; ++i) {
        originate = originate << 8 | request[i];
    }
    SntpReplyFields fields{.transmitSeconds = Dec8th2026At071022, .originate = originate};
    if (kissCode != nullptr) {
        fields.stratum = 0;
    }
    Bytes forged = MakeSntpReply(fields);
    if (kissCode != nullptr) {
        std::copy(kissCode, kissCode + 4, forged.begin() + 12);
    }
    if (const std::optional<std::size_t> id = FieldAt(request, UniqueIdentifierField)) {
        const std::size_t length = request[*id + 2] << 8 | request[*id + 3];
        forged.insert(forged.end(), request.begin() + static_cast<std::ptrdiff_t>(*id),
                      request.begin() + static_cast<std::ptrdiff_t>(*id + length));
    }
    return forged;
}

NtpProxy::Handler HandlerFor(Tampering tampering)
{
    using AskServer = NtpProxy::AskServer;
    // Only what chronyd authenticated, so a client that checks nothing cannot pass for one that does.
    const auto authentic = [](const Bytes& request, const AskServer& server) -> std::vector<Bytes> {
        std::optional<Bytes> reply = server(request);
        if (reply && FieldAt(*reply, AuthenticatorField)) {
            return {*reply};
        }
        return {};
    };
    switch (tampering) {
    case Tampering::None:
        return authentic;
    case Tampering::ChangeAuthenticator:
        return [authentic](Bytes request, const AskServer& server) {
            std::vector<Bytes> replies = authentic(request, server);
            for (Bytes& reply : replies) {
                reply.back() ^= 0x01;
            }
            return replies;
        };
    case Tampering::ForgeBeforeReply:
    case Tampering::NakBeforeReply:
        return [authentic, tampering](Bytes request, const AskServer& server) {
            std::vector<Bytes> replies{Forged(request, tampering == Tampering::NakBeforeReply ? "NTSN" : nullptr)};
            for (Bytes& reply : authentic(request, server)) {
                replies.push_back(std::move(reply));
            }
            return replies;
        };
    case Tampering::ChangeCookie:
        return [](Bytes request, const AskServer& server) {
            if (const std::optional<std::size_t> cookie = FieldAt(request, CookieField)) {
                request[*cookie + 8] ^= 0x01;
            }
            std::optional<Bytes> reply = server(request);
            return reply ? std::vector<Bytes>{*reply} : std::vector<Bytes>{};
        };
    case Tampering::HoldBack:
        return [authentic](Bytes request, const AskServer& server) {
            std::vector<Bytes> replies = authentic(request, server);
            std::this_thread::sleep_for(std::chrono::milliseconds{2500});
            return replies;
        };
    case Tampering::Drop:
        break;
    }
    return [](Bytes, const AskServer&) { return std::vector<Bytes>{}; };
}

// chronyd serves a time a moment after it starts; until then its replies say
// it is unsynchronised (leap indicator 3, stratum 0).
void WaitUntilServing(int port)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(socket, reinterpret_cast<const sockaddr*>(&server), sizeof server);
    Bytes request(48);
    request[0] = 0x23; // version 4, client
    for (int attempt = 0; attempt < 100; ++attempt) {
        Bytes reply(2048);
        pollfd watched{.fd = socket, .events = POLLIN, .revents = 0};
        if (::send(socket, request.data(), request.size(), 0) == 48 && ::poll(&watched, 1, 100) == 1
            && ::recv(socket, reply.data(), reply.size(), 0) >= 48 && reply[0] >> 6 != 3 && reply[1] != 0) {
            ::close(socket);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{100});
    }
    ::close(socket);
    throw std::runtime_error("chronyd never served a time");
}

// A listener on [::1]:port whose accept queue is full, so that the kernel
// drops every further connection's first packet, as a broken route does.
class DroppingIpv6Port {
public:
    explicit DroppingIpv6Port(int port)
    {
        const auto [address, length] = LoopbackAddress(AF_INET6, port);
        const auto* at = reinterpret_cast<const sockaddr*>(&address);
        m_listener = ::socket(AF_INET6, SOCK_STREAM, 0);
        m_queued = ::socket(AF_INET6, SOCK_STREAM, 0);
        m_bHolding = HasIpv6Loopback() && m_listener >= 0 && m_queued >= 0 && ::bind(m_listener, at, length) == 0
            && ::listen(m_listener, 0) == 0 && ::connect(m_queued, at, length) == 0;
    }
    ~DroppingIpv6Port()
    {
        ::close(m_queued);
        ::close(m_listener);
    }
    DroppingIpv6Port(const DroppingIpv6Port&) = delete;
    DroppingIpv6Port& operator=(const DroppingIpv6Port&) = delete;

    bool holding() const { return m_bHolding; }

private:
    int m_listener = -1;
    int m_queued = -1;
    bool m_bHolding = false;
};

// Whether this machine's resolver gives localhost as ::1, then 127.0.0.1.
bool LocalhostIsIpv6First()
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo("localhost", "1", &hints, &found) != 0) {
        return false;
    }
    const addrinfo* second = found->ai_next;
    const bool ipv6First = found->ai_family == AF_INET6 && second != nullptr && second->ai_family == AF_INET;
    ::freeaddrinfo(found);
    return ipv6First;
}

std::string OnLoopback(int port)
{
    return "127.0.0.1:" + std::to_string(port);
}

} // namespace

struct NtsPeers::Running {
    struct Tampered {
        // The key exchange names the proxy's address as the NTP server.
        explicit Tampered(const TestCertificate& certificates, Tampering tampering)
            : chrony(ChronyServer::Nts{certificates.server(), NtpProxy::Address})
            , proxy(chrony.ntpPort(), HandlerFor(tampering))
        {
        }
        ChronyServer chrony;
        NtpProxy proxy;
    };

    TestCertificate certificates;
    std::vector<std::unique_ptr<Tampered>> tampered; // in Tampering's order
    ChronyServer otherHost{ChronyServer::Nts{certificates.serverForOtherHost()}};
    ChronyServer ipv4Only{ChronyServer::Nts{.identity = certificates.server(), .ipv4Only = true}};
    DroppingIpv6Port droppingIpv6{ipv4Only.keyExchangePort()};
    RefusingTcpPort refusing;
    SilentTcpPort silent;
};

NtsPeers::NtsPeers() : m_running(std::make_unique<Running>())
{
    for (const Tampering tampering : EveryTampering) {
        m_running->tampered.push_back(std::make_unique<Running::Tampered>(m_running->certificates, tampering));
    }
    for (const auto& tampered : m_running->tampered) {
        WaitUntilServing(tampered->chrony.ntpPort());
    }
}

NtsPeers::~NtsPeers() = default;

std::string NtsPeers::Server(Tampering tampering) const
{
    return OnLoopback(m_running->tampered.at(static_cast<std::size_t>(tampering))->chrony.keyExchangePort());
}

std::string NtsPeers::OtherHostServer() const
{
    return OnLoopback(m_running->otherHost.keyExchangePort());
}

std::string NtsPeers::RefusingServer() const
{
    return OnLoopback(m_running->refusing.port());
}

std::string NtsPeers::SilentServer() const
{
    return OnLoopback(m_running->silent.port());
}

std::string NtsPeers::RacedServer() const
{
    if (!m_running->droppingIpv6.holding() || !LocalhostIsIpv6First()) {
        return {};
    }
    return "localhost:" + std::to_string(m_running->ipv4Only.keyExchangePort());
}

std::string NtsPeers::caFile() const
{
    return m_running->certificates.caFile();
}

std::string NtsPeers::caDerFile() const
{
    return m_running->certificates.caDerFile();
}

std::string NtsPeers::untrustedCaFile() const
{
    return m_running->certificates.untrustedCaFile();
}

} // namespace chronavel::testing
