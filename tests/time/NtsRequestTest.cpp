// Whole authenticated requests against chronyd's NTS server on loopback, with
// what an on-path attacker can do played by a proxy between client and
// server; the same cases over each flavour's platform.
#include "time/clsCheckTime.h"

#include "tests/support/NtsPeers.h"
#include "tests/support/ScriptedHttpClient.h"
#include "time/ResultTexts.h"

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#include "tests/platform/win32/LoopbackHttpsServers.h"
#include "tests/platform/win32/MessageBoxCloser.h"
#else
#include "tests/support/QtTestPlatform.h"
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <regex>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::StartsWith;

class NtsRequest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { peers = std::make_unique<NtsPeers>(); }
    static void TearDownTestSuite() { peers.reset(); }

    std::string Ask(const std::string& ntsServer, const std::string& caFile)
    {
        const Endpoints endpoints{.ntsServer = ntsServer, .trustedCaFile = caFile};
#ifdef _WIN32
        MessageBoxCloser user;
        Win32Platform windows(http);
        return clsCheckTime(windows.platform(), endpoints).GetRealTime("ON");
#else
        QtTestPlatform platform(&http);
        return clsCheckTime(platform.platform, endpoints).GetRealTime("ON");
#endif
    }

    std::string AskThrough(Tampering tampering)
    {
        return Ask(peers->Server(tampering), peers->caFile());
    }

    static inline std::unique_ptr<NtsPeers> peers;
    ScriptedHttpClientFactory http{UtcZoneResponse};
};

// The proxy passes on only replies chronyd authenticated.
TEST_F(NtsRequest, AuthenticatedReplyGivesTheTime)
{
    const std::string result = AskThrough(Tampering::None);
    EXPECT_THAT(result, ::testing::Not(StartsWith("Error"))) << result;
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
    const std::pair<Tampering, const char*> cases[] = {
        {Tampering::ChangeAuthenticator, InvalidReplyError},
        {Tampering::ForgePlainReply, InvalidReplyError},
        // A changed cookie is one the server cannot read: it answers with a NAK.
        {Tampering::ChangeCookie, NtsNakError},
    };
    for (const auto& [tampering, expected] : cases) {
        SCOPED_TRACE(NameOf(tampering));
        EXPECT_EQ(AskThrough(tampering), expected);
    }
}

TEST_F(NtsRequest, SilentNtpServerTimesOut)
{
    EXPECT_EQ(AskThrough(Tampering::Drop), TimeoutError);
}

TEST_F(NtsRequest, KeyExchangeFailuresEndTheRequest)
{
    struct Case {
        std::string server;
        std::string caFile;
        const char* expected;
    };
    const Case cases[] = {
        {peers->Server(Tampering::None), peers->untrustedCaFile(), UntrustedCertificateError},
        {peers->OtherHostServer(), peers->caFile(), WrongHostCertificateError},
        {peers->RefusingServer(), peers->caFile(), KeyExchangeRefusedError},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.expected);
        EXPECT_EQ(Ask(test.server, test.caFile), test.expected);
    }
}

#ifdef _WIN32
// Without a CA file, Windows' chain engine judges the certificate; one
// process for each case, as the engine reads the stores once. (Wine 8
// ignores the Disallowed store: a CA there and in Root stays trusted.)
struct VerdictCase {
    const char* name;
    bool otherHost;
    bool caInRoot;        // the user's Root store
    const char* expected; // null: the time
};

class WindowsVerdict : public NtsRequest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(WindowsVerdict, DecidesWithoutACaFile)
{
    std::optional<CaInUserStore> trust;
    if (GetParam().caInRoot) {
        trust.emplace(peers->caDerFile(), L"Root");
    }
    const std::string result
        = Ask(ByName(GetParam().otherHost ? peers->OtherHostServer() : peers->Server(Tampering::None)), "");
    if (GetParam().expected == nullptr) {
        EXPECT_THAT(result, ::testing::Not(StartsWith("Error"))) << result;
    } else {
        EXPECT_EQ(result, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(NtsRequest, WindowsVerdict,
                         ::testing::Values(VerdictCase{"Trusted", false, true, nullptr},
                                           VerdictCase{"InNoStore", false, false, UntrustedCertificateError},
                                           VerdictCase{"ForAnotherHost", true, true, WrongHostCertificateError}),
                         [](const auto& row) { return std::string(row.param.name); });
#endif

TEST_F(NtsRequest, SilentKeyExchangeGivesUpWithinTheLimit)
{
    EXPECT_EQ(Ask(peers->SilentServer(), peers->caFile()), KeyExchangeSilentError);
}

} // namespace
} // namespace chronavel
