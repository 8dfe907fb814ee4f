// The key exchange's TLS against chronyd's NTS-KE server on loopback,
// through the Qt flavour's delivery.
#include "tests/support/ChronyServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/RefusingTcpPort.h"
#include "tests/support/SilentTcpPort.h"
#include "tests/support/TestCertificate.h"

#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct Record {
    int type; // without the critical bit
    Bytes body;
};

// The whole records in bytes (RFC 8915 section 4).
std::vector<Record> Records(std::span<const std::uint8_t> bytes)
{
    std::vector<Record> records;
    while (bytes.size() >= 4) {
        const std::size_t length = bytes[2] << 8 | bytes[3];
        if (bytes.size() < 4 + length) {
            break;
        }
        records.push_back({(bytes[0] & 0x7f) << 8 | bytes[1], Bytes(bytes.begin() + 4, bytes.begin() + 4 + length)});
        bytes = bytes.subspan(4 + length);
    }
    return records;
}

bool HasEndOfMessage(std::span<const std::uint8_t> bytes)
{
    const auto records = Records(bytes);
    return std::any_of(records.begin(), records.end(), [](const Record& record) { return record.type == 0; });
}

TlsKeyExchangeRequest NtsRequest(std::string host, int port, std::string caFile)
{
    return {
        .host = std::move(host),
        .port = port,
        .alpn = "ntske/1",
        // Next Protocol NTPv4, AEAD AES-SIV-CMAC-256, End of Message; all critical.
        .request = {0x80, 0x01, 0x00, 0x02, 0x00, 0x00, 0x80, 0x04, 0x00, 0x02, 0x00, 0x0F, 0x80, 0x00, 0x00, 0x00},
        .isComplete = HasEndOfMessage,
        .exporterLabel = "EXPORTER-network-time-security",
        .clientToServerContext = {0x00, 0x00, 0x00, 0x0F, 0x00},
        .serverToClientContext = {0x00, 0x00, 0x00, 0x0F, 0x01},
        .keyLength = 32,
        .timeLimit = 10s,
        .caFile = std::move(caFile),
    };
}

// Pumps events as the request's wait loop does until the outcome arrives.
TlsKeyExchangeOutcome Exchange(QtTestPlatform& platform, TlsKeyExchangeRequest request)
{
    std::optional<TlsKeyExchangeOutcome> outcome;
    const auto exchange = platform.tlsKeyExchanges.Start(std::move(request), [&](TlsKeyExchangeOutcome delivered) {
        EXPECT_FALSE(outcome) << "delivered twice";
        outcome = std::move(delivered);
    });
    EXPECT_FALSE(outcome) << "delivered inside Start";
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (!outcome && std::chrono::steady_clock::now() < giveUp) {
        platform.eventPump.DoEvents();
    }
    return outcome.value_or(TlsKeyExchangeOutcome{TlsKeyExchangeFailure::Other, "never delivered"});
}

TEST(TlsKeyExchange, AgreesKeysAndReceivesCookiesByAddressOrName)
{
    TestCertificate certificates;
    ChronyServer chrony(ChronyServer::Nts{certificates.server(), "127.0.0.2"});
    QtTestPlatform platform;
    // localhost may resolve to ::1 first, where nobody listens: the next address is tried.
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        const TlsKeyExchangeOutcome outcome
            = Exchange(platform, NtsRequest(host, chrony.keyExchangePort(), certificates.caFile()));
        ASSERT_EQ(outcome.failure, TlsKeyExchangeFailure::None) << outcome.description;
        EXPECT_EQ(outcome.clientToServerKey.size(), 32U);
        EXPECT_EQ(outcome.serverToClientKey.size(), 32U);
        EXPECT_NE(outcome.clientToServerKey, outcome.serverToClientKey);

        int cookies = 0;
        std::optional<std::string> server;
        std::optional<int> port;
        for (const Record& record : Records(outcome.response)) {
            cookies += record.type == 5 ? 1 : 0;
            if (record.type == 6) {
                server = std::string(record.body.begin(), record.body.end());
            }
            if (record.type == 7 && record.body.size() == 2) {
                port = record.body[0] << 8 | record.body[1];
            }
        }
        EXPECT_GE(cookies, 1);
        EXPECT_TRUE(HasEndOfMessage(outcome.response));
        EXPECT_EQ(server, "127.0.0.2");
        EXPECT_EQ(port, chrony.ntpPort()); // advertised, not being 123
    }
}

void AppendField(Bytes& packet, int type, const Bytes& body)
{
    const std::size_t length = 4 + (body.size() + 3) / 4 * 4;
    packet.insert(packet.end(),
                  {static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type),
                   static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
    packet.insert(packet.end(), body.begin(), body.end());
    packet.resize(packet.size() + length - 4 - body.size());
}

// Extension fields of an NTP packet, by type: their bodies and where each starts.
std::vector<std::pair<int, std::size_t>> Fields(const Bytes& packet)
{
    std::vector<std::pair<int, std::size_t>> fields;
    for (std::size_t at = 48; at + 4 <= packet.size();) {
        const std::size_t length = packet[at + 2] << 8 | packet[at + 3];
        if (length < 4 || at + length > packet.size()) {
            break;
        }
        fields.emplace_back(packet[at] << 8 | packet[at + 1], at);
        at += length;
    }
    return fields;
}

// The keys and a cookie are what chronyd itself needs to accept a request
// sealed with our AES-SIV (an empty plaintext) and to seal its answer.
TEST(TlsKeyExchange, ChronydAuthenticatesRequestsWithTheKeys)
{
    TestCertificate certificates;
    ChronyServer chrony(ChronyServer::Nts{certificates.server()});
    QtTestPlatform platform;
    const TlsKeyExchangeOutcome keys
        = Exchange(platform, NtsRequest("127.0.0.1", chrony.keyExchangePort(), certificates.caFile()));
    ASSERT_EQ(keys.failure, TlsKeyExchangeFailure::None) << keys.description;
    Bytes cookie;
    for (const Record& record : Records(keys.response)) {
        if (record.type == 5 && cookie.empty()) {
            cookie = record.body;
        }
    }
    ASSERT_FALSE(cookie.empty());

    // RFC 8915 section 5: unique identifier, cookie, then the authenticator
    // over everything before it.
    Bytes request(48);
    request[0] = 0x23; // NTPv4, client
    request[47] = 0x5a;
    const Bytes identifier(32, 0x17);
    AppendField(request, 0x0104, identifier);
    AppendField(request, 0x0204, cookie);
    const Bytes nonce(16, 0x42);
    const Bytes sealed = platform.aeadSiv.Seal(keys.clientToServerKey, nonce, request, {});
    Bytes authenticator{0x00, 0x10, 0x00, static_cast<std::uint8_t>(sealed.size())};
    authenticator.insert(authenticator.end(), nonce.begin(), nonce.end());
    authenticator.insert(authenticator.end(), sealed.begin(), sealed.end());
    AppendField(request, 0x0404, authenticator);

    const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(chrony.ntpPort()));
    const timeval wait{1, 0};
    ASSERT_EQ(::setsockopt(udp, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait), 0);
    ASSERT_EQ(::connect(udp, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    Bytes reply(2048);
    ssize_t received = -1;
    for (int attempt = 0; attempt < 5 && received < 0; ++attempt) {
        ::send(udp, request.data(), request.size(), 0);
        received = ::recv(udp, reply.data(), reply.size(), 0);
    }
    ::close(udp);
    ASSERT_GT(received, 48);
    reply.resize(static_cast<std::size_t>(received));

    const auto fields = Fields(reply);
    const auto field = [&](int type) {
        const auto found
            = std::find_if(fields.begin(), fields.end(), [type](const auto& f) { return f.first == type; });
        return found == fields.end() ? reply.size() : found->second;
    };
    const std::size_t at = field(0x0404);
    ASSERT_LT(at, reply.size()) << "no authenticator: chronyd did not accept the request";
    ASSERT_LT(field(0x0104), reply.size());
    EXPECT_EQ(Bytes(reply.begin() + static_cast<long>(field(0x0104)) + 4,
                    reply.begin() + static_cast<long>(field(0x0104)) + 36),
              identifier);
    const std::size_t nonceLength = reply[at + 4] << 8 | reply[at + 5];
    const std::size_t sealedLength = reply[at + 6] << 8 | reply[at + 7];
    const std::size_t nonceAt = at + 8;
    const std::size_t sealedAt = nonceAt + (nonceLength + 3) / 4 * 4;
    ASSERT_LE(sealedAt + sealedLength, reply.size());
    const auto answer = std::span<const std::uint8_t>(reply);
    EXPECT_TRUE(platform.aeadSiv.Open(keys.serverToClientKey, answer.subspan(nonceAt, nonceLength), answer.first(at),
                                      answer.subspan(sealedAt, sealedLength)));
    EXPECT_FALSE(platform.aeadSiv.Open(keys.clientToServerKey, answer.subspan(nonceAt, nonceLength), answer.first(at),
                                       answer.subspan(sealedAt, sealedLength)));
}

TEST(TlsKeyExchange, FailuresAreToldApart)
{
    TestCertificate certificates;
    ChronyServer chrony(ChronyServer::Nts{certificates.server()});
    ChronyServer otherHost(ChronyServer::Nts{certificates.serverForOtherHost()});
    RefusingTcpPort refusing;
    SilentTcpPort silent;
    QtTestPlatform platform;

    struct Case {
        const char* what;
        TlsKeyExchangeRequest request;
        TlsKeyExchangeFailure expected;
    };
    std::vector<Case> cases{
        {"test CA not trusted", NtsRequest("127.0.0.1", chrony.keyExchangePort(), ""),
         TlsKeyExchangeFailure::CertificateUntrusted},
        {"certificate for another host", NtsRequest("127.0.0.1", otherHost.keyExchangePort(), certificates.caFile()),
         TlsKeyExchangeFailure::CertificateWrongHost},
        {"refused", NtsRequest("127.0.0.1", refusing.port(), certificates.caFile()), TlsKeyExchangeFailure::Refused},
        {"silent", NtsRequest("127.0.0.1", silent.port(), certificates.caFile()), TlsKeyExchangeFailure::Silent},
        {"protocol not agreed", NtsRequest("127.0.0.1", chrony.keyExchangePort(), certificates.caFile()),
         TlsKeyExchangeFailure::TlsRefused},
    };
    cases[3].request.timeLimit = 300ms;
    cases[4].request.alpn = "http/1.1";

    for (Case& test : cases) {
        SCOPED_TRACE(test.what);
        const TlsKeyExchangeOutcome outcome = Exchange(platform, std::move(test.request));
        EXPECT_EQ(outcome.failure, test.expected) << outcome.description;
        EXPECT_FALSE(outcome.description.empty());
        EXPECT_TRUE(outcome.clientToServerKey.empty());
    }
}

TEST(TlsKeyExchange, AbandonedExchangeNeverReports)
{
    TestCertificate certificates;
    ChronyServer chrony(ChronyServer::Nts{certificates.server()});
    SilentTcpPort silent;
    QtTestPlatform platform;

    bool reported = false;
    const auto report = [&](TlsKeyExchangeOutcome) { reported = true; };
    // One most likely done and queued by the time it goes, one still waiting.
    auto finished = platform.tlsKeyExchanges.Start(
        NtsRequest("127.0.0.1", chrony.keyExchangePort(), certificates.caFile()), report);
    auto waiting
        = platform.tlsKeyExchanges.Start(NtsRequest("127.0.0.1", silent.port(), certificates.caFile()), report);
    QThread::msleep(500);
    QCoreApplication::processEvents();
    finished.reset();
    waiting.reset();
    QThread::msleep(100);
    platform.eventPump.DeliverPending();
    EXPECT_FALSE(reported);
}

} // namespace
} // namespace chronavel
