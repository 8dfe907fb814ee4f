#include "platform/qt/QtUdpSocket.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/PortNumber.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>

#include <sys/socket.h>

#include <iterator>

namespace chronavel {
namespace {

// An ICMP error (port unreachable, say) waiting on a connected socket.
// Qt 6.4 wakes the socket for it but neither reports nor keeps it: asking
// for pending datagrams clears it. Zero when there is none.
int TakePendingSocketError(const QUdpSocket& socket)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (socket.socketDescriptor() < 0
        || getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return 0;
    }
    return error;
}

} // namespace

QtUdpSocket::QtUdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, IMonotonicClock& clock)
    : m_events(events)
    , m_deferred(deferred)
    , m_clock(clock)
{
    // NTP goes straight to its server, as on Windows; no proxy carries it,
    // and asking Qt's proxy settings cost each request a quarter of a millisecond.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    connect(&m_socket, &QUdpSocket::connected, this, &QtUdpSocket::OnConnected);
    connect(&m_socket, &QUdpSocket::readyRead, this, &QtUdpSocket::OnReadyRead);
    connect(&m_socket, &QUdpSocket::errorOccurred, this, &QtUdpSocket::OnErrorOccurred);
}

QtUdpSocket::~QtUdpSocket()
{
    m_socket.disconnect(this);
    m_deferred.Discard(this);
}

void QtUdpSocket::Protocol(int protocol)
{
    if (protocol != ProtocolUdp) {
        throw PlatformError("Only the UDP protocol is supported");
    }
}

void QtUdpSocket::RemoteHost(const std::string& host)
{
    m_remoteHost = QString::fromStdString(host);
}

void QtUdpSocket::RemotePort(int port)
{
    m_remotePort = ToPort(port);
}

void QtUdpSocket::LocalPort(int port)
{
    // Only checked: the port to bind is the one Bind is handed.
    ToPort(port);
}

int QtUdpSocket::State() const
{
    // Indexed by QAbstractSocket::SocketState, which Qt numbers 0 to 6 in this order.
    static_assert(QAbstractSocket::UnconnectedState == 0 && QAbstractSocket::ClosingState == 6);
    static constexpr int States[]
        = {StateClosed, StateResolvingHost, StateConnecting, StateConnected, StateOpen, StateListening, StateClosing};
    const auto state = static_cast<std::size_t>(m_socket.state());
    return m_bFailed || state >= std::size(States) ? StateError : States[state];
}

void QtUdpSocket::Bind(int localPort)
{
    if (!m_socket.bind(QHostAddress::Any, ToPort(localPort))) {
        throw PlatformError(m_socket.errorString().toStdString());
    }
}

void QtUdpSocket::SendData(const std::vector<std::uint8_t>& datagram)
{
    if (m_remoteHost.isEmpty()) {
        throw PlatformError("No remote host is set");
    }
    m_unsent.emplace_back(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size()));
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        SendUnsent();
        return;
    }
    if (m_socket.state() == QAbstractSocket::HostLookupState || m_socket.state() == QAbstractSocket::ConnectingState) {
        return; // sent once connected
    }
    // The lookup of a host name runs in the background; connected() or
    // errorOccurred() follow through the event loop (at once for an address).
    m_socket.connectToHost(m_remoteHost, m_remotePort);
    if (m_bFailed) {
        m_deferred.Discard(this); // reported here, not again as an event
        throw PlatformError(m_socket.errorString().toStdString());
    }
}

MonotonicTime QtUdpSocket::GetData(std::vector<std::uint8_t>& datagram)
{
    if (!m_socket.hasPendingDatagrams()) {
        throw PlatformError("No datagram has been received");
    }
    const QNetworkDatagram received = m_socket.receiveDatagram();
    if (!received.isValid()) {
        throw PlatformError(m_socket.errorString().toStdString());
    }
    const QByteArray data = received.data();
    datagram.assign(data.begin(), data.end());
    const MonotonicTime arrivedAt = m_arrivedAt.value_or(m_clock.Now());
    m_arrivedAt.reset();
    return arrivedAt;
}

void QtUdpSocket::Close()
{
    m_deferred.Discard(this);
    m_unsent.clear();
    m_arrivedAt.reset();
    m_bFailed = false;
    m_socket.abort();
}

void QtUdpSocket::OnConnected()
{
    SendUnsent();
}

void QtUdpSocket::SendUnsent()
{
    for (const QByteArray& datagram : m_unsent) {
        if (m_socket.write(datagram) != datagram.size()) {
            PostError(m_socket.error(), m_socket.errorString());
            break;
        }
        m_sentAt = m_clock.Now();
    }
    m_unsent.clear();
}

void QtUdpSocket::OnReadyRead()
{
    if (const int error = TakePendingSocketError(m_socket); error != 0) {
        PostError(QAbstractSocket::ConnectionRefusedError, qt_error_string(error));
        return;
    }
    if (!m_socket.hasPendingDatagrams()) {
        return;
    }
    // Noted now, even inside a message box's loop, while the event itself
    // waits for the next pump call: the reply's age must not grow meanwhile.
    if (!m_arrivedAt) {
        m_arrivedAt = m_clock.Now();
    }
    const auto size = static_cast<long>(m_socket.pendingDatagramSize());
    m_deferred.Post(this, [this, size] {
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            m_events.DataArrival(size);
        }
    });
}

void QtUdpSocket::OnErrorOccurred(QAbstractSocket::SocketError error)
{
    PostError(error, m_socket.errorString());
}

void QtUdpSocket::PostError(int number, const QString& description)
{
    m_bFailed = true;
    m_unsent.clear();
    m_deferred.Post(this, [this, number, text = description.toStdString()] { m_events.Error(number, text); });
}

std::unique_ptr<IUdpSocket> QtUdpSocketFactory::CreateSocket(IUdpSocketEvents& events)
{
    return std::make_unique<QtUdpSocket>(events, m_deferred, m_clock);
}

} // namespace chronavel
