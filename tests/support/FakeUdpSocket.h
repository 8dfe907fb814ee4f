#pragma once

#include "platform/UdpSocket.h"

#include <functional>
#include <string>
#include <vector>

namespace chronavel::testing {

// A socket that records each call, in order, and fails where told to.
class FakeUdpSocket final : public IUdpSocket {
public:
    explicit FakeUdpSocket(IUdpSocketEvents& owner) : events(owner) {}

    void Protocol(int protocol) override { Record("Protocol " + std::to_string(protocol)); }
    void RemoteHost(const std::string& host) override { Record("RemoteHost " + host); }
    void RemotePort(int port) override { Record("RemotePort " + std::to_string(port)); }
    void LocalPort(int port) override { Record("LocalPort " + std::to_string(port)); }
    int State() const override { return state; }
    void Bind(int localPort) override;
    void SendData(const std::vector<std::uint8_t>& datagram) override;
    MonotonicTime SentAt() const override { return sentAt; }
    MonotonicTime GetData(std::vector<std::uint8_t>& datagram) override;
    void Close() override;

    IUdpSocketEvents& events;
    std::vector<std::string> calls;
    std::vector<std::uint8_t> sent;     // the last datagram SendData was given
    std::vector<std::uint8_t> received; // what GetData hands out
    MonotonicTime receivedAt{};         // and when it says that arrived
    MonotonicTime sentAt{};             // when it says the request left
    int state = StateClosed;
    std::string failingCall; // the call that throws, by name ("Bind", "GetData" ...)

private:
    void Record(const std::string& call);
};

class FakeUdpSocketFactory final : public IUdpSocketFactory {
public:
    std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) override;

    FakeUdpSocket* socket = nullptr; // the last one made; owned by its request
    std::string failingCall;         // handed to each new socket; "CreateSocket" fails here
};

} // namespace chronavel::testing
