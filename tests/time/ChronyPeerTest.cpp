// Our client against a real NTP server: chronyd, on loopback, with control
// of the system clock disabled.
#include "time/clsCheckTime.h"

#include "tests/support/ChronyServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/ScriptedHttpClient.h"

#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

namespace chronavel {
namespace {

using namespace chronavel::testing;

TEST(ChronyPeer, ItsTimeIsDecodedWithinTwoSecondsOfTheSystemClock)
{
    ChronyServer chrony;

    // chronyd needs a moment before it serves; ask until it does.
    ScriptedHttpClientFactory http{UtcZoneResponse};
    std::string result;
    std::string requestedTimestamp;
    long long systemNow = 0;
    for (int attempt = 0; attempt < 20 && requestedTimestamp.empty(); ++attempt) {
        QtTestPlatform platform(&http);
        clsCheckTime check(platform.platform,
                           Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = chrony.ntpPort()});
        result = check.GetRealTime("ON");
        systemNow
            = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count();
        if (!http.requests.empty()) {
            std::smatch match;
            const std::string url = http.requests.back().url;
            if (std::regex_search(url, match, std::regex("timestamp=(-?[0-9]+)"))) {
                requestedTimestamp = match[1];
            }
        } else {
            QThread::msleep(250);
        }
    }

    ASSERT_FALSE(requestedTimestamp.empty()) << "last result: " << result;
    EXPECT_NEAR(static_cast<double>(std::stoll(requestedTimestamp)), static_cast<double>(systemNow), 2.0);
    EXPECT_THAT(result, ::testing::Not(::testing::StartsWith("Error")));
}

} // namespace
} // namespace chronavel
