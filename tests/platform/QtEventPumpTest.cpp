// With nothing to deliver the pump sleeps, but never past the wall clock's
// next second, which the wait for the server counts.
#include "platform/qt/QtEventPump.h"

#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/qt/ShutdownWatch.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>

namespace chronavel {
namespace {

std::chrono::nanoseconds ThreadCpuTime()
{
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return std::chrono::seconds{used.tv_sec} + std::chrono::nanoseconds{used.tv_nsec};
}

// Pumped as the request's wait pumps it, for two seconds of wall clock.
TEST(QtEventPump, IdleWaitSleepsYetWakesEachSecond)
{
    ShutdownWatch shutdown;
    DeferredEvents deferred;
    QtEventPump pump(deferred, shutdown);
    SystemWallClock clock;
    // Ends a pump that would otherwise sleep for ever, late enough to show.
    QTimer lateWake;
    lateWake.setSingleShot(true);
    lateWake.start(3500);
    QCoreApplication::processEvents(); // what start-up left, which would wake it at once

    const std::chrono::nanoseconds cpuBefore = ThreadCpuTime();
    const std::chrono::sys_seconds start = clock.Now();
    while (clock.Now() - start < std::chrono::seconds{2}) {
        const std::chrono::sys_seconds before = clock.Now();
        pump.DoEvents();
        EXPECT_LE(clock.Now(), before + std::chrono::seconds{1});
    }
    // A pump that spins takes the whole two seconds.
    EXPECT_LT(ThreadCpuTime() - cpuBefore, std::chrono::milliseconds{200});
}

} // namespace
} // namespace chronavel
