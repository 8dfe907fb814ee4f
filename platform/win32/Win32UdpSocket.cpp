#include "platform/win32/Win32UdpSocket.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/PortNumber.h"
#include "platform/win32/MessageWindow.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"

#include <system_error>

namespace chronavel {
namespace {

constexpr wchar_t WindowClassName[] = L"ChronavelSocketWindow";
constexpr UINT SocketEventMessage = WM_APP + 1;
constexpr UINT LookupEndedMessage = WM_APP + 2;
constexpr UINT_PTR PendingErrorTimer = 1;
// Every UDP datagram fits, so none is ever cut short.
constexpr std::size_t MaxDatagramSize = 65536;

} // namespace

Win32UdpSocket::Lookup Win32UdpSocket::LookUp(const std::wstring& host, const std::wstring& port, int family)
{
    ADDRINFOW hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    // For an IPv6 socket, the host's IPv4 addresses too, mapped into IPv6.
    hints.ai_flags = family == AF_INET6 ? AI_V4MAPPED | AI_ALL : 0;
    ADDRINFOW* found = nullptr;
    // GetAddrInfoW returns its error rather than setting WSAGetLastError.
    const int error = GetAddrInfoW(host.c_str(), port.c_str(), &hints, &found);
    return {error, std::unique_ptr<ADDRINFOW, AddressesFreer>(found)};
}

Win32UdpSocket::Win32UdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, IMonotonicClock& clock)
    : m_events(events)
    , m_deferred(deferred)
    , m_clock(clock)
    , m_buffer(MaxDatagramSize)
{
    m_window.reset(CreateMessageWindow(WindowClassName, &Win32UdpSocket::WindowProc, this));
}

void Win32UdpSocket::Protocol(int protocol)
{
    if (protocol != ProtocolUdp) {
        throw PlatformError("Only the UDP protocol is supported");
    }
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
    // IPv6 with IPv4 mapped into it; IPv4 alone where the system has no IPv6.
    SOCKADDR_INET local{};
    local.si_family = AF_INET6;
    UniqueSocket created(socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP));
    if (!created) {
        local.si_family = AF_INET;
        created = UniqueSocket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    }
    const DWORD bOnlyIpv6 = FALSE;
    if (!created
        || (local.si_family == AF_INET6
            && setsockopt(created.get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&bOnlyIpv6),
                          sizeof bOnlyIpv6)
                == SOCKET_ERROR)) {
        ThrowSystemError(WSAGetLastError());
    }
    local.Ipv6.sin6_port = htons(port); // where both families keep it
    const int size = local.si_family == AF_INET6 ? sizeof local.Ipv6 : sizeof local.Ipv4;
    if (bind(created.get(), reinterpret_cast<const sockaddr*>(&local), size) == SOCKET_ERROR
        // Makes the socket non-blocking too.
        || WSAAsyncSelect(created.get(), m_window.get(), SocketEventMessage, FD_READ) == SOCKET_ERROR) {
        ThrowSystemError(WSAGetLastError());
    }
    m_socket = std::move(created);
    m_family = local.si_family;
    m_localPort = port;
    m_state = StateOpen;
}

void Win32UdpSocket::SendData(const std::vector<std::uint8_t>& datagram)
{
    if (m_remoteHost.empty()) {
        throw PlatformError("No remote host is set");
    }
    if (m_state == StateError) {
        throw PlatformError("Invalid operation at current state");
    }
    if (m_state == StateClosed) {
        Bind(m_localPort);
    }
    m_unsent.push_back(datagram);
    if (m_state == StateOpen) {
        // An address too: GetAddrInfoW gives it in the socket's family.
        try {
            m_lookup = DetachedCall<Lookup>::Start(
                [host = ToWide(m_remoteHost), port = std::to_wstring(m_remotePort), family = m_family] {
                    return LookUp(host, port, family);
                },
                [window = m_window.get(), tag = ++m_lookupTag] { PostMessageW(window, LookupEndedMessage, tag, 0); });
        } catch (const std::system_error& failure) {
            throw PlatformError(failure.what());
        }
        m_state = StateResolvingHost;
    } else if (m_state == StateConnected) {
        if (const int error = SendUnsent(); error != 0) {
            m_state = StateError;
            ThrowSystemError(error);
        }
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
    KillTimer(m_window.get(), PendingErrorTimer);
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
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case SocketEventMessage:
        // A closed socket's last events may still be queued.
        if (self->m_socket && static_cast<SOCKET>(wParam) == self->m_socket.get()) {
            self->OnSocketEvent(lParam);
        }
        return 0;
    case LookupEndedMessage:
        self->OnLookupEnded(wParam);
        return 0;
    case WM_TIMER:
        self->CheckPendingError();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
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
    const Lookup result = std::move(m_lookup->Take().value());
    m_lookup.reset();
    int error = result.error;
    if (error == 0) {
        error = Connect(result.addresses.get());
    }
    if (error == 0) {
        error = SendUnsent();
    }
    if (error != 0) {
        PostError(error);
    }
}

// Wine reports a datagram that its peer refused (ICMP port unreachable) by
// no message at all: the error only waits in the socket's SO_ERROR.
void Win32UdpSocket::CheckPendingError()
{
    int error = 0;
    int length = sizeof error;
    if (m_state == StateConnected
        && getsockopt(m_socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0
        && error != 0) {
        PostError(error);
    }
}

int Win32UdpSocket::Connect(const ADDRINFOW* addresses)
{
    // The first address the socket can reach, as Qt's socket takes it. A
    // datagram socket connects at once: nothing goes on the wire.
    int error = WSANO_DATA;
    for (const ADDRINFOW* address = addresses; address != nullptr; address = address->ai_next) {
        if (connect(m_socket.get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0) {
            m_state = StateConnected;
            SetTimer(m_window.get(), PendingErrorTimer, 200, nullptr);
            return 0;
        }
        error = WSAGetLastError();
    }
    return error;
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

} // namespace chronavel
