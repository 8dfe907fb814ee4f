#include "platform/win32/WinsockSession.h"

#include "platform/PlatformError.h"
#include "platform/win32/SystemErrorText.h"

#include <winsock2.h>

namespace chronavel {

WinsockSession::WinsockSession()
{
    WSADATA data{};
    // WSAStartup returns its error rather than setting WSAGetLastError.
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
        throw PlatformError(DescribeSystemError(static_cast<unsigned long>(error)));
    }
}

WinsockSession::~WinsockSession()
{
    WSACleanup();
}

} // namespace chronavel
