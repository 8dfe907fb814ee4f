#include "platform/win32/SystemErrorText.h"

#include "platform/PlatformError.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <iterator>

namespace chronavel {

std::string FormatErrorMessage(unsigned long code, const wchar_t* moduleName)
{
    const HMODULE module = moduleName != nullptr ? GetModuleHandleW(moduleName) : nullptr;
    if (moduleName != nullptr && module == nullptr) {
        return {};
    }
    wchar_t text[512];
    DWORD length = FormatMessageW((module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM)
                                      | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  module, code, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    return ToUtf8(std::wstring_view(text, length));
}

std::string DescribeSystemError(unsigned long code)
{
    const std::string text = FormatErrorMessage(code);
    return text.empty() ? "System error " + std::to_string(code) : text;
}

void ThrowSystemError(unsigned long code)
{
    throw PlatformError(DescribeSystemError(code));
}

void ThrowLastError()
{
    ThrowSystemError(GetLastError());
}

} // namespace chronavel
