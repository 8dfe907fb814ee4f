#include "platform/win32/WinHttpErrorText.h"

#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <winhttp.h>

#include <iterator>
#include <string>
#include <string_view>

namespace chronavel {

std::string DescribeWinHttpError(unsigned long code)
{
    const std::string number = " (error " + std::to_string(code) + ")";
    if (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_BASE + 999) {
        const std::string text = DescribeSystemError(code);
        return text.starts_with("System error") ? text : text + number;
    }
    wchar_t text[512];
    DWORD length = 0;
    if (const HMODULE winhttp = GetModuleHandleW(L"winhttp.dll")) {
        length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, winhttp, code, 0, text,
                                static_cast<DWORD>(std::size(text)), nullptr);
    }
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) {
        return "WinHTTP error " + std::to_string(code);
    }
    return ToUtf8(std::wstring_view(text, length)) + number;
}

} // namespace chronavel
