// A thousand requests in one process: descriptors and resident memory after
// the run, against after the first fifty (once every one-time allocation of
// Qt, libcurl and OpenSSL has been made).
#include "bench/LoopbackServices.h"
#include "tests/support/QtTestPlatform.h"
#include "time/clsCheckTime.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace chronavel::bench {
namespace {

double OpenDescriptors()
{
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<double>(std::distance(begin(entries), end(entries)));
}

double ResidentKiB()
{
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident * (sysconf(_SC_PAGESIZE) / 1024));
}

void BM_ThousandRequests(benchmark::State& state)
{
    LoopbackServices services;
    testing::QtTestPlatform platform;
    double descriptorsAt50 = 0;
    double residentAt50 = 0;
    double descriptorsAtEnd = 0;
    double residentAtEnd = 0;
    for (auto _ : state) {
        for (int request = 1; request <= 1000; ++request) {
            clsCheckTime check(platform.platform, services.endpoints());
            if (check.GetRealTime("ON").rfind("Error", 0) == 0) {
                state.SkipWithError("a request failed");
                return;
            }
            platform.messageBox.shown.clear();
            services.sntp.ForgetRequests();
            services.https.forgetRequests();
            // Both readings at the same point of a request's cycle.
            if (request == 50) {
                descriptorsAt50 = OpenDescriptors();
                residentAt50 = ResidentKiB();
            } else if (request == 1000) {
                descriptorsAtEnd = OpenDescriptors();
                residentAtEnd = ResidentKiB();
            }
        }
    }
    state.counters["fd_after_50"] = descriptorsAt50;
    state.counters["fd_growth"] = descriptorsAtEnd - descriptorsAt50;
    state.counters["rss_after_50_KiB"] = residentAt50;
    state.counters["rss_growth_KiB"] = residentAtEnd - residentAt50;
}
BENCHMARK(BM_ThousandRequests)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace chronavel::bench
