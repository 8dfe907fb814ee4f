#pragma once

#include <string>

namespace chronavel {

// The system's own description of an error code (GetLastError, WSAGetLastError,
// GetAddrInfoW), in UTF-8 without the trailing line break; a plain
// "Error NNNN" when the system has no text for it.
std::string DescribeSystemError(unsigned long code);

} // namespace chronavel
