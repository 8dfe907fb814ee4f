#pragma once

// Winsock 2 before windows.h, whose older winsock.h it replaces.
#include <winsock2.h>

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

namespace chronavel {

// A host name's IPv4 lookup on a thread of its own, so that the window
// keeps answering while the resolver waits. When it ends, a message goes to
// the window it was given; the result is read there. Abandon it and no
// message follows.
class HostLookup {
public:
    struct Result {
        int error = 0; // a Winsock error code; 0 when address holds the host's address
        in_addr address{};
    };

    // message is posted with wParam = tag, to tell one lookup's end from a
    // later one's.
    static std::shared_ptr<HostLookup> Start(const std::string& host, HWND window, UINT message, WPARAM tag);

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
