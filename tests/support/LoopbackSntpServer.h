#pragma once

#include "tests/support/LoopbackSockets.h"
#include "tests/support/SntpReply.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace chronavel::testing {

// An SNTP responder on 127.0.0.1 and ::1 at an ephemeral port, on its own thread,
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

    int port() const { return m_sockets.port(); }
    void Answer(Script script);
    // Every request received so far.
    std::vector<Bytes> Requests() const;
    void ForgetRequests();

private:
    void Serve();
    void Reply(int socket);

    LoopbackSockets m_sockets{SOCK_DGRAM};
    LoopbackSockets m_otherSockets{SOCK_DGRAM};
    std::atomic<bool> m_bStopping{false};
    mutable std::mutex m_mutex;
    Script m_script;
    std::vector<Bytes> m_requests;
    std::thread m_thread;
};

// A UDP port on 127.0.0.1 and ::1 that nobody listens on: datagrams sent there come
// back as ICMP port unreachable.
int ClosedUdpPort();

} // namespace chronavel::testing
