// Whole requests through the window over the composed Windows platform:
// real boxes, pump, Winsock and the user's locale (en-US here), against the
// loopback SNTP responders; the time zone service is scripted.
#include "ui/win32/Form1.h"

#include "platform/win32/Win32Platform.h"
#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/platform/win32/MessageBoxCloser.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedHttpClient.h"
#include "ui/win32/MessageLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using namespace std::chrono_literals;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

// The scripted service answers the first request with one body, every later one with another.
class ScriptedAnswers final : public IHttpClientFactory {
public:
    ScriptedAnswers(const char* first, const char* later) : m_first(first), m_later(later) {}
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override
    {
        ScriptedHttpClientFactory& answering = m_bFirstUsed ? m_later : m_first;
        m_bFirstUsed = true;
        return answering.CreateHttpClient(trustedCaFile);
    }

private:
    ScriptedHttpClientFactory m_first;
    ScriptedHttpClientFactory m_later;
    bool m_bFirstUsed = false;
};

std::wstring TextOf(HWND window)
{
    wchar_t text[256]{};
    return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(window, text, 256)));
}

class Form1Request : public ::testing::Test {
protected:
    void MakeForm(IHttpClientFactory& service, int ntpPort)
    {
        platform.emplace(service);
        form.emplace(GetModuleHandleW(nullptr), platform->platform().messageBox,
                     RealTimeRequest(platform->platform(), Endpoints{.ntpHost = "127.0.0.1", .ntpPort = ntpPort}),
                     platform->shutdownWatch());
        form->Show(SW_SHOWNORMAL);
        button = GetWindow(form->window(), GW_CHILD);
        label = GetWindow(button, GW_HWNDNEXT);
    }

    std::optional<Win32Platform> platform;
    std::optional<Form1> form;
    HWND button = nullptr;
    HWND label = nullptr;
};

TEST_F(Form1Request, ClickShowsP1ToP9ThenTheTimeInTheLabel)
{
    ScriptedHttpClientFactory service{UtcZoneResponse};
    MakeForm(service, AnsweringSntpPort());
    MessageBoxCloser user;
    SendMessageW(button, BM_CLICK, 0, 0);

    std::vector<std::string> prompts;
    for (const MessageBoxCloser::SeenBox& box : user.boxes) {
        prompts.push_back(box.text);
        EXPECT_EQ(box.caption, "Chronavel");
    }
    EXPECT_THAT(prompts, ElementsAreArray(AllCheckpoints));
    EXPECT_EQ(TextOf(label), L"12/8/2026 7:10:22 AM");
}

TEST_F(Form1Request, ErrorAnswerGoesToABoxAndTheLabelKeepsItsTime)
{
    ScriptedAnswers service{UtcZoneResponse, R"({"status":"REQUEST_DENIED","errorMessage":"No key"})"};
    MakeForm(service, AnsweringSntpPort());
    MessageBoxCloser user;
    SendMessageW(button, BM_CLICK, 0, 0);
    ASSERT_EQ(TextOf(label), L"12/8/2026 7:10:22 AM");

    user.boxes.clear();
    SendMessageW(button, BM_CLICK, 0, 0);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_EQ(user.boxes.back().caption, "Error Validating Time");
    EXPECT_THAT(user.boxes.back().text, StartsWith("Error"));
    EXPECT_EQ(TextOf(label), L"12/8/2026 7:10:22 AM");
}

// What a thread timer, which captures nothing, acts on.
struct CloseLater {
    static inline HWND form = nullptr;
    static inline bool bButtonEnabled = false;
    static void CALLBACK Close(HWND, UINT, UINT_PTR timer, DWORD)
    {
        KillTimer(nullptr, timer);
        bButtonEnabled = IsWindowEnabled(GetWindow(form, GW_CHILD)) != FALSE;
        PostMessageW(form, WM_CLOSE, 0, 0);
    }
};

// Closing while the request waits on a server that never answers: the wait
// is abandoned, no further box comes, and the program's loop ends with 0.
TEST_F(Form1Request, ClosingWhileTheRequestWaitsEndsTheLoopWithZero)
{
    ScriptedHttpClientFactory service{UtcZoneResponse};
    MakeForm(service, SilentSntpPort());
    CloseLater::form = form->window();
    std::optional<MessageBoxCloser> user;
    user.emplace(0ms, [&] {
        // As P3, the last box before the wait, goes.
        if (user->boxes.size() == 2) {
            SetTimer(nullptr, 0, 300, &CloseLater::Close);
        }
    });
    // The click comes through the program's own loop, as a user's would.
    PostMessageW(button, BM_CLICK, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    const int exitCode = RunMessageLoop();

    EXPECT_EQ(exitCode, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the request waited out its 10-second limit";
    EXPECT_TRUE(CloseLater::bButtonEnabled) << "a waiting request leaves the button to be clicked again";
    EXPECT_EQ(form->window(), nullptr);
    std::vector<std::string> prompts;
    for (const MessageBoxCloser::SeenBox& box : user->boxes) {
        prompts.push_back(box.text);
    }
    EXPECT_THAT(prompts, ElementsAreArray({"P1", "P2", "P3"}));
}

} // namespace
} // namespace chronavel
