// With nothing to deliver the pump sleeps, but never past the wall clock's
// next second, which the wait for the server counts.
#include "platform/qt/QtEventPump.h"

#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/qt/ShutdownWatch.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace chronavel {
namespace {

TEST(QtEventPump, IdleDoEventsWakesByTheNextSecond)
{
    ShutdownWatch shutdown;
    DeferredEvents deferred;
    QtEventPump pump(deferred, shutdown);
    SystemWallClock clock;
    // Wakes a pump that would otherwise sleep for ever, late enough to show.
    QTimer lateWake;
    lateWake.setSingleShot(true);
    lateWake.start(2500);
    QCoreApplication::processEvents(); // what start-up left, which would wake it at once

    const std::chrono::sys_seconds before = clock.Now();
    pump.DoEvents();
    EXPECT_LE(clock.Now(), before + std::chrono::seconds{1});
}

} // namespace
} // namespace chronavel
