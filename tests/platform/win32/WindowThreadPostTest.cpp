// Tasks posted to the window's thread from another, as a key exchange posts
// its outcome; a stray message carries none.
#include "platform/win32/WindowThreadPost.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace chronavel {
namespace {

TEST(WindowThreadPost, RunsPostedTasksOnItsThreadAndPassesOverAStrayMessage)
{
    WindowThreadPost post;
    std::vector<DWORD> ranOn;
    std::thread([poster = post.Poster(), &ranOn] {
        poster([&ranOn] { ranOn.push_back(GetCurrentThreadId()); });
    }).join();
    SendMessageW(FindWindowExW(HWND_MESSAGE, nullptr, WindowThreadPost::WindowClassName, nullptr),
                 WindowThreadPost::TaskMessage, 0, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    EXPECT_EQ(ranOn, std::vector<DWORD>{GetCurrentThreadId()});
}

} // namespace
} // namespace chronavel
