#pragma once

#include "platform/UdpSocket.h"

#include <string>
#include <vector>

namespace chronavel::testing {

// The SNTP responders tests/wine/with-sntp-responders started on 127.0.0.1
// (Linux processes, outside Wine): one answers every request with
// Dec8th2026At071022, echoing the request's transmit timestamp into the
// reply's originate field; the other never answers.
int AnsweringSntpPort();
int SilentSntpPort();

// A UDP port on 127.0.0.1 that nobody listens on: datagrams sent there come
// back as ICMP port unreachable. Needs Winsock started.
int ClosedUdpPort();
// The same for TCP: connections there are refused.
int ClosedTcpPort();

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
