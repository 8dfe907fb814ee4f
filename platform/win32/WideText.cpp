#include "platform/win32/WideText.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace chronavel {
namespace {

int CheckedLength(std::size_t length)
{
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("Text too long for the platform");
    }
    return static_cast<int>(length);
}

} // namespace

std::wstring ToWide(std::string_view utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int length = CheckedLength(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);
    return wide;
}

std::string ToUtf8(std::wstring_view wide)
{
    if (wide.empty()) {
        return {};
    }
    const int length = CheckedLength(wide.size());
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}

} // namespace chronavel
