#include "platform/openssl/NativeSocket.h"

#include "platform/win32/SystemErrorText.h"

#include <winsock2.h>

namespace chronavel::native_socket {

int StreamType()
{
    return SOCK_STREAM;
}

// Winsock's select, not WSAPoll, which before Windows 10 2004 never reports
// a failed connect; select reports one among the exceptions.
bool Poll(std::span<const int> sockets, bool forWriting, std::chrono::milliseconds timeout, std::vector<bool>& ready)
{
    fd_set waiting;
    fd_set failed;
    FD_ZERO(&waiting);
    FD_ZERO(&failed);
    for (const int socket : sockets) {
        FD_SET(static_cast<SOCKET>(socket), &waiting);
        FD_SET(static_cast<SOCKET>(socket), &failed);
    }
    const auto micros = std::chrono::microseconds(timeout).count();
    timeval limit{static_cast<long>(micros / 1000000), static_cast<long>(micros % 1000000)};
    if (::select(0, forWriting ? nullptr : &waiting, forWriting ? &waiting : nullptr, &failed, &limit)
        == SOCKET_ERROR) {
        return false;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        const auto socket = static_cast<SOCKET>(sockets[i]);
        ready[i] = FD_ISSET(socket, &waiting) || FD_ISSET(socket, &failed);
    }
    return true;
}

int LastError()
{
    return WSAGetLastError();
}

std::string ErrorText(int error)
{
    return DescribeSystemError(static_cast<unsigned long>(error));
}

TlsKeyExchangeFailure ConnectFailure(int error)
{
    switch (error) {
    case WSAECONNREFUSED:
        return TlsKeyExchangeFailure::Refused;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
        return TlsKeyExchangeFailure::Unreachable;
    default:
        return TlsKeyExchangeFailure::Other;
    }
}

// Windows raises no signal for a closed connection.
void PrepareThread()
{
}

} // namespace chronavel::native_socket
