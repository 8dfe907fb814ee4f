// A whole time request over the composed Windows platform: real boxes,
// pump, clocks, Winsock and the user's locale (en-US here), against the
// loopback SNTP responders; the time zone service is scripted.
#include "platform/win32/Win32Platform.h"

#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/platform/win32/MessageBoxCloser.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedHttpClient.h"
#include "time/clsCheckTime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

struct RequestCase {
    const char* name;
    const char* host;
    int (*port)();
    ::testing::Matcher<std::string> result;
    std::vector<std::string> prompts;
};

class Requests : public ::testing::TestWithParam<RequestCase> {
protected:
    ScriptedHttpClientFactory http{UtcZoneResponse};
    Win32Platform windows{http};
};

TEST_P(Requests, EndInTheLocalTimeOrAnErrorAfterTheirBoxes)
{
    MessageBoxCloser user;
    std::string result;
    {
        clsCheckTime check(windows.platform(),
                           Endpoints{.ntsServer = "", .ntpHost = GetParam().host, .ntpPort = GetParam().port()});
        result = check.GetRealTime("ON");
    }

    EXPECT_THAT(result, GetParam().result);
    std::vector<std::string> prompts;
    for (const MessageBoxCloser::SeenBox& box : user.boxes) {
        prompts.push_back(box.text);
        EXPECT_EQ(box.caption, "Chronavel");
    }
    EXPECT_THAT(prompts, ElementsAreArray(GetParam().prompts));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Requests,
    ::testing::Values(RequestCase{"Reply", "127.0.0.1", AnsweringSntpPort, "12/8/2026 7:10:22 AM", AllCheckpoints},
                      RequestCase{"ReplyByName", "localhost", AnsweringSntpPort, "12/8/2026 7:10:22 AM",
                                  AllCheckpoints},
                      RequestCase{"ClosedPort", "127.0.0.1", ClosedUdpPort, StartsWith("Error: "), {"P1", "P2", "P3"}}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace chronavel
