// The monotonic clock reads the system's clock that goes on counting while the
// computer sleeps, and its instants mix with no other clock's.
#include "platform/linux/BootTimeClock.h"

#include <ctime>

#include <gtest/gtest.h>

#include <type_traits>

namespace chronavel {
namespace {

using std::chrono::steady_clock;
using std::chrono::system_clock;

template <typename Later, typename Earlier>
concept Subtractable = requires(Later later, Earlier earlier)
{
    later - earlier;
};

static_assert(!std::is_convertible_v<steady_clock::time_point, MonotonicTime>);
static_assert(!std::is_convertible_v<system_clock::time_point, MonotonicTime>);
static_assert(!Subtractable<MonotonicTime, steady_clock::time_point>);
static_assert(!Subtractable<steady_clock::time_point, MonotonicTime>);

// Run also where CLOCK_BOOTTIME is a day ahead of CLOCK_MONOTONIC, as after a
// day asleep (tests/platform/CMakeLists.txt).
MonotonicTime ReadSleepCountingClock()
{
    timespec now{};
    EXPECT_EQ(clock_gettime(CLOCK_BOOTTIME, &now), 0);
    return MonotonicTime{std::chrono::seconds{now.tv_sec} + std::chrono::nanoseconds{now.tv_nsec}};
}

TEST(MonotonicClock, ReadsTheClockThatCountsSleep)
{
    BootTimeClock clock;
    const MonotonicTime before = ReadSleepCountingClock();
    const MonotonicTime now = clock.Now();
    const MonotonicTime after = ReadSleepCountingClock();
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

} // namespace
} // namespace chronavel
