// The pump and the message box: socket events wait for the pump, the pump
// sleeps to the second when idle, and closing abandons whatever waits.
#include "platform/win32/Win32EventPump.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/win32/Win32MessageBox.h"
#include "platform/win32/Win32MonotonicClock.h"
#include "platform/win32/Win32UdpSocket.h"
#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/platform/win32/MessageBoxCloser.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using namespace std::chrono_literals;

class Win32EventPumpTest : public ::testing::Test {
protected:
    DeferredEvents deferred;
    Win32EventPump pump{deferred};
    Win32MessageBox messageBox{"Chronavel"};
    Win32MonotonicClock clock;
    Win32UdpSocketFactory sockets{deferred, clock};
};

TEST_F(Win32EventPumpTest, ASocketEventWaitsOutAMessageBoxForThePump)
{
    RecordingSocketEvents events;
    const std::unique_ptr<IUdpSocket> socket = sockets.CreateSocket(events);
    socket->Protocol(IUdpSocket::ProtocolUdp);
    socket->RemotePort(AnsweringSntpPort());
    socket->RemoteHost("127.0.0.1");
    socket->Bind(0);
    socket->SendData(std::vector<std::uint8_t>(48, 0x1B));

    // The reply comes within a millisecond; the box stays up far longer.
    std::size_t eventsWhileOpen = 99;
    {
        MessageBoxCloser user(300ms, [&] { eventsWhileOpen = events.events.size(); });
        messageBox.Show("P4", {});
        ASSERT_EQ(user.boxes.size(), 1U) << "the box was never up";
    }
    const MonotonicTime boxClosedAt = clock.Now();
    EXPECT_EQ(eventsWhileOpen, 0U);
    EXPECT_TRUE(events.events.empty());

    pump.DeliverPending();
    ASSERT_EQ(events.events.size(), 1U);
    EXPECT_FALSE(events.events[0].isError) << events.events[0].description;
    std::vector<std::uint8_t> reply;
    EXPECT_LT(socket->GetData(reply), boxClosedAt) << "its arrival was noted while the box was up";
}

TEST_F(Win32EventPumpTest, DoEventsWithNothingToDoSleepsToTheNextSecond)
{
    // A pump that spun would be called thousands of times in two seconds;
    // one that slept past a second boundary, once.
    const int calls = PumpUntil(
        pump, [] { return false; }, 2s);
    EXPECT_GE(calls, 2);
    EXPECT_LE(calls, 8);
}

TEST_F(Win32EventPumpTest, DeliverPendingNeverWaits)
{
    SystemWallClock wallClock;
    const std::chrono::sys_seconds end = wallClock.Now() + 1s;
    int calls = 0;
    for (; wallClock.Now() < end; ++calls) {
        pump.DeliverPending();
    }
    EXPECT_GT(calls, 100);
}

TEST_F(Win32EventPumpTest, OnceQuitIsPostedEachCallAbandonsTheRequestAndLeavesItForTheMainLoop)
{
    PostQuitMessage(7);
    EXPECT_THROW(pump.DoEvents(), RequestAbandoned);
    EXPECT_THROW(pump.DeliverPending(), RequestAbandoned);
    EXPECT_THROW(messageBox.Show("P1", {}), RequestAbandoned);

    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7U);
}

// The quit message comes from a handler the pump's own pass runs, as when
// the main window is closed during the wait: the pass meets it in the queue.
TEST_F(Win32EventPumpTest, AQuitPostedDuringThePassAbandonsTheRequest)
{
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(3); });
    EXPECT_THROW(PumpUntil(
                     pump, [] { return false; }, 3s),
                 RequestAbandoned);
    KillTimer(nullptr, timer);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 3U);
}

struct BoxCase {
    const char* name;
    const char* prompt;
    const char* title;
    const char* caption;
};

class Boxes : public Win32EventPumpTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(Boxes, ShowThePromptUnderTheTitleWithOnlyAnOkButton)
{
    MessageBoxCloser user;
    messageBox.Show(GetParam().prompt, GetParam().title);

    ASSERT_EQ(user.boxes.size(), 1U);
    EXPECT_EQ(user.boxes[0].text, GetParam().prompt);
    EXPECT_EQ(user.boxes[0].caption, GetParam().caption);
    EXPECT_TRUE(user.boxes[0].hasOk);
    EXPECT_FALSE(user.boxes[0].hasCancel);
}

INSTANTIATE_TEST_SUITE_P(Titles, Boxes,
                         ::testing::Values(BoxCase{"EmptyTitleIsTheApplications", "P1", "", "Chronavel"},
                                           BoxCase{"ErrorTitle", "Error: Timeout", "Error Validating Time",
                                                   "Error Validating Time"},
                                           BoxCase{"Utf8BothWays", "Zo\xC3\xAB \xE2\x80\x94 12:30",
                                                   "Montr\xC3\xA9"
                                                   "al",
                                                   "Montr\xC3\xA9"
                                                   "al"}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace chronavel
