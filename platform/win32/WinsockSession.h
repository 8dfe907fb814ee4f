#pragma once

namespace chronavel {

// Winsock can be used between WSAStartup and WSACleanup; an object of this
// class is that span. Whatever makes sockets holds one.
class WinsockSession {
public:
    // Throws PlatformError with the system's description when Winsock 2.2
    // cannot be started.
    WinsockSession();
    ~WinsockSession();

    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

} // namespace chronavel
