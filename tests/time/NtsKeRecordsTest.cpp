// The key exchange's records: what the client asks, and which answers it takes.
#include "nts/KeRecords.h"

#include "tests/support/KeRecordBytes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace chronavel {
namespace {

using namespace chronavel::testing;

TEST(NtsKeRequest, AsksForNtpV4WithAesSivCmac256InCriticalRecords)
{
    // RFC 8915 section 4: each record is a critical bit and 15-bit type, a
    // 16-bit body length, then the body; all big-endian.
    const Bytes expected{
        0x80, 0x01, 0x00, 0x02, 0x00, 0x00, // Next Protocol Negotiation: NTPv4 (0)
        0x80, 0x04, 0x00, 0x02, 0x00, 0x0F, // AEAD Algorithm Negotiation: AEAD_AES_SIV_CMAC_256 (15)
        0x80, 0x00, 0x00, 0x00,             // End of Message
    };
    EXPECT_EQ(BuildNtsKeRequest(), expected);
}

TEST(NtsKeResponseLength, WaitsForEndOfMessageThenStopsThere)
{
    for (std::size_t size = 0; size < Healthy.size(); ++size) {
        EXPECT_EQ(NtsKeResponseLength(std::span(Healthy).first(size)), std::nullopt) << size << " bytes";
    }
    EXPECT_EQ(NtsKeResponseLength(Healthy), Healthy.size());
    EXPECT_EQ(NtsKeResponseLength(Joined({Healthy, NtpV4})), Healthy.size());
}

TEST(NtsKeResponseLength, GivesUpPastTheLimit)
{
    const Bytes endless = Joined({NtpV4, Record(0x4000, Bytes(NtsKeResponseLimit, 0), false)});
    EXPECT_EQ(NtsKeResponseLength(std::span(endless).first(NtsKeResponseLimit)), std::nullopt);
    EXPECT_EQ(NtsKeResponseLength(endless), endless.size());
    EXPECT_EQ(ParseNtsKeResponse(endless).outcome, NtsKeOutcome::Malformed);
}

struct ResponseCase {
    const char* name;
    Bytes response;
    NtsKeOutcome outcome;
    std::uint16_t code = 0;
};

class NtsKeResponses : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(NtsKeResponses, AreAcceptedOnlyWhenWhole)
{
    const ResponseCase& c = GetParam();
    const NtsKeResponse parsed = ParseNtsKeResponse(c.response);
    EXPECT_EQ(parsed.outcome, c.outcome);
    EXPECT_EQ(parsed.code, c.code);
    EXPECT_EQ(parsed.cookies.empty(), c.outcome != NtsKeOutcome::Accepted);
}

const Bytes Oversize
    = Joined({NtpV4, AesSivCmac256, CookieA, Record(0x4000, Bytes(NtsKeResponseLimit, 0), false), EndOfMessage});

INSTANTIATE_TEST_SUITE_P(
    Table, NtsKeResponses,
    ::testing::Values(
        ResponseCase{"Healthy", Healthy, NtsKeOutcome::Accepted},
        ResponseCase{"UnknownRecordSkippedWhenNotCritical",
                     Joined({NtpV4, Record(0x1234, {1, 2, 3}, false), AesSivCmac256, CookieA, EndOfMessage}),
                     NtsKeOutcome::Accepted},
        ResponseCase{"UnknownCriticalRecord",
                     Joined({NtpV4, AesSivCmac256, CookieA, Record(0x1234, {1, 2, 3}), EndOfMessage}),
                     NtsKeOutcome::UnknownCriticalRecord, 0x1234},
        ResponseCase{"ErrorRecord", Joined({Record(2, {0x00, 0x01}), EndOfMessage}), NtsKeOutcome::ServerError, 1},
        ResponseCase{"ErrorAfterCookies",
                     Joined({NtpV4, AesSivCmac256, CookieA, Record(2, {0x00, 0x02}), EndOfMessage}),
                     NtsKeOutcome::ServerError, 2},
        ResponseCase{"Warning", Joined({NtpV4, AesSivCmac256, CookieA, Record(3, {0x12, 0x34}), EndOfMessage}),
                     NtsKeOutcome::ServerWarning, 0x1234},
        ResponseCase{"ErrorWithoutCode", Joined({Record(2, {}), EndOfMessage}), NtsKeOutcome::Malformed},
        ResponseCase{"NoCookie", Joined({NtpV4, AesSivCmac256, EndOfMessage}), NtsKeOutcome::NoCookie},
        ResponseCase{"EmptyCookieOnly", Joined({NtpV4, AesSivCmac256, Record(5, {}, false), EndOfMessage}),
                     NtsKeOutcome::NoCookie},
        ResponseCase{"OversizeCookieOnly",
                     Joined({NtpV4, AesSivCmac256, Record(5, Bytes(257, 1), false), EndOfMessage}),
                     NtsKeOutcome::NoCookie},
        ResponseCase{"AesGcmSiv", Joined({NtpV4, Record(4, {0x00, 0x1E}), CookieA, EndOfMessage}),
                     NtsKeOutcome::UnsupportedAead},
        ResponseCase{"NoAead", Joined({NtpV4, CookieA, EndOfMessage}), NtsKeOutcome::UnsupportedAead},
        ResponseCase{"NoProtocolInCommon", Joined({Record(1, {}), AesSivCmac256, CookieA, EndOfMessage}),
                     NtsKeOutcome::UnsupportedProtocol},
        ResponseCase{"AnotherProtocol", Joined({Record(1, {0x80, 0x01}), AesSivCmac256, CookieA, EndOfMessage}),
                     NtsKeOutcome::UnsupportedProtocol},
        ResponseCase{"NoProtocolRecord", Joined({AesSivCmac256, CookieA, EndOfMessage}),
                     NtsKeOutcome::UnsupportedProtocol},
        ResponseCase{"ProtocolTwice", Joined({NtpV4, NtpV4, AesSivCmac256, CookieA, EndOfMessage}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"RecordCutShort", Bytes(Healthy.begin(), Healthy.end() - 6), NtsKeOutcome::Malformed},
        ResponseCase{"NoEndOfMessage", Joined({NtpV4, AesSivCmac256, CookieA}), NtsKeOutcome::Malformed},
        ResponseCase{"DataAfterEndOfMessage", Joined({Healthy, Bytes{0}}), NtsKeOutcome::Malformed},
        ResponseCase{"EndOfMessageWithBody", Joined({NtpV4, AesSivCmac256, CookieA, Record(0, {0, 0})}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"PortOfThreeBytes", Joined({NtpV4, AesSivCmac256, CookieA, Record(7, {0, 1, 2}), EndOfMessage}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"ServerNameWithSpace",
                     Joined({NtpV4, AesSivCmac256, CookieA, Record(6, {'a', ' ', 'b'}), EndOfMessage}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"ServerTwice",
                     Joined({NtpV4, AesSivCmac256, CookieA, Record(6, {'a'}), Record(6, {'b'}), EndOfMessage}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"PortTwice",
                     Joined({NtpV4, AesSivCmac256, CookieA, Record(7, {0, 123}), Record(7, {0, 124}), EndOfMessage}),
                     NtsKeOutcome::Malformed},
        ResponseCase{"Oversize", Oversize, NtsKeOutcome::Malformed}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(NtsKeResponse, GivesCookiesServerAndPort)
{
    const NtsKeResponse parsed = ParseNtsKeResponse(
        Joined({NtpV4, AesSivCmac256, CookieA, CookieB, Record(6, {'1', '2', '7', '.', '0', '.', '0', '.', '1'}),
                Record(7, {0x10, 0x7B}), EndOfMessage}));
    ASSERT_EQ(parsed.outcome, NtsKeOutcome::Accepted);
    EXPECT_EQ(parsed.cookies, (std::vector{Bytes(64, 0xA1), Bytes(64, 0xB2)}));
    EXPECT_EQ(parsed.ntpServer, "127.0.0.1");
    EXPECT_EQ(parsed.ntpPort, 4219);

    const NtsKeResponse unnamed = ParseNtsKeResponse(Healthy);
    EXPECT_EQ(unnamed.ntpServer, "");
    EXPECT_EQ(unnamed.ntpPort, 123);
}

TEST(NtsKeResponse, KeepsAtMostEightCookies)
{
    Bytes response = Joined({NtpV4, AesSivCmac256});
    for (std::uint8_t i = 0; i < 10; ++i) {
        const Bytes cookie = Record(5, Bytes(32, i), false);
        response.insert(response.end(), cookie.begin(), cookie.end());
    }
    response.insert(response.end(), EndOfMessage.begin(), EndOfMessage.end());
    const NtsKeResponse parsed = ParseNtsKeResponse(response);
    ASSERT_EQ(parsed.cookies.size(), 8U);
    EXPECT_EQ(parsed.cookies.back(), Bytes(32, 7));
}

} // namespace
} // namespace chronavel
