#pragma once

#include "platform/UdpSocket.h"

#include <QObject>
#include <QUdpSocket>

#include <string>
#include <vector>

namespace chronavel {

class DeferredEvents;

// The socket control on QUdpSocket. The socket is connected to the remote
// address, so the kernel drops datagrams from anyone else.
class QtUdpSocket final : public QObject, public IUdpSocket {
    Q_OBJECT
public:
    QtUdpSocket(IUdpSocketEvents& events, DeferredEvents& deferred);
    ~QtUdpSocket() override;

    void Protocol(int protocol) override;
    void RemoteHost(const std::string& host) override;
    void RemotePort(int port) override;
    void LocalPort(int port) override;
    int State() const override;

    void Bind(int localPort) override;
    void SendData(const std::vector<std::uint8_t>& datagram) override;
    void GetData(std::vector<std::uint8_t>& datagram) override;
    void Close() override;

private:
    void OnConnected();
    void OnReadyRead();
    void OnErrorOccurred(QAbstractSocket::SocketError error);
    void PostError(int number, const QString& description);
    void SendUnsent();

    IUdpSocketEvents& m_events;
    DeferredEvents& m_deferred;
    QUdpSocket m_socket;

    QString m_remoteHost;
    quint16 m_remotePort = 0;
    bool m_bFailed = false;
    std::vector<QByteArray> m_unsent; // waiting for the host name's lookup
};

class QtUdpSocketFactory final : public IUdpSocketFactory {
public:
    explicit QtUdpSocketFactory(DeferredEvents& deferred) : m_deferred(deferred) {}
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override;

private:
    DeferredEvents& m_deferred;
};

} // namespace chronavel
