// Whole requests through the window over the composed Windows platform:
// real boxes, pump and Winsock, the en-US locale, the loopback SNTP
// responders; the time zone service is scripted.
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
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

// The first request gets one answer, every later one another.
class ScriptedAnswers final : public IHttpClientFactory {
public:
    ScriptedAnswers(const char* first, const char* later) : m_first(first), m_later(later) {}
    std::unique_ptr<IHttpClient> CreateHttpClient(const std::string& trustedCaFile) override
    {
        return std::exchange(m_bFirstUsed, true) ? m_later.CreateHttpClient(trustedCaFile)
                                                 : m_first.CreateHttpClient(trustedCaFile);
    }

private:
    ScriptedHttpClientFactory m_first;
    ScriptedHttpClientFactory m_later;
    bool m_bFirstUsed = false;
};

std::vector<std::string> Prompts(const MessageBoxCloser& user)
{
    std::vector<std::string> prompts;
    for (const MessageBoxCloser::SeenBox& box : user.boxes) {
        prompts.push_back(box.text);
    }
    return prompts;
}

class Form1Request : public ::testing::Test {
protected:
    void MakeForm(int ntpPort)
    {
        form.emplace(
            GetModuleHandleW(nullptr), windows.platform().messageBox,
            RealTimeRequest(windows.platform(), Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = ntpPort}),
            windows.shutdownWatch());
        form->Show(SW_SHOWNORMAL);
        button = GetWindow(form->window(), GW_CHILD);
        label = GetWindow(button, GW_HWNDNEXT);
    }
    std::wstring LabelText() const
    {
        wchar_t text[64]{};
        return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(label, text, 64)));
    }

    ScriptedAnswers service{UtcZoneResponse, R"({"status":"REQUEST_DENIED","errorMessage":"No key"})"};
    Win32Platform windows{service};
    std::optional<Form1> form;
    HWND button = nullptr;
    HWND label = nullptr; // lblTimeLocal, next in tab order
};

TEST_F(Form1Request, ClickShowsP1ToP9ThenTheTimeAndAnErrorAnswerLeavesIt)
{
    MakeForm(AnsweringSntpPort());
    MessageBoxCloser user;
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_THAT(Prompts(user), ElementsAreArray(AllCheckpoints));
    EXPECT_EQ(user.boxes.back().caption, "Chronavel");
    EXPECT_EQ(LabelText(), L"12/8/2026 7:10:22 AM");

    user.boxes.clear();
    SendMessageW(button, BM_CLICK, 0, 0);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_EQ(user.boxes.back().caption, "Error Validating Time");
    EXPECT_THAT(user.boxes.back().text, StartsWith("Error"));
    EXPECT_EQ(LabelText(), L"12/8/2026 7:10:22 AM");
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

// Closed while the request waits on a server that never answers: the wait
// is abandoned, no further box comes, and the program's loop ends with 0.
TEST_F(Form1Request, ClosingWhileTheRequestWaitsEndsTheLoopWithZero)
{
    MakeForm(SilentSntpPort());
    CloseLater::form = form->window();
    std::optional<MessageBoxCloser> user;
    user.emplace(0ms, [&] {
        if (user->boxes.size() == 2) { // P3, the last box before the wait
            SetTimer(nullptr, 0, 300, &CloseLater::Close);
        }
    });
    PostMessageW(button, BM_CLICK, 0, 0); // through the program's own loop
    const auto start = std::chrono::steady_clock::now();

    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the request waited out its 10-second limit";
    EXPECT_TRUE(CloseLater::bButtonEnabled) << "a waiting request leaves the button to be clicked again";
    EXPECT_EQ(form->window(), nullptr);
    EXPECT_THAT(Prompts(*user), ElementsAre("P1", "P2", "P3"));
}

} // namespace
} // namespace chronavel
