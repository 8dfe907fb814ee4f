#include "platform/win32/MessageWindow.h"

#include "platform/win32/SystemErrorText.h"

namespace chronavel {

HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* owner)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = procedure;
    description.hInstance = instance;
    description.lpszClassName = className;
    // The first window of a class registers it; later ones find it there.
    if (RegisterClassExW(&description) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ThrowLastError();
    }
    HWND window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, owner);
    if (window == nullptr) {
        ThrowLastError();
    }
    return window;
}

} // namespace chronavel
