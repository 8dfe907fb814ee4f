#pragma once

#include "platform/EventPump.h"
#include "platform/UdpSocket.h"
#include "platform/WallClock.h"
#include "platform/win32/UniqueSocket.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace chronavel::testing {

// The SNTP responders tests/wine/with-sntp-responders started on 127.0.0.1
// (Linux processes, outside Wine): one answers every request with
// Dec8th2026At071022, echoing the request's transmit timestamp into the
// reply's originate field; the other never answers.
int AnsweringSntpPort();
int SilentSntpPort();

// The answering one again, on ::1, inside this process, as long as it
// lives. Needs Winsock started.
class Ipv6SntpResponder {
public:
    Ipv6SntpResponder();
    ~Ipv6SntpResponder();

    int port() const { return m_port; }

private:
    int m_port = 0; // before the socket, which sets it
    UniqueSocket m_socket;
    std::atomic<bool> m_bStopping{false};
    std::thread m_thread;
};

// A UDP port on 127.0.0.1 that nobody listens on: datagrams sent there come
// back as ICMP port unreachable. Needs Winsock started.
int ClosedUdpPort();
// The same for TCP: connections there are refused.
int ClosedTcpPort();

// Pumps as the request's wait does, until done or the wall clock has moved
// on by the limit. Returns the number of pump calls.
int PumpUntil(IEventPump& pump, const std::function<bool()>& done, std::chrono::seconds limit);

// What a socket reported, in order.
class RecordingSocketEvents final : public IUdpSocketEvents {
public:
    struct Event {
        bool isError = false;
        long bytesTotal = 0;
        int number = 0;
        std::string description;
    };

    void DataArrival(long bytesTotal) override { events.push_back({false, bytesTotal, 0, {}}); }
    void Error(int number, const std::string& description) override
    {
        events.push_back({true, 0, number, description});
    }

    std::vector<Event> events;
};

} // namespace chronavel::testing
