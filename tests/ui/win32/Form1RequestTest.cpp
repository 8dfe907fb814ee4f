// Requests through the window over the composed Windows platform: real
// boxes, pump, Winsock and OpenSSL, the en-US locale, the loopback SNTP
// responders and NTS peers; the time zone service is scripted. What a click does with each kind of
// answer is RequestTimeClickTest's.
#include "ui/win32/Form1.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "tests/platform/win32/LoopbackHttpsServers.h"
#include "tests/platform/win32/LoopbackPeers.h"
#include "tests/platform/win32/MessageBoxCloser.h"
#include "tests/support/NtsPeers.h"
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
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAreArray;

std::vector<std::string> Prompts(const MessageBoxCloser& user)
{
    std::vector<std::string> prompts;
    for (const MessageBoxCloser::SeenBox& box : user.boxes) {
        prompts.push_back(box.text);
    }
    return prompts;
}

Endpoints PlainSntp(int port)
{
    return {.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = port};
}

class Form1Request : public ::testing::Test {
protected:
    void MakeForm(Endpoints endpoints)
    {
        form.emplace(GetModuleHandleW(nullptr), windows.platform().messageBox,
                     RealTimeRequest(windows.platform(), std::move(endpoints)));
        form->Show(SW_SHOWNORMAL);
        button = GetWindow(form->window(), GW_CHILD);
        label = GetWindow(button, GW_HWNDNEXT);
    }
    std::wstring LabelText() const
    {
        wchar_t text[64]{};
        return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(label, text, 64)));
    }

    ScriptedHttpClientFactory service{UtcZoneResponse};
    Win32Platform windows{service};
    std::optional<Form1> form;
    HWND button = nullptr;
    HWND label = nullptr; // lblTimeLocal, next in tab order
};

// A second click, queued as the first request's "P3" goes, is delivered by
// that request's wait and runs a whole request inside it; both finish.
TEST_F(Form1Request, ASecondClickDuringTheWaitRunsNestedAndBothShowTheTime)
{
    MakeForm(PlainSntp(AnsweringSntpPort()));
    std::optional<MessageBoxCloser> user;
    user.emplace(0ms, [&] {
        if (user->boxes.size() == 3) {
            PostMessageW(button, BM_CLICK, 0, 0);
        }
    });
    SendMessageW(button, BM_CLICK, 0, 0);

    const std::vector<std::string> prompts = Prompts(*user);
    ASSERT_GE(prompts.size(), 4U);
    EXPECT_THAT(std::vector(prompts.begin(), prompts.begin() + 4), ElementsAre("P1", "P2", "P3", "P1"));
    std::vector<std::string> twice = AllCheckpoints;
    twice.insert(twice.end(), AllCheckpoints.begin(), AllCheckpoints.end());
    EXPECT_THAT(prompts, UnorderedElementsAreArray(twice)) << "both requests passed every checkpoint";
    for (const MessageBoxCloser::SeenBox& box : user->boxes) {
        EXPECT_EQ(box.caption, "Chronavel");
    }
    // The seconds the boxes took are carried forward on the server's time.
    EXPECT_THAT(ToUtf8(LabelText()), AllOf(StartsWith("12/8/2026 7:10:2"), EndsWith(" AM")));
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

// Authenticated, as the program asks by default, with the key-exchange
// server's CA trusted as any Windows program's is: in the user's Root store.
TEST_F(Form1Request, AuthenticatedTimeFromAServerTheRootStoreTrusts)
{
    const NtsPeers peers;
    const CaInUserStore trust(peers.caDerFile(), L"Root");
    MakeForm(Endpoints{.ntsServer = ByName(peers.Server(Tampering::None))});
    MessageBoxCloser user;
    SendMessageW(button, BM_CLICK, 0, 0);

    EXPECT_THAT(Prompts(user), ElementsAreArray(AllCheckpoints));
    EXPECT_THAT(ToUtf8(LabelText()), MatchesRegex(R"(\d+/\d+/\d+ \d+:\d\d:\d\d .M)"));
}

struct ClosingCase {
    const char* name;
    Endpoints (*endpoints)();
    std::vector<std::string> boxesBeforeTheWait;
};

class ClosingWhileWaiting : public Form1Request, public ::testing::WithParamInterface<ClosingCase> {};

// Closed while the request waits on a server that never answers: the wait
// is abandoned, no further box comes, and the program's loop ends with 0.
TEST_P(ClosingWhileWaiting, EndsTheLoopWithZero)
{
    MakeForm(GetParam().endpoints());
    CloseLater::form = form->window();
    std::optional<MessageBoxCloser> user;
    user.emplace(0ms, [&] {
        if (user->boxes.size() == GetParam().boxesBeforeTheWait.size()) {
            SetTimer(nullptr, 0, 300, &CloseLater::Close);
        }
    });
    PostMessageW(button, BM_CLICK, 0, 0); // through the program's own loop
    const auto start = std::chrono::steady_clock::now();

    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the request waited out its 10-second limit";
    EXPECT_TRUE(CloseLater::bButtonEnabled) << "a waiting request leaves the button to be clicked again";
    EXPECT_EQ(form->window(), nullptr);
    EXPECT_THAT(Prompts(*user), ElementsAreArray(GetParam().boxesBeforeTheWait));
}

INSTANTIATE_TEST_SUITE_P(
    Form1Request, ClosingWhileWaiting,
    ::testing::Values(
        ClosingCase{"OnTheNtpServer", [] { return PlainSntp(SilentSntpPort()); }, {"P1", "P2", "P3"}},
        ClosingCase{"OnTheKeyExchange", [] { return Endpoints{.ntsServer = NtsPeers().SilentServer()}; }, {"P1"}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace chronavel
