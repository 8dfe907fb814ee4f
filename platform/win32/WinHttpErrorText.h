#pragma once

#include <string>

namespace chronavel {

// The system's description of an error a WinHTTP call reported, in UTF-8
// and followed by its number: WinHTTP's own codes (12xxx) are worded by
// winhttp.dll, "WinHTTP error N" where it has no text (Wine lacks them);
// any other code is the system's (Wine's time-outs are Winsock's 10060).
std::string DescribeWinHttpError(unsigned long code);

} // namespace chronavel
