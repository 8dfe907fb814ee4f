#include "ui/win32/MessageLoop.h"

#include "platform/win32/SystemErrorText.h"

#include <windows.h>

namespace chronavel {

int RunMessageLoop()
{
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            ThrowLastError();
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace chronavel
