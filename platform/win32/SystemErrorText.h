#pragma once

#include <string>

namespace chronavel {

// The system's own description of an error code (GetLastError, WSAGetLastError,
// GetAddrInfoW), in UTF-8 without the trailing line break; "System error
// NNNN" when the system has no text for it (Wine lacks some Winsock ones).
std::string DescribeSystemError(unsigned long code);

} // namespace chronavel
