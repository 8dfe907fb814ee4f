#include "platform/win32/WinHttpErrorText.h"

#include "platform/win32/SystemErrorText.h"

#include <windows.h>

#include <winhttp.h>

#include <string>

namespace chronavel {

std::string DescribeWinHttpError(unsigned long code)
{
    const std::string number = " (error " + std::to_string(code) + ")";
    if (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_BASE + 999) {
        const std::string text = DescribeSystemError(code);
        return text.starts_with("System error") ? text : text + number;
    }
    const std::string text = FormatErrorMessage(code, L"winhttp.dll");
    return text.empty() ? "WinHTTP error " + std::to_string(code) : text + number;
}

} // namespace chronavel
