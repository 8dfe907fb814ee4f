// Reading server replies: which datagrams carry a time, and what time.
#include "sntp/NtpPacket.h"

#include "tests/support/SntpReply.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace chronavel {
namespace {

using testing::Bytes;
using testing::MakeSntpReply;
using testing::SntpReplyFields;
using testing::ToNtpTimestamp;

constexpr NtpTimestamp Nonce{0x01234567, 0x89ABCDEF};
constexpr std::uint64_t NonceBits = 0x0123456789ABCDEF;

TEST(NtpRequest, IsVersion3ClientModeCarryingTheNonce)
{
    const NtpPacket request = BuildRequest(Nonce);
    EXPECT_EQ(request[0], 0x1B);
    for (std::size_t i = 1; i < 40; ++i) {
        EXPECT_EQ(request[i], 0) << "byte " << i;
    }
    const Bytes nonceBytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(Bytes(request.begin() + 40, request.end()), nonceBytes);
}

struct DecodeCase {
    const char* name;
    NtpTimestamp timestamp;
    const char* utc; // to the nanosecond
};

std::string Iso(UtcTime instant)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss clock{instant - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld.%09lld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(clock.hours().count()), static_cast<long long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()), static_cast<long long>(clock.subseconds().count()));
    return text;
}

class TimestampDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(TimestampDecoding, GivesTheInstantAndEncodesBack)
{
    const DecodeCase& c = GetParam();
    const UtcTime instant = ToUtcTime(c.timestamp);
    EXPECT_EQ(Iso(instant), c.utc);
    const NtpTimestamp back = ToNtpTimestamp(instant);
    EXPECT_EQ(back.seconds, c.timestamp.seconds);
    // A nanosecond is about four units of 2^-32 s.
    EXPECT_NEAR(back.fraction, c.timestamp.fraction, 3.0);
}

INSTANTIATE_TEST_SUITE_P(Timestamps, TimestampDecoding,
                         ::testing::Values(
                             // Top bit set: every date from 1968-01-20 to 2036, read as unsigned.
                             DecodeCase{"Era0", {0xEEC22BDE, 0}, "2026-12-08 07:10:22.000000000"},
                             DecodeCase{"Era0Start", {0x80000000, 0}, "1968-01-20 03:14:08.000000000"},
                             DecodeCase{"LastSecondOfEra0", {0xFFFFFFFF, 0}, "2036-02-07 06:28:15.000000000"},
                             // The whole fraction counts, not only its top bit.
                             DecodeCase{"HalfSecond", {0xEEC22BDE, 0x80000000}, "2026-12-08 07:10:22.500000000"},
                             DecodeCase{"JustUnderHalf", {0xEEC22BDE, 0x7FFFFFFF}, "2026-12-08 07:10:22.499999999"},
                             DecodeCase{"Quarter", {0xEEC22BDE, 0x40000000}, "2026-12-08 07:10:22.250000000"},
                             DecodeCase{
                                 "AlmostAWholeSecond", {0xEEC22BDE, 0xFFFFFF00}, "2026-12-08 07:10:22.999999940"},
                             // After 2036-02-07 06:28:16 the count wraps into era 1.
                             DecodeCase{"Era1Start", {0x00000000, 0x80000000}, "2036-02-07 06:28:16.500000000"},
                             DecodeCase{"LatestEra1", {0x7FFFFFFF, 0}, "2104-02-26 09:42:23.000000000"},
                             // The last fraction of the era's last second stays inside it.
                             DecodeCase{"EndOfEra1", {0x7FFFFFFF, 0xFFFFFFFF}, "2104-02-26 09:42:23.999999999"}),
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

const SntpReplyFields Healthy{.transmitSeconds = 0xEEC22BDE, .transmitFraction = 0x12345678, .originate = NonceBits};

class ReplyValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(ReplyValidity, OnlyTheServersAnswerToOurRequestIsUsable)
{
    const ValidityCase& c = GetParam();
    EXPECT_EQ(IsUsableReply(c.datagram, Nonce), c.usable);
}

SntpReplyFields With(SntpReplyFields fields, auto change)
{
    change(fields);
    return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyValidity,
    ::testing::Values(ValidityCase{"Healthy", MakeSntpReply(Healthy), true},
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
                      ValidityCase{"NoOriginate", MakeSntpReply(With(Healthy, [](auto& f) { f.originate = 0; })),
                                   false},
                      ValidityCase{"OriginateOfAnotherRequest",
                                   MakeSntpReply(With(Healthy, [](auto& f) { f.originate ^= 1; })), false},
                      ValidityCase{"ZeroTransmitTime",
                                   MakeSntpReply(With(Healthy,
                                                      [](auto& f) {
                                                          f.transmitSeconds = 0;
                                                          f.transmitFraction = 0;
                                                      })),
                                   false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReplyBytes, GiveTheServersTimesAndIgnoreWhatFollowsThe48th)
{
    SntpReplyFields fields = Healthy;
    fields.receiveSeconds = 0xEEC22BDD;
    fields.receiveFraction = 0xC0000000;
    Bytes reply = MakeSntpReply(fields);
    reply.resize(100, 0xFF);

    const std::optional<ServerTimes> times = ReadReply(reply, Nonce);
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(Iso(times->received), "2026-12-08 07:10:21.750000000");
    EXPECT_EQ(times->transmitted, ToUtcTime({0xEEC22BDE, 0x12345678}));
}

} // namespace
} // namespace chronavel
