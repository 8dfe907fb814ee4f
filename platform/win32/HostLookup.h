#pragma once

// Winsock 2 before windows.h, whose older winsock.h it replaces.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace chronavel {

struct AddressListDeleter {
    void operator()(ADDRINFOW* list) const noexcept { FreeAddrInfoW(list); }
};
using AddressList = std::unique_ptr<ADDRINFOW, AddressListDeleter>;

// A host's addresses for a socket of one family, looked up on a thread of
// its own so that the window keeps answering while the resolver waits. For
// an IPv6 socket they are the host's IPv6 and IPv4 addresses, the latter
// mapped into IPv6. When it ends, a message goes to the window it was given;
// the result is read there. Abandon it and no message follows.
class HostLookup {
public:
    struct Result {
        int error = 0; // GetAddrInfoW's; 0 when addresses holds the host's addresses
        AddressList addresses;
    };

    // message is posted with wParam = tag, to tell one lookup's end from a
    // later one's.
    static std::shared_ptr<HostLookup> Start(const std::string& host, std::uint16_t port, int family, HWND window,
                                             UINT message, WPARAM tag);

    void Abandon();
    Result TakeResult();

private:
    HostLookup(HWND window, UINT message, WPARAM tag) : m_window(window), m_message(message), m_tag(tag) {}
    void Finish(Result result);

    std::mutex m_mutex;
    HWND m_window;
    const UINT m_message;
    const WPARAM m_tag;
    Result m_result;
};

} // namespace chronavel
