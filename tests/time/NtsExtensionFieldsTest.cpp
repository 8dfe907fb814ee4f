// The authenticated request, and which replies to it carry a time.
#include "nts/ExtensionFields.h"

#include "tests/support/ChecksumAead.h"
#include "tests/support/NtsServerReply.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

using testing::AppendAuthenticator;
using testing::AppendExtensionField;
using testing::Bytes;
using testing::ChecksumAead;
using testing::MakeSntpReply;
using testing::SntpReplyFields;

std::uint16_t Read16(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t size)
{
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

const NtsRequestNonces Nonces{
    .nonce = {0x01234567, 0x89ABCDEF},
    .uniqueId = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F,
                 1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,   16},
    .aeadNonce = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF},
};
const NtsKeys Keys{.clientToServer = {0xC2}, .serverToClient = {0x2C}};

TEST(NtsRequest, CarriesTheIdCookieAndAnAuthenticatorOverAllBeforeIt)
{
    // Cookies of any length: padded to words, and the field to 16 bytes at least.
    for (const std::size_t cookieSize : {std::size_t{4}, std::size_t{70}, std::size_t{100}}) {
        SCOPED_TRACE(cookieSize);
        const Bytes cookie(cookieSize, 0xC0);
        ChecksumAead aead;
        const Bytes request = BuildNtsRequest(Nonces, cookie, Keys.clientToServer, aead);

        EXPECT_EQ(request[0], 0x23); // leap 0, version 4, client
        EXPECT_EQ(Slice(request, 40, 8), (Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));

        EXPECT_EQ(Read16(request, 48), 0x0104);
        EXPECT_EQ(Read16(request, 50), 36);
        EXPECT_EQ(Slice(request, 52, 32), Bytes(Nonces.uniqueId.begin(), Nonces.uniqueId.end()));

        const std::size_t cookieField = 84;
        const std::size_t cookieFieldSize = std::max<std::size_t>(16, 4 + (cookieSize + 3) / 4 * 4);
        EXPECT_EQ(Read16(request, cookieField), 0x0204);
        EXPECT_EQ(Read16(request, cookieField + 2), cookieFieldSize);
        EXPECT_EQ(Slice(request, cookieField + 4, cookieSize), cookie);
        EXPECT_EQ(Slice(request, cookieField + 4 + cookieSize, cookieFieldSize - 4 - cookieSize),
                  Bytes(cookieFieldSize - 4 - cookieSize, 0));

        const std::size_t authenticator = cookieField + cookieFieldSize;
        ASSERT_EQ(request.size(), authenticator + 40);
        EXPECT_EQ(Slice(request, authenticator, 8), (Bytes{0x04, 0x04, 0x00, 40, 0x00, 16, 0x00, 16}));
        const Bytes nonce = Slice(request, authenticator + 8, 16);
        EXPECT_EQ(nonce, Bytes(Nonces.aeadNonce.begin(), Nonces.aeadNonce.end()));

        // What the server does: open with the client-to-server key over every byte before.
        const Bytes sealed = Slice(request, authenticator + 24, 16);
        const Bytes before = Slice(request, 0, authenticator);
        EXPECT_EQ(aead.Open(Keys.clientToServer, nonce, before, sealed), Bytes{});
        EXPECT_EQ(aead.Open(Keys.serverToClient, nonce, before, sealed), std::nullopt);
    }
}

constexpr std::uint32_t TransmitSeconds = 0xEEC22BDE;
const SntpReplyFields Header{
    .transmitSeconds = TransmitSeconds, .transmitFraction = 0x80000000, .originate = 0x0123456789ABCDEF, .version = 4};

Bytes Fields(Bytes packet, std::initializer_list<std::pair<std::uint16_t, Bytes>> fields)
{
    for (const auto& [type, body] : fields) {
        AppendExtensionField(packet, type, body);
    }
    return packet;
}

const Bytes OurId(Nonces.uniqueId.begin(), Nonces.uniqueId.end());

Bytes Authenticated(Bytes packet, const NtsKey& key = Keys.serverToClient, const Bytes& hidden = {})
{
    AppendAuthenticator(packet, key, hidden);
    return packet;
}

// A server's reply: NTPv4, our identifier, the authenticator.
Bytes Reply(SntpReplyFields header = Header, const Bytes& id = OurId)
{
    return Authenticated(Fields(MakeSntpReply(header), {{testing::UniqueIdentifierField, id}}));
}

Bytes Nak(SntpReplyFields header = Header, const Bytes& id = OurId, std::string_view kiss = "NTSN")
{
    header.stratum = 0;
    Bytes packet = MakeSntpReply(header);
    std::copy(kiss.begin(), kiss.end(), packet.begin() + 12);
    return Fields(packet, {{testing::UniqueIdentifierField, id}});
}

SntpReplyFields With(SntpReplyFields fields, auto change)
{
    change(fields);
    return fields;
}

Bytes AnotherId()
{
    Bytes id = OurId;
    id.back() ^= 1;
    return id;
}

struct ReplyCase {
    const char* name;
    Bytes datagram;
    NtsReplyStatus status;
};

class NtsReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(NtsReplies, CarryATimeOnlyWhenAuthenticatedAndOurs)
{
    const ReplyCase& c = GetParam();
    ChecksumAead aead;
    const NtsReply reply = ReadNtsReply(c.datagram, Nonces, Keys.serverToClient, aead);
    EXPECT_EQ(reply.status, c.status);
    if (c.status == NtsReplyStatus::Usable) {
        EXPECT_EQ(reply.times.transmitted, ToUtcTime({TransmitSeconds, 0x80000000}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NtsReplies,
    ::testing::Values(
        ReplyCase{"Authenticated", Reply(), NtsReplyStatus::Usable},
        ReplyCase{"NewCookiesInside",
                  Authenticated(Fields(MakeSntpReply(Header), {{testing::UniqueIdentifierField, OurId}}),
                                Keys.serverToClient, Fields({}, {{testing::NtsCookieField, Bytes(100, 0xC0)}})),
                  NtsReplyStatus::Usable},
        ReplyCase{"UnknownFieldBeforeAuthenticator",
                  Authenticated(Fields(MakeSntpReply(Header),
                                       {{0x7777, Bytes(20, 1)}, {testing::UniqueIdentifierField, OurId}})),
                  NtsReplyStatus::Usable},
        ReplyCase{"Nak", Nak(), NtsReplyStatus::Nak},
        // What anyone on the path can send.
        ReplyCase{"PlainSntpEchoingTheNonce", MakeSntpReply(Header), NtsReplyStatus::Invalid},
        ReplyCase{"OurIdWithoutAuthenticator", Fields(MakeSntpReply(Header), {{testing::UniqueIdentifierField, OurId}}),
                  NtsReplyStatus::Invalid},
        ReplyCase{"SealedWithTheClientsKey",
                  Authenticated(Fields(MakeSntpReply(Header), {{testing::UniqueIdentifierField, OurId}}),
                                Keys.clientToServer),
                  NtsReplyStatus::Invalid},
        ReplyCase{"FieldAfterAuthenticator", Fields(Reply(), {{0x7777, Bytes(20, 1)}}), NtsReplyStatus::Invalid},
        ReplyCase{"AnotherRequestsId", Reply(Header, AnotherId()), NtsReplyStatus::Invalid},
        ReplyCase{"NoId", Authenticated(MakeSntpReply(Header)), NtsReplyStatus::Invalid},
        ReplyCase{"SecondIdNotOurs",
                  Authenticated(Fields(MakeSntpReply(Header),
                                       {{testing::UniqueIdentifierField, OurId},
                                        {testing::UniqueIdentifierField, AnotherId()}})),
                  NtsReplyStatus::Invalid},
        // Authenticated, but not an answer to this request, or one without a time.
        ReplyCase{"AnotherOriginate", Reply(With(Header, [](auto& f) { f.originate ^= 1; })), NtsReplyStatus::Invalid},
        ReplyCase{"NotSynchronised", Reply(With(Header, [](auto& f) { f.leap = 3; })), NtsReplyStatus::NoTime},
        ReplyCase{"KissRate", Nak(Header, OurId, "RATE"), NtsReplyStatus::Invalid},
        ReplyCase{"NakForAnotherId", Nak(Header, AnotherId()), NtsReplyStatus::Invalid},
        ReplyCase{"NakForAnotherOriginate", Nak(With(Header, [](auto& f) { f.originate ^= 1; })),
                  NtsReplyStatus::Invalid},
        ReplyCase{"NakWithoutId", Slice(Nak(), 0, 48), NtsReplyStatus::Invalid},
        ReplyCase{"Short", Bytes(47, 0), NtsReplyStatus::Invalid}),
    [](const auto& param) { return std::string(param.param.name); });

// After chrony's tests: no changed or missing byte leaves a usable reply.
TEST(NtsReplyCorruption, AnyFlippedBitOrCutMakesItUnusable)
{
    const Bytes good = Authenticated(Fields(MakeSntpReply(Header), {{testing::UniqueIdentifierField, OurId}}),
                                     Keys.serverToClient, Fields({}, {{testing::NtsCookieField, Bytes(40, 0xC0)}}));
    ChecksumAead aead;
    ASSERT_EQ(ReadNtsReply(good, Nonces, Keys.serverToClient, aead).status, NtsReplyStatus::Usable);
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes corrupt = good;
            corrupt[i] ^= static_cast<std::uint8_t>(1 << bit);
            ASSERT_EQ(ReadNtsReply(corrupt, Nonces, Keys.serverToClient, aead).status, NtsReplyStatus::Invalid)
                << "byte " << i << " bit " << bit;
        }
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(i));
        ASSERT_EQ(ReadNtsReply(cut, Nonces, Keys.serverToClient, aead).status, NtsReplyStatus::Invalid)
            << "cut to " << i;
    }
}

} // namespace
} // namespace chronavel
