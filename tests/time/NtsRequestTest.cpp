// Whole authenticated requests against chronyd's NTS server on loopback, with
// what an on-path attacker can do played by a proxy between client and server.
#include "time/clsCheckTime.h"

#include "tests/support/ChronyServer.h"
#include "tests/support/NtpProxy.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/RefusingTcpPort.h"
#include "tests/support/ScriptedHttpClient.h"
#include "tests/support/SilentTcpPort.h"
#include "time/ResultTexts.h"

#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::StartsWith;

constexpr std::uint16_t AuthenticatorField = 0x0404;
constexpr std::uint16_t CookieField = 0x0204;

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

class NtsRequest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        certificates = std::make_unique<TestCertificate>();
        // The key exchange names the proxy's address as the NTP server.
        chrony = std::make_unique<ChronyServer>(ChronyServer::Nts{certificates->server(), NtpProxy::Address});
    }
    static void TearDownTestSuite()
    {
        chrony.reset();
        certificates.reset();
    }

    std::string Ask(const std::string& ntsServer, const std::string& caFile)
    {
        QtTestPlatform platform(&http);
        clsCheckTime check(platform.platform, Endpoints{.ntsServer = ntsServer, .trustedCaFile = caFile});
        return check.GetRealTime("ON");
    }

    std::string AskThrough(NtpProxy::Handler handle)
    {
        NtpProxy proxy(chrony->ntpPort(), std::move(handle));
        return Ask("127.0.0.1:" + std::to_string(chrony->keyExchangePort()), certificates->caFile());
    }

    // chronyd needs a moment before it serves a time; until then its replies are not usable.
    void WaitUntilServed()
    {
        for (int attempt = 0; attempt < 40; ++attempt) {
            if (!AskThrough([](Bytes request, const NtpProxy::AskServer& server) {
                     return server(request);
                 }).starts_with("Error")) {
                return;
            }
            QThread::msleep(250);
        }
        FAIL() << "chronyd never served a time";
    }

    static inline std::unique_ptr<TestCertificate> certificates;
    static inline std::unique_ptr<ChronyServer> chrony;
    ScriptedHttpClientFactory http{UtcZoneResponse};
};

TEST_F(NtsRequest, AuthenticatedReplyGivesTheTime)
{
    WaitUntilServed();
    bool authenticated = false;
    const std::string result = AskThrough([&](Bytes request, const NtpProxy::AskServer& server) {
        std::optional<Bytes> reply = server(request);
        authenticated = reply && FieldAt(*reply, AuthenticatorField);
        return reply;
    });
    EXPECT_THAT(result, ::testing::Not(StartsWith("Error"))) << result;
    EXPECT_TRUE(authenticated) << "chronyd did not authenticate its reply";
    // chronyd serves the system's clock: the service is asked about this moment.
    ASSERT_FALSE(http.requests.empty());
    std::smatch timestamp;
    ASSERT_TRUE(std::regex_search(http.requests.back().url, timestamp, std::regex("timestamp=([0-9]+)")));
    const auto now
        = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch());
    EXPECT_NEAR(std::stod(timestamp[1]), static_cast<double>(now.count()), 2.0);
}

TEST_F(NtsRequest, RepliesTheServerDidNotAuthenticateAreRefused)
{
    WaitUntilServed();
    struct Case {
        const char* what;
        NtpProxy::Handler handle;
        const char* expected;
    };
    const Case cases[] = {
        {"authenticator changed",
         [](Bytes request, const NtpProxy::AskServer& server) {
             std::optional<Bytes> reply = server(request);
             if (reply) {
                 reply->back() ^= 0x01;
             }
             return reply;
         },
         InvalidReplyError},
        {"plain reply echoing the nonce",
         [](Bytes request, const NtpProxy::AskServer&) -> std::optional<Bytes> {
             std::uint64_t originate = 0;
             for (int i = 40; i < 48; ++i) {
                 originate = originate << 8 | request[i];
             }
             return MakeSntpReply({.transmitSeconds = Dec8th2026At071022, .originate = originate});
         },
         InvalidReplyError},
        {"cookie changed, so the server answers with a NAK",
         [](Bytes request, const NtpProxy::AskServer& server) {
             if (const std::optional<std::size_t> cookie = FieldAt(request, CookieField)) {
                 request[*cookie + 8] ^= 0x01;
             }
             return server(request);
         },
         NtsNakError},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        EXPECT_EQ(AskThrough(test.handle), test.expected);
    }
}

TEST_F(NtsRequest, SilentNtpServerTimesOut)
{
    EXPECT_EQ(AskThrough([](Bytes, const NtpProxy::AskServer&) { return std::nullopt; }), TimeoutError);
}

TEST_F(NtsRequest, KeyExchangeFailuresEndTheRequest)
{
    ChronyServer otherHost(ChronyServer::Nts{certificates->serverForOtherHost()});
    RefusingTcpPort refusing;
    const std::string at = "127.0.0.1:";
    struct Case {
        std::string server;
        std::string caFile;
        const char* expected;
    };
    const Case cases[] = {
        {at + std::to_string(chrony->keyExchangePort()), certificates->untrustedCaFile(), UntrustedCertificateError},
        {at + std::to_string(otherHost.keyExchangePort()), certificates->caFile(), WrongHostCertificateError},
        {at + std::to_string(refusing.port()), certificates->caFile(), KeyExchangeRefusedError},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.expected);
        EXPECT_EQ(Ask(test.server, test.caFile), test.expected);
    }
}

TEST_F(NtsRequest, SilentKeyExchangeGivesUpWithinTheLimit)
{
    SilentTcpPort silent;
    EXPECT_EQ(Ask("127.0.0.1:" + std::to_string(silent.port()), certificates->caFile()), KeyExchangeSilentError);
}

} // namespace
} // namespace chronavel
