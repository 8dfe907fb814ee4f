#pragma once

#include "platform/UdpSocket.h"

#include <QObject>
#include <QUdpSocket>

#include <optional>
#include <string>
#include <vector>

namespace chronavel {

class DeferredEvents;

// The socket control on QUdpSocket. The socket is connected to the remote
// address, so the kernel drops datagrams from anyone else.
class QtUdpSocket final : public QObject, public IUdpSocket {
    Q_OBJECT
public:
    QtUdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred, IMonotonicClock& clock);
    ~QtUdpSocket() override;

    void Protocol(int protocol) override;
    void RemoteHost(const std::string& host) override;
    void RemotePort(int port) override;
    void LocalPort(int port) override;
    int State() const override;

    void Bind(int localPort) override;
    void SendData(const std::vector<std::uint8_t>& datagram) override;
    MonotonicTime SentAt() const override { return m_sentAt; }
    MonotonicTime GetData(std::vector<std::uint8_t>& datagram) override;
    void Close() override;

private:
    void OnConnected();
    void OnReadyRead();
    void OnErrorOccurred(QAbstractSocket::SocketError error);
    void PostError(int number, const QString& description);
    void SendUnsent();

    IUdpSocketEvents& m_events;
    DeferredEvents& m_deferred;
    IMonotonicClock& m_clock;
    QUdpSocket m_socket;

    QString m_remoteHost;
    quint16 m_remotePort = 0;
    bool m_bFailed = false;
    std::vector<QByteArray> m_unsent; // waiting for the host name's lookup
    MonotonicTime m_sentAt{};
    std::optional<MonotonicTime> m_arrivedAt; // of the oldest datagram not yet taken
};

class QtUdpSocketFactory final : public IUdpSocketFactory {
public:
    QtUdpSocketFactory(DeferredEvents& deferred, IMonotonicClock& clock) : m_deferred(deferred), m_clock(clock) {}
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override;

private:
    DeferredEvents& m_deferred;
    IMonotonicClock& m_clock;
};

} // namespace chronavel
