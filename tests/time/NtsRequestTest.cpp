// Whole authenticated requests against chronyd's NTS server on loopback, with
// what an on-path attacker can do played by a proxy between client and
// server; the same cases over each flavour's platform.
#include "time/clsCheckTime.h"

#include "tests/support/NtsPeers.h"
#include "tests/support/RecordingMessageBox.h"
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
        boxes.clear();
#ifdef _WIN32
        MessageBoxCloser user;
        Win32Platform windows(http);
        const std::string result = clsCheckTime(windows.platform(), endpoints).GetRealTime("ON");
        for (const auto& box : user.boxes) {
            boxes.push_back(box.text);
        }
#else
        QtTestPlatform platform(&http);
        const std::string result = clsCheckTime(platform.platform, endpoints).GetRealTime("ON");
        boxes = platform.messageBox.Prompts();
#endif
        return result;
    }

    std::string AskThrough(Tampering tampering)
    {
        return Ask(peers->Server(tampering), peers->caFile());
    }

    static inline std::unique_ptr<NtsPeers> peers;
    ScriptedHttpClientFactory http{UtcZoneResponse};
    std::vector<std::string> boxes; // the last request's, in order
};

// The proxy passes on only replies chronyd authenticated; what anyone on the
// path may send first is read and passed over.
TEST_F(NtsRequest, AuthenticatedReplyGivesTheTime)
{
    for (const Tampering tampering : {Tampering::None, Tampering::ForgeBeforeReply, Tampering::NakBeforeReply}) {
        SCOPED_TRACE(NameOf(tampering));
        const std::string result = AskThrough(tampering);
        EXPECT_THAT(result, ::testing::Not(StartsWith("Error"))) << result;
        EXPECT_EQ(boxes, AllCheckpoints);
        // chronyd serves the system's clock: the service is asked about this moment.
        ASSERT_FALSE(http.requests.empty());
        std::smatch timestamp;
        ASSERT_TRUE(std::regex_search(http.requests.back().url, timestamp, std::regex("timestamp=([0-9]+)")));
        const auto now
            = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch());
        EXPECT_NEAR(std::stod(timestamp[1]), static_cast<double>(now.count()), 2.0);
    }
}

// Nothing authenticated: when the wait is over, what came is named.
TEST_F(NtsRequest, UnauthenticatedRepliesOnlyEndInAnErrorWhenTheWaitIsOver)
{
    const std::pair<Tampering, const char*> cases[] = {
        {Tampering::ChangeAuthenticator, InvalidReplyError},
        // A changed cookie is one the server cannot read: it answers with a NAK.
        {Tampering::ChangeCookie, NtsNakError},
        {Tampering::Drop, TimeoutError},
    };
    for (const auto& [tampering, expected] : cases) {
        SCOPED_TRACE(NameOf(tampering));
        EXPECT_EQ(AskThrough(tampering), expected);
        EXPECT_EQ(boxes, (std::vector<std::string>{"P1", "P2", "P3"}));
    }
}

TEST_F(NtsRequest, ReplyHeldBackOnThePathIsRefused)
{
    // Held 2500 ms; the text gives the delay.
    EXPECT_THAT(AskThrough(Tampering::HoldBack),
                ::testing::AllOf(StartsWith("Error: The time server's reply spent 2"),
                                 ::testing::EndsWith(" ms on the network, more than the 2000 ms allowed")));
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

// Before the key exchange gave up on ::1, the next address had long answered
// (RFC 8305); and NTP goes where the key exchange went, not to the name's first.
TEST_F(NtsRequest, FirstAddressThatDropsConnectionsIsRacedPast)
{
    const std::string server = peers->RacedServer();
    if (server.empty()) {
        GTEST_SKIP() << "localhost does not resolve to ::1 before 127.0.0.1 here, as Debian's /etc/hosts has it";
    }
    const std::string result = Ask(server, peers->caFile());
    EXPECT_THAT(result, ::testing::Not(StartsWith("Error"))) << result;
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
