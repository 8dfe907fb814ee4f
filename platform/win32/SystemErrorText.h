#pragma once

#include <string>

namespace chronavel {

// FormatMessageW's text for an error code, from the system's table or from
// that of a loaded module, in UTF-8 without the trailing line break; empty
// when there is none.
std::string FormatErrorMessage(unsigned long code, const wchar_t* moduleName = nullptr);

// The system's own description of an error code (GetLastError, WSAGetLastError,
// GetAddrInfoW); "System error NNNN" when the system has no text for it
// (Wine lacks some Winsock ones).
std::string DescribeSystemError(unsigned long code);

// PlatformError with that description.
[[noreturn]] void ThrowSystemError(unsigned long code);
[[noreturn]] void ThrowLastError();

} // namespace chronavel
