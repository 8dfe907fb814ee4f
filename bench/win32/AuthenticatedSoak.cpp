// win32_authenticated_soak: 200 authenticated requests in one process, each
// with its own key exchange, against the loopback chronyd that
// tests/wine/with-nts-peers starts (scripts/bench --windows). Prints the
// process's handles and resident memory after the run against after the
// first fifty, and fails should handles grow or memory grow by 1 MiB.
#include "platform/win32/Win32Platform.h"
#include "tests/support/NtsPeers.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedHttpClient.h"
#include "time/clsCheckTime.h"

#include <windows.h>

#include <psapi.h>

#include <iostream>

namespace {

using namespace chronavel;
using namespace chronavel::testing;

struct Reading {
    long long handles = 0;
    long long residentKiB = 0;
};

// Handles counted by asking the handle table about each value, which Wine
// answers truly where it reports no count of its own.
Reading ReadProcess()
{
    Reading reading;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        reading.handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        throw std::runtime_error("the process's memory cannot be read");
    }
    reading.residentKiB = static_cast<long long>(memory.WorkingSetSize / 1024);
    return reading;
}

} // namespace

int main()
{
    try {
        constexpr int Requests = 200;
        const NtsPeers peers;
        ScriptedHttpClientFactory http{UtcZoneResponse};
        Win32Platform windows(http);
        // Boxes that return at once: the soak is about the request.
        RecordingMessageBox boxes;
        const Platform& platform = windows.platform();
        const Platform quiet{boxes,
                             platform.eventPump,
                             platform.wallClock,
                             platform.monotonicClock,
                             platform.randomSource,
                             platform.udpSockets,
                             platform.httpClients,
                             platform.jsonParsers,
                             platform.dateFormatter,
                             platform.tlsKeyExchanges,
                             platform.aeadSiv};
        const Endpoints endpoints{.ntsServer = peers.Server(Tampering::None), .trustedCaFile = peers.caFile()};
        Reading after50;
        for (int request = 1; request <= Requests; ++request) {
            if (const std::string result = clsCheckTime(quiet, endpoints).GetRealTime("ON");
                result.starts_with("Error")) {
                std::cerr << "Request " << request << ": " << result << '\n';
                return 1;
            }
            boxes.shown.clear();
            http.requests.clear();
            if (request == 50) {
                after50 = ReadProcess();
            }
        }
        const Reading end = ReadProcess();
        const long long handleGrowth = end.handles - after50.handles;
        const long long memoryGrowth = end.residentKiB - after50.residentKiB;
        std::cout << Requests << " authenticated requests: handles_after_50=" << after50.handles
                  << " handle_growth=" << handleGrowth << " resident_after_50_KiB=" << after50.residentKiB
                  << " resident_growth_KiB=" << memoryGrowth << '\n';
        return handleGrowth <= 0 && memoryGrowth < 1024 ? 0 : 1;
    } catch (const std::exception& failure) {
        std::cerr << "Error: " << failure.what() << '\n';
        return 1;
    }
}
