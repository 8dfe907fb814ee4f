#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace chronavel::testing {

// Plays the user while message boxes come up on this thread: a thread timer,
// which only a message loop runs (the box's own), finds the box, lets the
// test look at it and presses OK, after the box has been up for a while if
// asked. One at a time. whileOpen runs as OK is pressed, the box recorded
// and not yet gone: what it posts comes after the box.
class MessageBoxCloser {
public:
    struct SeenBox {
        std::string caption;
        std::string text;
        bool hasOk = false;
        bool hasCancel = false;
    };

    explicit MessageBoxCloser(std::chrono::milliseconds keepOpen = std::chrono::milliseconds{0},
                              std::function<void()> whileOpen = {});
    ~MessageBoxCloser();

    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    std::vector<SeenBox> boxes; // each box closed, in order

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::chrono::milliseconds m_keepOpen;
    std::function<void()> m_whileOpen;
    UINT_PTR m_timer = 0;
    HWND m_box = nullptr; // the box up now
    std::chrono::steady_clock::time_point m_boxSeenAt{};
    bool m_bPressed = false;
};

} // namespace chronavel::testing
