// The key exchange's window, which only its own thread's message should reach.
#include "platform/win32/Win32TlsKeyExchange.h"

#include "platform/common/DeferredEvents.h"
#include "platform/win32/Win32EventPump.h"
#include "tests/platform/win32/LoopbackPeers.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using namespace std::chrono_literals;

// One outcome (the refused connection's), however many finished messages come.
TEST(Win32TlsKeyExchange, AFinishedMessageWithNoOutcomeStoredIsIgnored)
{
    DeferredEvents deferred;
    Win32EventPump pump{deferred};
    Win32TlsKeyExchangeFactory exchanges(deferred, {});
    TlsKeyExchangeRequest request{.host = "127.0.0.1", .port = ClosedTcpPort(), .alpn = "ntske/1"};
    request.timeLimit = 5s;
    int outcomes = 0;
    const auto exchange = exchanges.Start(std::move(request), [&](TlsKeyExchangeOutcome) { ++outcomes; });
    PumpUntil(
        pump, [&] { return outcomes > 0; }, 5s);
    ASSERT_EQ(outcomes, 1);

    SendMessageW(FindWindowExW(HWND_MESSAGE, nullptr, Win32TlsKeyExchange::WindowClassName, nullptr),
                 Win32TlsKeyExchange::FinishedMessage, 0, 0);
    pump.DeliverPending();
    EXPECT_EQ(outcomes, 1);
}

} // namespace
} // namespace chronavel
