// The wait for the server, on a scripted wall clock and a scripted socket.
#include "time/clsCheckTime.h"

#include "tests/support/FakeUdpSocket.h"
#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedClock.h"
#include "tests/support/ScriptedHttpClient.h"
#include "tests/support/ScriptedJsonParser.h"
#include "tests/support/UsEnglishDateFormatter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::ElementsAre;

class WaitLoop : public ::testing::Test {
protected:
    std::string Request()
    {
        check = std::make_unique<clsCheckTime>(platform, Endpoints{.ntpHost = "time.example", .ntpPort = 123});
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

    RecordingMessageBox messageBox;
    ScriptedClock clock;
    ScriptedMonotonicClock monotonic;
    SecondPerCallPump pump{clock, monotonic};
    FakeUdpSocketFactory sockets;
    ScriptedHttpClientFactory http{UtcZoneResponse};
    ScriptedJsonParserFactory json{UtcZoneResponse, UtcZoneMembers};
    UsEnglishDateFormatter dates;
    Platform platform{messageBox, pump, clock, monotonic, sockets, http, json, dates};
    std::unique_ptr<clsCheckTime> check;
};

TEST_F(WaitLoop, ConfiguresTheSocketInOrderThenSends)
{
    Request();
    EXPECT_THAT(sockets.socket->calls, ElementsAre("Protocol 1", "RemotePort 123", "LocalPort 0",
                                                   "RemoteHost time.example", "Bind 0", "SendData 48", "Close"));
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
    AtPumpCall(3, [this] {
        sockets.socket->received = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
        sockets.socket->events.DataArrival(48);
    });

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
        sockets.socket->received = MakeSntpReply({.transmitSeconds = Dec8th2026At071022});
        sockets.socket->events.DataArrival(48);
    });

    EXPECT_EQ(Request(), std::string("Error: ") + GetParam() + " failed");
    EXPECT_THAT(messageBox.Prompts(), ElementsAre("P1", "P2", "P3", "P4"));
    EXPECT_TRUE(http.requests.empty());
}

INSTANTIATE_TEST_SUITE_P(Calls, ReadFailures, ::testing::Values("GetData", "Close"));

} // namespace
} // namespace chronavel
