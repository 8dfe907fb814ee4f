#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace chronavel::testing {

using Bytes = std::vector<std::uint8_t>;

// The transmit seconds the tests answer with: 2026-12-08 07:10:22 UTC.
inline constexpr std::uint32_t Dec8th2026At071022 = 4005702622U;

// A server reply carrying the given transmit timestamp; the other fields
// are those of a healthy stratum 2 server unless changed.
struct SntpReplyFields {
    std::uint32_t transmitSeconds = 0;
    std::uint32_t transmitFraction = 0;
    std::uint32_t receiveSeconds = 0;
    std::uint32_t receiveFraction = 0;
    std::uint64_t originate = 0; // the request's transmit timestamp, if it is to match
    std::uint8_t leap = 0;
    std::uint8_t version = 3;
    std::uint8_t mode = 4;
    std::uint8_t stratum = 2;
};
Bytes MakeSntpReply(const SntpReplyFields& fields);

// An SNTP responder on 127.0.0.1 at an ephemeral port, on its own thread,
// answering each request as the test scripts it. Silent until scripted.
class LoopbackSntpServer {
public:
    struct Datagram {
        Bytes bytes;
        bool fromOtherPort = false; // sent from a second socket, as a stranger would
        // Its originate timestamp is overwritten with the request's transmit
        // timestamp, as a server does.
        bool echoesRequest = true;
    };
    using Script = std::function<std::vector<Datagram>(const Bytes& request)>;

    LoopbackSntpServer();
    ~LoopbackSntpServer();

    LoopbackSntpServer(const LoopbackSntpServer&) = delete;
    LoopbackSntpServer& operator=(const LoopbackSntpServer&) = delete;

    int port() const { return m_port; }
    void Answer(Script script);
    // Every request received so far.
    std::vector<Bytes> Requests() const;
    void ForgetRequests();

private:
    void Serve();

    int m_socket = -1;
    int m_otherSocket = -1;
    int m_port = 0;
    std::atomic<bool> m_bStopping{false};
    mutable std::mutex m_mutex;
    Script m_script;
    std::vector<Bytes> m_requests;
    std::thread m_thread;
};

// A UDP port on 127.0.0.1 that nobody listens on: datagrams sent there come
// back as ICMP port unreachable.
int ClosedUdpPort();

} // namespace chronavel::testing
