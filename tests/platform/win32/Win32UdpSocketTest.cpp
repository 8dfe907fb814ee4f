// The Winsock socket against SNTP responders that run as Linux processes on
// loopback: replies, silence, a closed port and a name that does not exist.
#include "platform/win32/Win32UdpSocket.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/Win32ShutdownWatch.h"
#include "platform/win32/Win32WallClock.h"
#include "platform/win32/WinsockSession.h"
#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/support/SntpReply.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace chronavel {
namespace {

using namespace chronavel::testing;
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

    // Pumps as the request's wait does, until an event or the wall clock has
    // moved on by the limit. Returns the number of pump calls.
    int PumpUntilEventOr(std::chrono::seconds limit)
    {
        const std::chrono::sys_seconds end = wallClock.Now() + limit;
        int calls = 0;
        while (events.events.empty() && wallClock.Now() < end) {
            pump.DoEvents();
            ++calls;
        }
        return calls;
    }

    WinsockSession winsock;
    Win32ShutdownWatch shutdown;
    DeferredEvents deferred;
    SocketErrorWatch socketErrors;
    Win32EventPump pump{deferred, socketErrors, shutdown};
    Win32WallClock wallClock;
    Win32MonotonicClock clock;
    Win32UdpSocketFactory sockets{winsock, deferred, socketErrors, clock};
    RecordingSocketEvents events;
    std::unique_ptr<IUdpSocket> socket = sockets.CreateSocket(events);
};

class Replies : public Win32UdpSocketTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Replies, ArriveWholeWithTheInstantTheyReachedTheSocket)
{
    SendRequestTo(GetParam(), AnsweringSntpPort());
    PumpUntilEventOr(std::chrono::seconds{5});

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

INSTANTIATE_TEST_SUITE_P(ByAddressAndByName, Replies, ::testing::Values("127.0.0.1", "localhost"));

TEST_F(Win32UdpSocketTest, AHostNameIsLookedUpWithoutHoldingUpTheCaller)
{
    SendRequestTo("localhost", AnsweringSntpPort());
    EXPECT_EQ(socket->State(), IUdpSocket::StateResolvingHost);
    EXPECT_EQ(socket->SentAt(), MonotonicTime{}) << "nothing leaves before the lookup ends";
}

TEST_F(Win32UdpSocketTest, SilenceBringsNoEventAndEachWaitEndsOnTheSecond)
{
    SendRequestTo("127.0.0.1", SilentSntpPort());
    const int calls = PumpUntilEventOr(std::chrono::seconds{2});

    EXPECT_TRUE(events.events.empty());
    EXPECT_EQ(socket->State(), IUdpSocket::StateConnected);
    // Two seconds of waiting take a pump call or so per second: a pump that
    // spun would make thousands, one that slept on would make one.
    EXPECT_GE(calls, 2);
    EXPECT_LE(calls, 8);
}

TEST_F(Win32UdpSocketTest, AClosedPortIsAnErrorEventPromptly)
{
    SendRequestTo("127.0.0.1", ClosedUdpPort());
    PumpUntilEventOr(std::chrono::seconds{2});

    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_TRUE(events.events[0].isError);
    // Windows says reset on the connected socket; Wine leaves refused in SO_ERROR.
    EXPECT_THAT(events.events[0].number, AnyOf(WSAECONNRESET, WSAECONNREFUSED));
    EXPECT_EQ(events.events[0].description, DescribeSystemError(events.events[0].number));
    EXPECT_EQ(socket->State(), IUdpSocket::StateError);
}

TEST_F(Win32UdpSocketTest, AnUnknownHostIsAnErrorEventWithTheSystemsDescription)
{
    // A label longer than 63 characters is no host name, so the lookup
    // fails here without asking any name server.
    SendRequestTo(std::string(64, 'x') + ".invalid", AnsweringSntpPort());
    EXPECT_EQ(socket->State(), IUdpSocket::StateResolvingHost);
    PumpUntilEventOr(std::chrono::seconds{10});

    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_TRUE(events.events[0].isError);
    EXPECT_NE(events.events[0].number, 0);
    EXPECT_EQ(events.events[0].description, DescribeSystemError(events.events[0].number));
    EXPECT_EQ(socket->State(), IUdpSocket::StateError);
}

TEST_F(Win32UdpSocketTest, APortAlreadyTakenFailsBindWithTheSystemsDescription)
{
    const int taken = ClosedUdpPort();
    RecordingSocketEvents otherEvents;
    const std::unique_ptr<IUdpSocket> holder = sockets.CreateSocket(otherEvents);
    holder->Bind(taken);

    try {
        socket->Bind(taken);
        FAIL() << "a second Bind to port " << taken << " succeeded";
    } catch (const PlatformError& failure) {
        EXPECT_EQ(failure.what(), DescribeSystemError(WSAEADDRINUSE));
    }
}

} // namespace
} // namespace chronavel
