// The Winsock socket against SNTP responders on loopback: replies over IPv4
// and IPv6, silence, a closed port and a name that does not exist.
#include "platform/win32/Win32UdpSocket.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/Win32MonotonicClock.h"
#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/support/SntpReply.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using namespace std::chrono_literals;
using ::testing::AnyOf;

// A client request whose transmit timestamp a server echoes as the reply's originate.
const Bytes Request = [] {
    Bytes request(48, 0);
    request[0] = 0x1B;
    const char nonce[] = "nonce-42";
    std::copy_n(nonce, 8, request.begin() + 40);
    return request;
}();

std::uint32_t ReadBigEndian32(const Bytes& bytes, std::size_t offset)
{
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16)
        | (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

class Win32UdpSocketTest : public ::testing::Test {
protected:
    void SendRequestTo(const std::string& host, int port)
    {
        socket->Protocol(IUdpSocket::ProtocolUdp);
        socket->RemotePort(port);
        socket->LocalPort(0);
        socket->RemoteHost(host);
        socket->Bind(0);
        socket->SendData(Request);
    }
    void PumpUntilEventOr(std::chrono::seconds limit)
    {
        PumpUntil(
            pump, [this] { return !events.events.empty(); }, limit);
    }

    DeferredEvents deferred;
    Win32EventPump pump{deferred};
    Win32MonotonicClock clock;
    Win32UdpSocketFactory sockets{deferred, clock};
    RecordingSocketEvents events;
    std::unique_ptr<IUdpSocket> socket = sockets.CreateSocket(events);
    Ipv6SntpResponder ipv6Responder;
};

struct ReplyCase {
    const char* name;
    const char* host;
    bool bOnIpv6Responder;
};

class Replies : public Win32UdpSocketTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(Replies, AreLookedUpWithoutHoldingUpTheCallerAndArriveWholeWithTheirInstant)
{
    SendRequestTo(GetParam().host, GetParam().bOnIpv6Responder ? ipv6Responder.port() : AnsweringSntpPort());
    EXPECT_EQ(socket->State(), IUdpSocket::StateResolvingHost);
    EXPECT_EQ(socket->SentAt(), MonotonicTime{}) << "nothing leaves before the lookup ends";
    PumpUntilEventOr(5s);

    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_FALSE(events.events[0].isError) << events.events[0].description;
    EXPECT_EQ(events.events[0].bytesTotal, 48);
    EXPECT_EQ(socket->State(), IUdpSocket::StateConnected);

    Bytes reply;
    const MonotonicTime arrivedAt = socket->GetData(reply);
    ASSERT_EQ(reply.size(), 48U);
    EXPECT_EQ(ReadBigEndian32(reply, 40), Dec8th2026At071022);
    EXPECT_TRUE(std::equal(reply.begin() + 24, reply.begin() + 32, Request.begin() + 40))
        << "originate echoes our request";
    EXPECT_LT(MonotonicTime{}, socket->SentAt());
    EXPECT_LE(socket->SentAt(), arrivedAt);
    EXPECT_LE(arrivedAt, clock.Now());
    EXPECT_THROW(socket->GetData(reply), PlatformError) << "one datagram, taken once";
}

INSTANTIATE_TEST_SUITE_P(Hosts, Replies,
                         ::testing::Values(ReplyCase{"Ipv4Address", "127.0.0.1", false},
                                           ReplyCase{"Name", "localhost", false},
                                           ReplyCase{"Ipv6Address", "::1", true}),
                         [](const auto& param) { return std::string(param.param.name); });

// Nor does the watch for errors that Wine leaves unreported make one up.
TEST_F(Win32UdpSocketTest, SilenceBringsNoEvent)
{
    SendRequestTo("127.0.0.1", SilentSntpPort());
    PumpUntilEventOr(2s);

    EXPECT_TRUE(events.events.empty());
    EXPECT_EQ(socket->State(), IUdpSocket::StateConnected);
}

// The descriptions are Windows' texts or Wine's.
TEST_F(Win32UdpSocketTest, AClosedPortIsAnErrorEventPromptly)
{
    SendRequestTo("127.0.0.1", ClosedUdpPort());
    PumpUntilEventOr(2s);

    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_TRUE(events.events[0].isError);
    // Windows says reset on the connected socket; Wine leaves refused in SO_ERROR.
    EXPECT_THAT(events.events[0].number, AnyOf(WSAECONNRESET, WSAECONNREFUSED));
    EXPECT_THAT(events.events[0].description,
                AnyOf("An existing connection was forcibly closed by the remote host.", "Connection refused."));
    EXPECT_EQ(socket->State(), IUdpSocket::StateError);
}

TEST_F(Win32UdpSocketTest, AnUnknownHostIsAnErrorEvent)
{
    // A label longer than 63 characters is no host name, so the lookup
    // fails here without asking any name server.
    SendRequestTo(std::string(64, 'x') + ".invalid", AnsweringSntpPort());
    PumpUntilEventOr(10s);

    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_TRUE(events.events[0].isError);
    EXPECT_EQ(events.events[0].number, WSAHOST_NOT_FOUND);
    EXPECT_THAT(events.events[0].description, AnyOf("No such host is known.", "Host not found."));
    EXPECT_EQ(socket->State(), IUdpSocket::StateError);
}

TEST_F(Win32UdpSocketTest, APortAlreadyTakenFailsBind)
{
    const int taken = ClosedUdpPort();
    RecordingSocketEvents otherEvents;
    const std::unique_ptr<IUdpSocket> holder = sockets.CreateSocket(otherEvents);
    holder->Bind(taken);

    try {
        socket->Bind(taken);
        FAIL() << "a second Bind to port " << taken << " succeeded";
    } catch (const PlatformError& failure) {
        // Wine has no text for it.
        EXPECT_THAT(
            std::string(failure.what()),
            AnyOf("Only one usage of each socket address (protocol/network address/port) is normally permitted.",
                  "System error 10048"));
    }
}

} // namespace
} // namespace chronavel
