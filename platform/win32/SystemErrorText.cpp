#include "platform/win32/SystemErrorText.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <iterator>

namespace chronavel {

std::string DescribeSystemError(unsigned long code)
{
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) {
        return "System error " + std::to_string(code);
    }
    return ToUtf8(std::wstring_view(text, length));
}

} // namespace chronavel
