// What the user is told of each way a key exchange can fail, over a scripted
// exchange that ends at the pump's first call. (Refusals, silence and
// certificates are also met against real servers in the whole requests.)
#include "time/clsCheckTime.h"

#include "tests/support/ChecksumAead.h"
#include "tests/support/KeRecordBytes.h"
#include "tests/support/ScriptedPlatform.h"
#include "time/ResultTexts.h"

#include <gtest/gtest.h>

#include <utility>

namespace chronavel {
namespace {

using namespace chronavel::testing;

class ScriptedKeyExchanges final : public ITlsKeyExchangeFactory {
public:
    explicit ScriptedKeyExchanges(TlsKeyExchangeOutcome outcome) : m_outcome(std::move(outcome)) {}

    std::unique_ptr<ITlsKeyExchange> Start(TlsKeyExchangeRequest, Done done) override
    {
        pending = [this, done = std::move(done)] { done(m_outcome); };
        return std::make_unique<ITlsKeyExchange>();
    }

    std::function<void()> pending; // delivers the outcome

private:
    TlsKeyExchangeOutcome m_outcome;
};

TlsKeyExchangeOutcome Failed(TlsKeyExchangeFailure failure, std::string description = {})
{
    return {.failure = failure, .description = std::move(description)};
}

TlsKeyExchangeOutcome Answered(Bytes response, std::size_t keyLength = 32)
{
    return {.response = std::move(response),
            .clientToServerKey = Bytes(keyLength, 1),
            .serverToClientKey = Bytes(keyLength, 2),
            .connectedAddress = "192.0.2.1"};
}

struct Case {
    const char* name;
    TlsKeyExchangeOutcome outcome;
    std::string expected;
};

class KeyExchangeFailure : public ::testing::TestWithParam<Case>, protected ScriptedPlatform {};

TEST_P(KeyExchangeFailure, EndsTheRequestWithItsOwnText)
{
    ScriptedKeyExchanges exchanges(GetParam().outcome);
    ChecksumAead aead;
    Platform authenticated = platform;
    authenticated.tlsKeyExchanges = &exchanges;
    authenticated.aeadSiv = &aead;
    pump.onCall = [&exchanges](int) {
        if (exchanges.pending) {
            std::exchange(exchanges.pending, {})();
        }
    };
    EXPECT_EQ(clsCheckTime(authenticated, {.ntsServer = "nts.example"}).GetRealTime("ON"), GetParam().expected);
    EXPECT_EQ(messageBox.Prompts(), std::vector<std::string>{"P1"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyExchangeFailure,
    ::testing::Values(Case{"Unreachable", Failed(TlsKeyExchangeFailure::Unreachable), KeyExchangeUnreachableError},
                      Case{"NoTls13", Failed(TlsKeyExchangeFailure::TlsRefused), KeyExchangeTlsError},
                      Case{"Reset", Failed(TlsKeyExchangeFailure::Other, "Connection reset by peer"),
                           std::string(KeyExchangeFailedError) + "Connection reset by peer"},
                      Case{"ErrorRecord", Answered(Joined({Record(2, {0, 1}), EndOfMessage})),
                           std::string(KeyExchangeRejectedError) + "1"},
                      Case{"WarningRecord", Answered(Joined({Record(3, {0x12, 0x34}), EndOfMessage})),
                           std::string(KeyExchangeWarningError) + "4660"},
                      Case{"NoCookie", Answered(Joined({NtpV4, AesSivCmac256, EndOfMessage})), NoCookieError},
                      Case{"CutShort", Answered(Joined({NtpV4, AesSivCmac256, CookieA})), UnusableKeyExchangeError},
                      Case{"KeysOfTheWrongSize", Answered(Healthy, 16), UnusableKeyExchangeError}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace chronavel
