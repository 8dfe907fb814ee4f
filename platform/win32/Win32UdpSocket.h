#pragma once

#include "platform/UdpSocket.h"
#include "platform/win32/HostLookup.h"
#include "platform/win32/SocketErrorWatch.h"
#include "platform/win32/UniqueSocket.h"
#include "platform/win32/UniqueWindow.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace chronavel {

class DeferredEvents;
class WinsockSession;

// The socket control on a Winsock 2 UDP socket, IPv4. The socket is
// connected to the remote address, so the system drops datagrams from
// anyone else. Its events arrive by WSAAsyncSelect at a message-only window
// of its own, which may run inside any message loop (a message box's too):
// there it only notes what happened, and the owner hears of it from the
// event pump.
class Win32UdpSocket final : public IUdpSocket, private ISocketErrorSource {
public:
    Win32UdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, SocketErrorWatch& errorWatch,
                   IMonotonicClock& clock);
    ~Win32UdpSocket() override;

    Win32UdpSocket(const Win32UdpSocket&) = delete;
    Win32UdpSocket& operator=(const Win32UdpSocket&) = delete;

    void Protocol(int protocol) override;
    void RemoteHost(const std::string& host) override;
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

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSocketEvent(LPARAM event);
    void OnLookupEnded(WPARAM tag);
    void CheckPendingError() override;

    // Each returns the Winsock error that stopped it, 0 when none did.
    int Connect(in_addr address);
    int SendUnsent();
    void ReadDatagrams();
    void PostError(int error);

    IUdpSocketEvents& m_events;
    DeferredEvents& m_deferred;
    SocketErrorWatch& m_errorWatch;
    IMonotonicClock& m_clock;
    UniqueWindow m_window;
    UniqueSocket m_socket;

    std::string m_remoteHost;
    std::uint16_t m_remotePort = 0;
    std::uint16_t m_localPort = 0;
    int m_state = StateClosed;
    std::shared_ptr<HostLookup> m_lookup;
    WPARAM m_lookupTag = 0;
    std::vector<std::vector<std::uint8_t>> m_unsent; // waiting for the host name's lookup
    MonotonicTime m_sentAt{};
    std::deque<Received> m_received;
    std::vector<std::uint8_t> m_buffer;
};

class Win32UdpSocketFactory final : public IUdpSocketFactory {
public:
    // Sockets are made only while Winsock is started.
    Win32UdpSocketFactory(const WinsockSession& winsock, DeferredEvents& deferred, SocketErrorWatch& errorWatch,
                          IMonotonicClock& clock);
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override;

private:
    DeferredEvents& m_deferred;
    SocketErrorWatch& m_errorWatch;
    IMonotonicClock& m_clock;
};

} // namespace chronavel
