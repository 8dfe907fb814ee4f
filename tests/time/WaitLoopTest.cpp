// The wait for the server, on a scripted wall clock and a scripted socket.
#include "time/clsCheckTime.h"

#include "tests/support/ScriptedPlatform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::ElementsAre;

class WaitLoop : public ::testing::Test, protected ScriptedPlatform {
protected:
    std::string Request()
    {
        check = std::make_unique<clsCheckTime>(platform,
                                               Endpoints{.ntsServer = "", .ntpHost = "time.example", .ntpPort = 123});
        return check->GetRealTime("ON");
    }

    // Runs the hook when the pump is called for the given time.
    void AtPumpCall(int call, std::function<void()> hook)
    {
        pump.onCall = [call, hook = std::move(hook)](int n) {
            if (n == call) {
                hook();
            }
        };
    }

    std::unique_ptr<clsCheckTime> check;
};

TEST_F(WaitLoop, SendsTheRequestWithItsNonceToTheConfiguredServer)
{
    random.value = 0xF00DFACE0BADCAFE;
    Request();

    Bytes expected(40, 0);
    expected[0] = 0x1B;
    expected.insert(expected.end(), {0xF0, 0x0D, 0xFA, 0xCE, 0x0B, 0xAD, 0xCA, 0xFE});
    EXPECT_EQ(sockets.socket->sent, expected);
    // The datagram can only go where the socket was pointed before it was sent.
    const auto& calls = sockets.socket->calls;
    const auto sendData = std::find(calls.begin(), calls.end(), "SendData 48");
    EXPECT_NE(std::find(calls.begin(), sendData, "RemoteHost time.example"), sendData);
    EXPECT_NE(std::find(calls.begin(), sendData, "RemotePort 123"), sendData);
}

TEST_F(WaitLoop, SilenceEndsAfterTenSecondsWithTheSocketClosed)
{
    EXPECT_EQ(Request(), "Error: Timeout");
    EXPECT_EQ(pump.calls, 10);
    EXPECT_EQ(sockets.socket->State(), IUdpSocket::StateClosed);
    EXPECT_THAT(messageBox.Prompts(), ElementsAre("P1", "P2", "P3"));
}

struct ClockChange {
    const char* name;
    int atCall;
    std::int64_t by;
    int pumpCalls;
};

class WallClockChanges : public WaitLoop, public ::testing::WithParamInterface<ClockChange> {};

TEST_P(WallClockChanges, MoveTheEndOfTheWait)
{
    const ClockChange& c = GetParam();
    AtPumpCall(c.atCall, [this, by = c.by] { clock.now += std::chrono::seconds{by}; });

    EXPECT_EQ(Request(), "Error: Timeout");
    EXPECT_EQ(pump.calls, c.pumpCalls);
}

INSTANTIATE_TEST_SUITE_P(Clock, WallClockChanges,
                         ::testing::Values(ClockChange{"SetBackLengthensTheWait", 4, -5, 15},
                                           ClockChange{"SetBackAnHour", 2, -3600, 3610},
                                           ClockChange{"ForwardTenEndsAtTheNextTest", 1, 10, 1},
                                           ClockChange{"ForwardAnHourEndsAtTheNextTest", 5, 3600, 5},
                                           ClockChange{"ForwardLessShortensTheWait", 1, 8, 2}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(WaitLoop, ReplyDuringTheWaitEndsItAtTheNextTest)
{
    ReplyAtPumpCall(3, {.transmitSeconds = Dec8th2026At071022});

    EXPECT_EQ(Request(), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(pump.calls, 3);
    EXPECT_THAT(sockets.socket->calls, ::testing::Contains("GetData"));
    EXPECT_EQ(sockets.socket->State(), IUdpSocket::StateClosed);
}

TEST_F(WaitLoop, SocketErrorEventEndsTheWaitWithItsDescription)
{
    AtPumpCall(2, [this] { sockets.socket->events.Error(10051, "Network is unreachable"); });

    EXPECT_EQ(Request(), "Error: Network is unreachable");
    EXPECT_EQ(pump.calls, 2);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_THAT(messageBox.Prompts(), ElementsAre("P1", "P2", "P3"));
}

class SynchronousSocketFailures : public WaitLoop, public ::testing::WithParamInterface<const char*> {};

TEST_P(SynchronousSocketFailures, EndTheRequestAtOnceWithTheDescription)
{
    sockets.failingCall = GetParam();

    EXPECT_EQ(Request(), std::string("Error: ") + GetParam() + " failed");
    EXPECT_EQ(pump.calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Calls, SynchronousSocketFailures,
                         ::testing::Values("CreateSocket", "Protocol", "RemotePort", "RemoteHost", "Bind", "SendData"));

class ReadFailures : public WaitLoop, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReadFailures, EndTheRequestWithTheDescription)
{
    sockets.failingCall = GetParam();
    AtPumpCall(1, [this] {
        sockets.socket->received = ReplyTo({.transmitSeconds = Dec8th2026At071022});
        sockets.socket->events.DataArrival(48);
    });

    EXPECT_EQ(Request(), std::string("Error: ") + GetParam() + " failed");
    EXPECT_THAT(messageBox.Prompts(), ElementsAre("P1", "P2", "P3", "P4"));
    EXPECT_TRUE(http.requests.empty());
}

INSTANTIATE_TEST_SUITE_P(Calls, ReadFailures, ::testing::Values("GetData", "Close"));

// The exchange on the monotonic clock: the request leaves, the reply arrives
// a round trip later, then the user reads and dismisses the boxes.
class ExchangeTiming : public WaitLoop {
protected:
    void ReplyAfter(std::chrono::milliseconds roundTrip, std::chrono::milliseconds heldByServer,
                    std::uint32_t transmitFraction = 0)
    {
        AtPumpCall(1, [=, this] {
            const NtpTimestamp transmitted{Dec8th2026At071022, transmitFraction};
            const NtpTimestamp received = ToNtpTimestamp(ToUtcTime(transmitted) - heldByServer);
            sockets.socket->sentAt = monotonic.now - roundTrip;
            sockets.socket->receivedAt = monotonic.now;
            sockets.socket->received = ReplyTo({.transmitSeconds = transmitted.seconds,
                                                .transmitFraction = transmitted.fraction,
                                                .receiveSeconds = received.seconds,
                                                .receiveFraction = received.fraction});
            sockets.socket->events.DataArrival(48);
        });
    }

    void EachBoxTakes(std::chrono::milliseconds reading)
    {
        messageBox.onShow = [this, reading](const std::string&) { monotonic.now += reading; };
    }
};

TEST_F(ExchangeTiming, TheTimeShownIsTheTimeWhenItIsHandedOver)
{
    using namespace std::chrono_literals;
    EachBoxTakes(1500ms);
    ReplyAfter(0ms, 0ms, 0x9999999A); // 07:10:22.6

    // "P4" to "P9" take 9 s after the reply; the service is asked after "P7", 6 s in.
    EXPECT_EQ(Request(), "12/8/2026 7:10:31 AM");
    ASSERT_EQ(http.requests.size(), 1U);
    EXPECT_THAT(http.requests[0].url, ::testing::HasSubstr("&timestamp=1796713828&"));
}

struct RoundTripCase {
    const char* name;
    int roundTripMs;
    int heldByServerMs;
    const char* shown; // the reply left at 07:10:22.0
};

class RoundTrips : public ExchangeTiming, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrips, AddHalfTheDelayToTheServersTime)
{
    const RoundTripCase& c = GetParam();
    ReplyAfter(std::chrono::milliseconds{c.roundTripMs}, std::chrono::milliseconds{c.heldByServerMs});
    EXPECT_EQ(Request(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, RoundTrips,
    ::testing::Values(RoundTripCase{"NoRoundTrip", 0, 0, "12/8/2026 7:10:22 AM"},
                      // 4 s away, 1 s of it at the server: 1.5 s each way.
                      RoundTripCase{"HalfOfTheNetworksShare", 4000, 1000, "12/8/2026 7:10:23 AM"},
                      // The server claims more time than the round trip took: no delay, not a negative one.
                      RoundTripCase{"ServerTimeBeyondTheRoundTrip", 1000, 5000, "12/8/2026 7:10:22 AM"},
                      // A receive time after the transmit time counts as none.
                      RoundTripCase{"ReceivedAfterTransmitted", 4000, -1000, "12/8/2026 7:10:24 AM"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace chronavel
