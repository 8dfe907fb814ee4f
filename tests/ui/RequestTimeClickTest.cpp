// What a click does with an answer, in either window.
#include "ui/RequestTimeClick.h"

#include "platform/PlatformError.h"
#include "tests/support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace chronavel {
namespace {

using testing::RecordingMessageBox;

struct ClickCase {
    const char* name;
    std::function<std::string(const std::string&)> request;
    const char* label; // what reaches the label, or nullptr
    const char* boxed; // the error box's prompt, or nullptr
};

class Clicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(Clicks, SendErrorsToTheBoxAndAnythingElseToTheLabel)
{
    const ClickCase& c = GetParam();
    RecordingMessageBox messageBox;
    std::vector<std::string> labels;
    std::string asked;
    HandleRequestTimeClick(
        [&](const std::string& sProvince) {
            asked = sProvince;
            return c.request(sProvince);
        },
        messageBox, [&](const std::string& text) { labels.push_back(text); });

    EXPECT_EQ(asked, "ON");
    EXPECT_EQ(labels, c.label ? std::vector<std::string>{c.label} : std::vector<std::string>{});
    if (c.boxed) {
        ASSERT_EQ(messageBox.shown.size(), 1U);
        EXPECT_EQ(messageBox.shown[0], (RecordingMessageBox::Shown{c.boxed, "Error Validating Time"}));
    } else {
        EXPECT_TRUE(messageBox.shown.empty());
    }
}

std::function<std::string(const std::string&)> Answer(std::string text)
{
    return [text](const std::string&) { return text; };
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Clicks,
    ::testing::Values(
        ClickCase{"Time", Answer("12/8/2026 2:10:22 AM"), "12/8/2026 2:10:22 AM", nullptr},
        ClickCase{"Timeout", Answer("Error: Timeout"), nullptr, "Error: Timeout"},
        ClickCase{"FiveLettersAlone", Answer("Error"), nullptr, "Error"},
        ClickCase{"AnythingAfterError", Answer("Errorless"), nullptr, "Errorless"},
        ClickCase{"OtherCase", Answer("error: timeout"), "error: timeout", nullptr},
        ClickCase{"LeadingSpace", Answer(" Error: Timeout"), " Error: Timeout", nullptr},
        ClickCase{"Shorter", Answer("Err"), "Err", nullptr}, ClickCase{"Empty", Answer(""), "", nullptr},
        ClickCase{"Failure", [](const std::string&) -> std::string { throw std::runtime_error("out of memory"); },
                  nullptr, "Error: out of memory"},
        ClickCase{"PlatformFailure",
                  [](const std::string&) -> std::string { throw PlatformError("Network is unreachable"); }, nullptr,
                  "Error: Network is unreachable"},
        ClickCase{"AnyStandardException", [](const std::string&) -> std::string { throw std::bad_alloc(); }, nullptr,
                  "Error: std::bad_alloc"},
        ClickCase{"Closing", [](const std::string&) -> std::string { throw RequestAbandoned(); }, nullptr, nullptr}),
    [](const auto& param) { return std::string(param.param.name); });

// Once the application is closing the box refuses too; the click ends quietly.
TEST(ClicksWhileClosing, EndQuietlyWhenTheBoxRefuses)
{
    RecordingMessageBox messageBox;
    messageBox.onShow = [](const std::string&) { throw RequestAbandoned(); };
    const auto noLabel = [](const std::string&) { ADD_FAILURE() << "nothing reaches the label"; };
    HandleRequestTimeClick(Answer("Error: Timeout"), messageBox, noLabel);
    HandleRequestTimeClick([](const std::string&) -> std::string { throw PlatformError("Network is unreachable"); },
                           messageBox, noLabel);
    EXPECT_EQ(messageBox.Prompts(), (std::vector<std::string>{"Error: Timeout", "Error: Network is unreachable"}));
}

} // namespace
} // namespace chronavel
