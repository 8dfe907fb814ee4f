#include "ui/win32/EnterPressesButton.h"

#include "platform/PlatformError.h"

#include <commctrl.h>

namespace chronavel {
namespace {

constexpr UINT_PTR SubclassId = 1;

bool IsHeld(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

LRESULT CALLBACK ButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            // Bit 30: the key was already down, so a held Enter presses once.
            const bool bRepeat = (lParam & (1 << 30)) != 0;
            if (!bRepeat && !IsHeld(VK_SHIFT) && !IsHeld(VK_CONTROL)) {
                SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r') {
            return 0; // Enter's character, already acted on
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(button, ButtonProcedure, SubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

} // namespace

void MakeEnterPressButton(HWND button)
{
    if (!SetWindowSubclass(button, ButtonProcedure, SubclassId, 0)) {
        throw PlatformError("The button could not be given its Enter key");
    }
}

} // namespace chronavel
