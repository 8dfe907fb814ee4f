// The Windows program's entry point: the platform, the window, the loop.
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "ui/TimeRequest.h"
#include "ui/win32/Form1.h"
#include "ui/win32/MessageLoop.h"

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <string>

namespace {

// Before the window is up, or once its loop has failed, no request can report a failure: it gets a box of its own.
void ShowFailure(const char* what)
{
    // A window that was half made may have posted WM_QUIT, which would close the box at once.
    MSG quit{};
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    const std::wstring text = L"Error: " + chronavel::ToWide(what);
    MessageBoxW(nullptr, text.c_str(), L"Chronavel", MB_OK | MB_ICONERROR);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // Common controls 6, which the manifest asks for; should this fail,
    // user32's own button and static classes serve.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        const chronavel::Win32Platform windows;
        const chronavel::Platform& platform = windows.platform();
        chronavel::Form1 form(instance, platform.messageBox, chronavel::RealTimeRequest(platform));
        form.Show(showCommand);
        return chronavel::RunMessageLoop();
    } catch (const std::exception& failure) {
        ShowFailure(failure.what());
        return 1;
    }
}
