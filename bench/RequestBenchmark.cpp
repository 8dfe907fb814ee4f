// A whole request against loopback servers, beside the same two exchanges
// made bare: one UDP round trip on a plain socket and one HTTPS POST made
// with libcurl directly. The request's own cost is the difference.
#include "bench/LoopbackServices.h"
#include "tests/support/QtTestPlatform.h"
#include "time/clsCheckTime.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace chronavel::bench {
namespace {

void BM_WholeRequest(benchmark::State& state)
{
    LoopbackServices services;
    testing::QtTestPlatform platform;
    for (auto _ : state) {
        clsCheckTime check(platform.platform, services.endpoints());
        const std::string result = check.GetRealTime("ON");
        if (result.rfind("Error", 0) == 0) {
            state.SkipWithError(result.c_str());
            return;
        }
        platform.messageBox.shown.clear();
        services.sntp.ForgetRequests();
    }
}
BENCHMARK(BM_WholeRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

bool UdpRoundTrip(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::uint8_t packet[48] = {0x1B};
    bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0
        && ::send(fd, packet, sizeof packet, 0) == sizeof packet;
    pollfd ready{fd, POLLIN, 0};
    answered = answered && ::poll(&ready, 1, 10000) == 1 && ::recv(fd, packet, sizeof packet, 0) > 0;
    ::close(fd);
    return answered;
}

void BM_BareExchanges(benchmark::State& state)
{
    LoopbackServices services;
    const Endpoints endpoints = services.endpoints();
    for (auto _ : state) {
        if (!UdpRoundTrip(endpoints.ntpPort) || !HttpsPost(endpoints)) {
            state.SkipWithError("a bare exchange failed");
            return;
        }
        services.sntp.ForgetRequests();
    }
}
BENCHMARK(BM_BareExchanges)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

// CPU time of the thread that waits out a silent server's full 10 seconds.
void BM_TimeoutWaitCpu(benchmark::State& state)
{
    testing::LoopbackSntpServer silent;
    testing::QtTestPlatform platform;
    for (auto _ : state) {
        clsCheckTime check(platform.platform,
                           Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = silent.port()});
        if (check.GetRealTime("ON") != "Error: Timeout") {
            state.SkipWithError("expected a timeout");
            return;
        }
    }
}
BENCHMARK(BM_TimeoutWaitCpu)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

static size_t Collect(char* data, size_t size, size_t count, void* body)
{
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

bool HttpsPost(const Endpoints& endpoints)
{
    const std::string url = "https://" + endpoints.timeZoneServiceHost
        + "/maps/api/timezone/json?location=43.70011,%20-79.41630&timestamp=1796713822&key=benchmark";
    std::string body;
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, endpoints.trustedCaFile.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const bool ok = curl_easy_perform(curl) == CURLE_OK && !body.empty();
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return ok;
}

} // namespace chronavel::bench
