#pragma once

#include "platform/MonotonicClock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace chronavel {

// What a socket reports to its owner. Events arrive only from inside a call
// of the event pump, never from inside a call on the socket itself.
class IUdpSocketEvents {
public:
    virtual ~IUdpSocketEvents() = default;
    virtual void DataArrival(long bytesTotal) = 0;
    virtual void Error(int number, const std::string& description) = 0;
};

// An event-driven socket in the manner of a socket control: properties are
// set first, then Bind and SendData. Calls that fail synchronously throw
// PlatformError.
class IUdpSocket {
public:
    enum : int { ProtocolTcp = 0, ProtocolUdp = 1 };
    // The states of a socket control.
    enum : int {
        StateClosed = 0,
        StateOpen = 1,
        StateListening = 2,
        StateResolvingHost = 4,
        StateConnecting = 6,
        StateConnected = 7,
        StateClosing = 8,
        StateError = 9,
    };

    virtual ~IUdpSocket() = default;

    virtual void Protocol(int protocol) = 0;
    virtual void RemoteHost(const std::string& host) = 0;
    virtual void RemotePort(int port) = 0;
    virtual void LocalPort(int port) = 0;
    virtual int State() const = 0;

    virtual void Bind(int localPort) = 0;
    // The datagram goes to RemoteHost:RemotePort, and from then on only
    // datagrams from that address and port are received. The host name may
    // be resolved after the call returns; a failed lookup arrives as Error.
    virtual void SendData(const std::vector<std::uint8_t>& datagram) = 0;
    // When the last datagram actually left, which is after the host name's
    // lookup; the clock's start when nothing has been sent.
    virtual MonotonicTime SentAt() const = 0;
    // Takes the oldest datagram received, whole, and tells when it reached
    // this computer (the socket notes it the moment it is woken for it).
    virtual MonotonicTime GetData(std::vector<std::uint8_t>& datagram) = 0;
    virtual void Close() = 0;
};

class IUdpSocketFactory {
public:
    virtual ~IUdpSocketFactory() = default;
    virtual std::unique_ptr<IUdpSocket> CreateSocket(IUdpSocketEvents& events) = 0;
};

} // namespace chronavel
