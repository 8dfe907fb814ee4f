// The key exchange's TLS against chronyd's NTS-KE server on loopback,
// through the Qt flavour's delivery.
#include "platform/openssl/OpenSslErrorText.h"
#include "tests/support/ChronyServer.h"
#include "tests/support/LoopbackSockets.h"
#include "tests/support/LoopbackTcpPort.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/TestCertificate.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <openssl/err.h>

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

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
    // localhost is ::1 first on many machines; chronyd answers there as on 127.0.0.1.
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

// Takes one connection and resets it at once.
class ResettingPort {
public:
    ResettingPort()
    {
        m_sockets.Listen();
        m_thread = std::thread([listener = m_sockets.Of(AF_INET)] {
            pollfd waiting{listener, POLLIN, 0};
            if (::poll(&waiting, 1, 10000) == 1) {
                const int connection = ::accept(listener, nullptr, nullptr);
                const linger reset{1, 0};
                ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                ::close(connection);
            }
        });
    }
    ~ResettingPort() { m_thread.join(); }
    int port() const { return m_sockets.port(); }

private:
    LoopbackSockets m_sockets{SOCK_STREAM};
    std::thread m_thread;
};

// Only TLS's own refusal says the server offers nothing we accept; a reset
// says only that the connection failed. The other failures are told apart,
// and told to the user, in the whole requests' tests.
TEST(TlsKeyExchange, HandshakeFailuresAreToldApart)
{
    TestCertificate certificates;
    ChronyServer chrony(ChronyServer::Nts{certificates.server()});
    QtTestPlatform platform;
    TlsKeyExchangeRequest otherProtocol = NtsRequest("127.0.0.1", chrony.keyExchangePort(), certificates.caFile());
    otherProtocol.alpn = "http/1.1";
    const TlsKeyExchangeOutcome refused = Exchange(platform, std::move(otherProtocol));
    EXPECT_EQ(refused.failure, TlsKeyExchangeFailure::TlsRefused) << refused.description;
    EXPECT_TRUE(refused.clientToServerKey.empty());

    const ResettingPort resetting;
    const TlsKeyExchangeOutcome reset
        = Exchange(platform, NtsRequest("127.0.0.1", resetting.port(), certificates.caFile()));
    EXPECT_EQ(reset.failure, TlsKeyExchangeFailure::Other) << reset.description;
    EXPECT_FALSE(reset.description.empty());
}

// What a user reads of OpenSSL's errors: the system's words where it kept them.
TEST(OpenSslErrorText, GivesTheSystemsWordsRatherThanOpenSslsCode)
{
    ERR_raise_data(ERR_LIB_BIO, ERR_R_SYS_LIB, "Name or service not known");
    EXPECT_EQ(OpenSslErrorText("Lookup"), "Lookup: Name or service not known");
    ERR_raise_data(ERR_LIB_SYS, ECONNREFUSED, "calling connect()");
    EXPECT_EQ(OpenSslErrorText("Connect"), "Connect: " + std::string(std::strerror(ECONNREFUSED)));
    EXPECT_EQ(OpenSslErrorText("Nothing queued"), "Nothing queued");
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
