#include "platform/win32/Win32MessageBox.h"

#include "platform/PlatformError.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32ShutdownWatch.h"

#include <windows.h>

#include <utility>

namespace chronavel {

Win32MessageBox::Win32MessageBox(Win32ShutdownWatch& shutdown, std::string applicationTitle)
    : m_shutdown(shutdown)
    , m_applicationTitle(std::move(applicationTitle))
{
}

void Win32MessageBox::Show(const std::string& prompt, const std::string& title)
{
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    const std::wstring text = ToWide(prompt);
    const std::wstring caption = ToWide(title.empty() ? m_applicationTitle : title);
    // Task modal: with no active window to own the box, every window of
    // this thread is disabled while it shows, so nothing is clicked twice.
    // A box that cannot be shown (no desktop) leaves nothing to dismiss,
    // and the request goes on as if it had been.
    MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_TASKMODAL);
}

} // namespace chronavel
