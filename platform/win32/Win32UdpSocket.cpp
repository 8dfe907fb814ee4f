#include "platform/win32/Win32UdpSocket.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinsockSession.h"

#include <ws2tcpip.h>

namespace chronavel {
namespace {

constexpr wchar_t WindowClassName[] = L"ChronavelSocketWindow";
constexpr UINT SocketEventMessage = WM_APP + 1;
constexpr UINT LookupEndedMessage = WM_APP + 2;
// Every UDP datagram fits, so none is ever cut short.
constexpr std::size_t MaxDatagramSize = 65536;

std::uint16_t ToPort(int port)
{
    if (port < 0 || port > 65535) {
        throw PlatformError("Invalid port number: " + std::to_string(port));
    }
    return static_cast<std::uint16_t>(port);
}

[[noreturn]] void ThrowSocketError(int error)
{
    throw PlatformError(DescribeSystemError(static_cast<unsigned long>(error)));
}

} // namespace

Win32UdpSocket::Win32UdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, SocketErrorWatch& errorWatch,
                               IMonotonicClock& clock)
    : m_events(events)
    , m_deferred(deferred)
    , m_errorWatch(errorWatch)
    , m_clock(clock)
    , m_buffer(MaxDatagramSize)
{
    static const ATOM windowClass = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = &Win32UdpSocket::WindowProc;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = WindowClassName;
        const ATOM registered = RegisterClassExW(&description);
        if (registered == 0) {
            throw PlatformError(DescribeSystemError(GetLastError()));
        }
        return registered;
    }();

    m_window.reset(CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), this));
    if (!m_window) {
        throw PlatformError(DescribeSystemError(GetLastError()));
    }
    m_errorWatch.Add(*this);
}

Win32UdpSocket::~Win32UdpSocket()
{
    m_errorWatch.Remove(*this);
    Close();
}

void Win32UdpSocket::Protocol(int protocol)
{
    if (protocol != ProtocolUdp) {
        throw PlatformError("Only the UDP protocol is supported");
    }
}

void Win32UdpSocket::RemoteHost(const std::string& host)
{
    m_remoteHost = host;
}

void Win32UdpSocket::RemotePort(int port)
{
    m_remotePort = ToPort(port);
}

void Win32UdpSocket::LocalPort(int port)
{
    m_localPort = ToPort(port);
}

void Win32UdpSocket::Bind(int localPort)
{
    const std::uint16_t port = ToPort(localPort);
    if (m_socket) {
        throw PlatformError("Invalid operation at current state");
    }
    UniqueSocket created(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!created) {
        ThrowSocketError(WSAGetLastError());
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(created.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        ThrowSocketError(WSAGetLastError());
    }
    // Makes the socket non-blocking too.
    if (WSAAsyncSelect(created.get(), m_window.get(), SocketEventMessage, FD_READ) == SOCKET_ERROR) {
        ThrowSocketError(WSAGetLastError());
    }
    m_socket = std::move(created);
    m_localPort = port;
    m_state = StateOpen;
}

void Win32UdpSocket::SendData(const std::vector<std::uint8_t>& datagram)
{
    if (m_remoteHost.empty()) {
        throw PlatformError("No remote host is set");
    }
    switch (m_state) {
    case StateResolvingHost:
        m_unsent.push_back(datagram); // sent once the lookup ends
        return;
    case StateClosed:
        Bind(m_localPort);
        break;
    case StateOpen:
    case StateConnected:
        break;
    default:
        throw PlatformError("Invalid operation at current state");
    }
    m_unsent.push_back(datagram);

    int error = 0;
    if (m_state == StateOpen) {
        in_addr address{};
        if (InetPtonW(AF_INET, ToWide(m_remoteHost).c_str(), &address) != 1) {
            m_lookup = HostLookup::Start(m_remoteHost, m_window.get(), LookupEndedMessage, ++m_lookupTag);
            m_state = StateResolvingHost;
            return;
        }
        error = Connect(address);
    }
    if (error == 0) {
        error = SendUnsent();
    }
    if (error != 0) {
        m_state = StateError;
        ThrowSocketError(error);
    }
}

MonotonicTime Win32UdpSocket::GetData(std::vector<std::uint8_t>& datagram)
{
    if (m_received.empty()) {
        throw PlatformError("No datagram has been received");
    }
    Received oldest = std::move(m_received.front());
    m_received.pop_front();
    datagram = std::move(oldest.bytes);
    return oldest.arrivedAt;
}

void Win32UdpSocket::Close()
{
    m_deferred.Discard(this);
    if (m_lookup) {
        m_lookup->Abandon();
        m_lookup.reset();
    }
    m_socket.reset();
    m_unsent.clear();
    m_received.clear();
    m_state = StateClosed;
}

LRESULT CALLBACK Win32UdpSocket::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32UdpSocket*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        if (message == SocketEventMessage) {
            // A closed socket's last events may still be queued.
            if (self->m_socket && static_cast<SOCKET>(wParam) == self->m_socket.get()) {
                self->OnSocketEvent(lParam);
            }
            return 0;
        }
        if (message == LookupEndedMessage) {
            self->OnLookupEnded(wParam);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32UdpSocket::OnSocketEvent(LPARAM event)
{
    if (const int error = WSAGETSELECTERROR(event); error != 0) {
        PostError(error);
        return;
    }
    if (WSAGETSELECTEVENT(event) == FD_READ) {
        ReadDatagrams();
    }
}

void Win32UdpSocket::OnLookupEnded(WPARAM tag)
{
    if (!m_lookup || tag != m_lookupTag) {
        return; // an abandoned lookup's
    }
    const HostLookup::Result result = m_lookup->TakeResult();
    m_lookup.reset();
    int error = result.error;
    if (error == 0) {
        error = Connect(result.address);
    }
    if (error == 0) {
        error = SendUnsent();
    }
    if (error != 0) {
        PostError(error);
    }
}

void Win32UdpSocket::CheckPendingError()
{
    if (m_state != StateConnected) {
        return;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(m_socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 && error != 0) {
        PostError(error);
    }
}

int Win32UdpSocket::Connect(in_addr address)
{
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(m_remotePort);
    remote.sin_addr = address;
    // A datagram socket connects at once: nothing goes on the wire.
    if (connect(m_socket.get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == SOCKET_ERROR) {
        return WSAGetLastError();
    }
    m_state = StateConnected;
    return 0;
}

int Win32UdpSocket::SendUnsent()
{
    std::vector<std::vector<std::uint8_t>> unsent = std::move(m_unsent);
    m_unsent.clear();
    for (const std::vector<std::uint8_t>& datagram : unsent) {
        if (send(m_socket.get(), reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0)
            == SOCKET_ERROR) {
            return WSAGetLastError();
        }
        m_sentAt = m_clock.Now();
    }
    return 0;
}

void Win32UdpSocket::ReadDatagrams()
{
    // Noted now, even inside a message box's loop, while the event itself
    // waits for the next pump call: the reply's age must not grow meanwhile.
    const MonotonicTime arrivedAt = m_clock.Now();
    for (;;) {
        const int received
            = recv(m_socket.get(), reinterpret_cast<char*>(m_buffer.data()), static_cast<int>(m_buffer.size()), 0);
        if (received == SOCKET_ERROR) {
            // WSAECONNRESET here is Windows' word for a refused datagram.
            if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) {
                PostError(error);
            }
            return;
        }
        if (m_state != StateConnected) {
            continue; // before the remote address is known anyone may send; dropped
        }
        m_received.push_back({{m_buffer.begin(), m_buffer.begin() + received}, arrivedAt});
        m_deferred.Post(this, [this, size = static_cast<long>(received)] {
            if (m_state == StateConnected) {
                m_events.DataArrival(size);
            }
        });
    }
}

void Win32UdpSocket::PostError(int error)
{
    if (m_state == StateError) {
        return; // the owner has heard already
    }
    m_state = StateError;
    m_unsent.clear();
    m_deferred.Post(this, [this, error, text = DescribeSystemError(static_cast<unsigned long>(error))] {
        m_events.Error(error, text);
    });
}

Win32UdpSocketFactory::Win32UdpSocketFactory(const WinsockSession& /*winsock*/, DeferredEvents& deferred,
                                             SocketErrorWatch& errorWatch, IMonotonicClock& clock)
    : m_deferred(deferred)
    , m_errorWatch(errorWatch)
    , m_clock(clock)
{
}

std::unique_ptr<IUdpSocket> Win32UdpSocketFactory::CreateSocket(IUdpSocketEvents& events)
{
    return std::make_unique<Win32UdpSocket>(events, m_deferred, m_errorWatch, m_clock);
}

} // namespace chronavel
