#pragma once

#include "platform/win32/UniqueWindow.h"

#include <functional>

namespace chronavel {

// Runs tasks on the thread that made it, posted from any thread to a
// message-only window of its own, which any message loop on that thread
// serves; what is still queued when it goes is dropped.
class WindowThreadPost {
public:
    WindowThreadPost();
    ~WindowThreadPost();
    WindowThreadPost(const WindowThreadPost&) = delete;
    WindowThreadPost& operator=(const WindowThreadPost&) = delete;

    // A function that posts to this object's window, for as long as it lives.
    std::function<void(std::function<void()>)> Poster() const;

    static constexpr wchar_t WindowClassName[] = L"ChronavelPostWindow";
    static constexpr UINT TaskMessage = WM_APP + 1; // lParam: the task, owned by the message

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow m_window;
};

} // namespace chronavel
