#pragma once

#include "platform/UdpSocket.h"
#include "platform/common/DetachedCall.h"
#include "platform/win32/UniqueSocket.h"
#include "platform/win32/UniqueWindow.h"
#include "platform/win32/WinsockSession.h"

#include <ws2tcpip.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace chronavel {

class DeferredEvents;

// The socket control on a Winsock 2 UDP socket for IPv6 and IPv4 alike, as
// Qt's socket binds. The socket is connected to the remote address, so the
// system drops datagrams from anyone else. Its events arrive by
// WSAAsyncSelect at a message-only window of its own, which may run inside
// any message loop (a message box's too): there it only notes what
// happened, and the owner hears of it from the event pump.
class Win32UdpSocket final : public IUdpSocket {
public:
    Win32UdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, IMonotonicClock& clock);
    ~Win32UdpSocket() override { Close(); }

    Win32UdpSocket(const Win32UdpSocket&) = delete;
    Win32UdpSocket& operator=(const Win32UdpSocket&) = delete;

    void Protocol(int protocol) override;
    void RemoteHost(const std::string& host) override { m_remoteHost = host; }
    void RemotePort(int port) override;
    void LocalPort(int port) override;
    int State() const override { return m_state; }

    void Bind(int localPort) override;
    void SendData(const std::vector<std::uint8_t>& datagram) override;
    MonotonicTime SentAt() const override { return m_sentAt; }
    MonotonicTime GetData(std::vector<std::uint8_t>& datagram) override;
    void Close() override;

private:
    struct Received {
        std::vector<std::uint8_t> bytes;
        MonotonicTime arrivedAt;
    };
    struct AddressesFreer {
        void operator()(ADDRINFOW* addresses) const noexcept { FreeAddrInfoW(addresses); }
    };
    // The remote host's addresses in the socket's family, or GetAddrInfoW's error.
    struct Lookup {
        int error = 0;
        std::unique_ptr<ADDRINFOW, AddressesFreer> addresses;
    };

    static Lookup LookUp(const std::wstring& host, const std::wstring& port, int family);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSocketEvent(LPARAM event);
    void OnLookupEnded(WPARAM tag);
    void CheckPendingError();

    // Each returns the Winsock error that stopped it, 0 when none did.
    int Connect(const ADDRINFOW* addresses);
    int SendUnsent();
    void ReadDatagrams();
    void PostError(int error);

    IUdpSocketEvents& m_events;
    DeferredEvents& m_deferred;
    IMonotonicClock& m_clock;
    UniqueWindow m_window;
    UniqueSocket m_socket;
    int m_family = AF_INET6;

    std::string m_remoteHost;
    std::uint16_t m_remotePort = 0;
    std::uint16_t m_localPort = 0;
    int m_state = StateClosed;
    // On a thread of its own, so that the window keeps answering while the
    // resolver waits; its end is posted with its tag, to tell it from a later one's.
    std::shared_ptr<DetachedCall<Lookup>> m_lookup;
    WPARAM m_lookupTag = 0;
    std::vector<std::vector<std::uint8_t>> m_unsent; // waiting for the host's lookup
    MonotonicTime m_sentAt{};
    std::deque<Received> m_received;
    std::vector<std::uint8_t> m_buffer;
};

class Win32UdpSocketFactory final : public IUdpSocketFactory {
public:
    Win32UdpSocketFactory(DeferredEvents& deferred, IMonotonicClock& clock) : m_deferred(deferred), m_clock(clock) {}
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override
    {
        return std::make_unique<Win32UdpSocket>(events, m_deferred, m_clock);
    }

private:
    WinsockSession m_winsock; // while sockets are made
    DeferredEvents& m_deferred;
    IMonotonicClock& m_clock;
};

} // namespace chronavel
