#include "platform/openssl/NativeSocket.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace chronavel::native_socket {

int StreamType()
{
    return SOCK_STREAM;
}

bool Poll(std::span<const int> sockets, bool forWriting, std::chrono::milliseconds timeout, std::vector<bool>& ready)
{
    std::vector<pollfd> entries;
    for (const int socket : sockets) {
        entries.push_back({socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0});
    }
    if (::poll(entries.data(), entries.size(), static_cast<int>(timeout.count())) < 0) {
        return errno == EINTR;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ready[i] = entries[i].revents != 0;
    }
    return true;
}

int LastError()
{
    return errno;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

TlsKeyExchangeFailure ConnectFailure(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return TlsKeyExchangeFailure::Refused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
        return TlsKeyExchangeFailure::Unreachable;
    default:
        return TlsKeyExchangeFailure::Other;
    }
}

void PrepareThread()
{
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
}

} // namespace chronavel::native_socket
