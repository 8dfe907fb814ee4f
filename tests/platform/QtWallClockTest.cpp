// The wall clock the wait is counted on.
#include "platform/qt/QtWallClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace chronavel {
namespace {

// In UTC, so that the end of a wait never moves when daylight saving time
// begins or ends; a zone three and a half hours from UTC makes a local count show.
TEST(QtWallClock, CountsUtcSecondsWhateverTheZone)
{
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "America/St_Johns", 1);
    tzset();

    const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::chrono::sys_seconds now = QtWallClock().Now();
    const auto after = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());

    saved != nullptr ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
    tzset();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

} // namespace
} // namespace chronavel
