// Reading server replies: which datagrams carry a time, and what time.
#include "sntp/NtpPacket.h"

#include "tests/support/LoopbackSntpServer.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

using testing::Bytes;
using testing::MakeSntpReply;
using testing::SntpReplyFields;

TEST(NtpRequest, IsVersion3ClientModeWithEveryOtherByteZero)
{
    const NtpPacket request = BuildRequest();
    EXPECT_EQ(request[0], 0x1B);
    for (std::size_t i = 1; i < request.size(); ++i) {
        EXPECT_EQ(request[i], 0) << "byte " << i;
    }
}

struct DecodeCase {
    const char* name;
    std::uint32_t seconds;
    std::uint32_t fraction;
    double expected;
};

class TransmitTimeDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(TransmitTimeDecoding, GivesSecondsSince1900)
{
    const DecodeCase& c = GetParam();
    const Bytes reply = MakeSntpReply({.transmitSeconds = c.seconds, .transmitFraction = c.fraction});
    EXPECT_EQ(ReadReply(reply), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TransmitTimeDecoding,
    ::testing::Values(
        // Top bit set (every date from 1968-01-20 to 2036): read as unsigned.
        DecodeCase{"TopBitSetStaysPositive", 0xEEC22BDE, 0, 4005702622.0},
        DecodeCase{"EraStart", 0x80000000, 0, 2147483648.0},
        DecodeCase{"LastSecondOfEra0", 0xFFFFFFFF, 0, 4294967295.0},
        // Only the fraction's top bit counts.
        DecodeCase{"HalfSecondAddsExactlyHalf", 0xEEC22BDE, 0x80000000, 4005702622.5},
        DecodeCase{"AlmostAllOfASecondAddsHalf", 0xEEC22BDE, 0xFFFFFFFF, 4005702622.5},
        DecodeCase{"JustUnderHalfAddsNothing", 0xEEC22BDE, 0x7FFFFFFF, 4005702622.0},
        // After 2036-02-07 06:28:16 the count wraps into era 1.
        DecodeCase{"Era1StartsAt2To32", 0x00000000, 0x80000000, 4294967296.5},
        DecodeCase{"Era1", 0x00000100, 0, 4294967552.0},
        DecodeCase{"LatestEra1", 0x7FFFFFFF, 0, 6442450943.0}),
    [](const auto& param) { return std::string(param.param.name); });

struct ValidityCase {
    const char* name;
    Bytes datagram;
    bool usable;
};

Bytes Resized(Bytes bytes, std::size_t size)
{
    bytes.resize(size, 0xAB);
    return bytes;
}

const SntpReplyFields Healthy{.transmitSeconds = 0xEEC22BDE, .transmitFraction = 0x12345678};

class ReplyValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(ReplyValidity, OnlyAServersTimeIsUsable)
{
    const ValidityCase& c = GetParam();
    EXPECT_EQ(IsUsableReply(c.datagram), c.usable);
    EXPECT_EQ(ReadReply(c.datagram).has_value(), c.usable);
}

SntpReplyFields With(SntpReplyFields fields, auto change)
{
    change(fields);
    return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyValidity,
    ::testing::Values(
        ValidityCase{"Healthy", MakeSntpReply(Healthy), true},
        ValidityCase{"Version4", MakeSntpReply(With(Healthy, [](auto& f) { f.version = 4; })), true},
        ValidityCase{"LeapSecondAhead", MakeSntpReply(With(Healthy, [](auto& f) { f.leap = 1; })), true},
        ValidityCase{"Stratum15", MakeSntpReply(With(Healthy, [](auto& f) { f.stratum = 15; })), true},
        ValidityCase{"LongerThan48", Resized(MakeSntpReply(Healthy), 68), true},
        ValidityCase{"Empty", Bytes{}, false},
        ValidityCase{"OneByteShort", Resized(MakeSntpReply(Healthy), 47), false},
        ValidityCase{"ClientMode", MakeSntpReply(With(Healthy, [](auto& f) { f.mode = 3; })), false},
        ValidityCase{"BroadcastMode", MakeSntpReply(With(Healthy, [](auto& f) { f.mode = 5; })), false},
        ValidityCase{"KissOfDeath", MakeSntpReply(With(Healthy, [](auto& f) { f.stratum = 0; })), false},
        ValidityCase{"Stratum16", MakeSntpReply(With(Healthy, [](auto& f) { f.stratum = 16; })), false},
        ValidityCase{"NotSynchronised", MakeSntpReply(With(Healthy, [](auto& f) { f.leap = 3; })), false},
        ValidityCase{"ZeroTransmitTime", MakeSntpReply(With(Healthy, [](auto& f) {
                         f.transmitSeconds = 0;
                         f.transmitFraction = 0;
                     })),
                     false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReplyBytes, BeyondTheFirst48AreIgnored)
{
    Bytes reply = MakeSntpReply(Healthy);
    reply.resize(100, 0xFF);
    EXPECT_EQ(ReadReply(reply), ReadReply(MakeSntpReply(Healthy)));
}

} // namespace
} // namespace chronavel
