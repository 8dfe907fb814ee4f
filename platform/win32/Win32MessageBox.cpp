#include "platform/win32/Win32MessageBox.h"

#include "platform/PlatformError.h"
#include "platform/win32/QuitMessage.h"
#include "platform/win32/WideText.h"

namespace chronavel {

void Win32MessageBox::Show(const std::string& prompt, const std::string& title)
{
    if (IsQuitPosted()) {
        throw RequestAbandoned();
    }
    // Task modal: with no active window to own the box, every window of
    // this thread is disabled while it shows, so nothing is clicked twice.
    // A box that cannot be shown (no desktop) leaves nothing to dismiss,
    // and the request goes on as if it had been.
    MessageBoxW(GetActiveWindow(), ToWide(prompt).c_str(), ToWide(title.empty() ? m_applicationTitle : title).c_str(),
                MB_OK | MB_TASKMODAL);
}

} // namespace chronavel
