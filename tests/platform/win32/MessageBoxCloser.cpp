#include "tests/platform/win32/MessageBoxCloser.h"

#include "platform/win32/WideText.h"

#include <stdexcept>

namespace chronavel::testing {
namespace {

MessageBoxCloser* g_active = nullptr;

// Message boxes are dialogs of the system's dialog class.
HWND FindBoxOfThisThread()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t className[16]{};
            GetClassNameW(window, className, 16);
            if (std::wstring_view(className) == L"#32770") {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string WindowText(HWND window)
{
    wchar_t text[512]{};
    const int length = GetWindowTextW(window, text, 512);
    return ToUtf8(std::wstring_view(text, static_cast<std::size_t>(length)));
}

} // namespace

MessageBoxCloser::MessageBoxCloser(std::chrono::milliseconds keepOpen, std::function<void()> whileOpen)
    : m_keepOpen(keepOpen)
    , m_whileOpen(std::move(whileOpen))
{
    if (g_active != nullptr) {
        throw std::logic_error("one MessageBoxCloser at a time");
    }
    m_timer = SetTimer(nullptr, 0, 10, &MessageBoxCloser::OnTimer);
    if (m_timer == 0) {
        throw std::runtime_error("SetTimer failed");
    }
    g_active = this;
}

MessageBoxCloser::~MessageBoxCloser()
{
    KillTimer(nullptr, m_timer);
    g_active = nullptr;
}

void CALLBACK MessageBoxCloser::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_active != nullptr) {
        g_active->Tick();
    }
}

void MessageBoxCloser::Tick()
{
    HWND box = FindBoxOfThisThread();
    if (box == nullptr) {
        return;
    }
    if (box != m_box) {
        m_box = box;
        m_boxSeenAt = std::chrono::steady_clock::now();
        m_bPressed = false;
    }
    if (m_bPressed || std::chrono::steady_clock::now() - m_boxSeenAt < m_keepOpen) {
        return;
    }
    wchar_t text[512]{};
    const UINT length = GetDlgItemTextW(box, 0xFFFF, text, 512); // the prompt's static control
    const auto isShown = [box](int button) {
        const HWND control = GetDlgItem(box, button);
        return control != nullptr && IsWindowVisible(control) != FALSE;
    };
    boxes.push_back({WindowText(box), ToUtf8(std::wstring_view(text, length)), isShown(IDOK), isShown(IDCANCEL)});
    m_bPressed = true;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (m_whileOpen) {
        m_whileOpen();
    }
}

} // namespace chronavel::testing
