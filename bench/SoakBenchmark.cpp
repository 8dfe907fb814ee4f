// Many requests in one process: descriptors and resident memory after the
// run, against after the first fifty (once every one-time allocation of Qt,
// libcurl and OpenSSL has been made).
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

// Descriptors and resident memory after the first fifty requests and after
// the last, both read at the same point of a request's cycle.
void Soak(benchmark::State& state, LoopbackServices& services, const Endpoints& endpoints, int requests)
{
    testing::QtTestPlatform platform;
    double descriptorsAt50 = 0;
    double residentAt50 = 0;
    for (auto _ : state) {
        for (int request = 1; request <= requests; ++request) {
            clsCheckTime check(platform.platform, endpoints);
            if (const std::string result = check.GetRealTime("ON"); result.starts_with("Error")) {
                state.SkipWithError(result.c_str());
                return;
            }
            platform.messageBox.shown.clear();
            services.sntp.ForgetRequests();
            services.https.forgetRequests();
            if (request == 50) {
                descriptorsAt50 = OpenDescriptors();
                residentAt50 = ResidentKiB();
            }
        }
    }
    state.counters["fd_after_50"] = descriptorsAt50;
    state.counters["fd_growth"] = OpenDescriptors() - descriptorsAt50;
    state.counters["rss_after_50_KiB"] = residentAt50;
    state.counters["rss_growth_KiB"] = ResidentKiB() - residentAt50;
}

void BM_ThousandRequests(benchmark::State& state)
{
    LoopbackServices services;
    Soak(state, services, services.endpoints(), 1000);
}
BENCHMARK(BM_ThousandRequests)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// Each with its own key exchange, on a thread of its own.
void BM_TwoHundredAuthenticatedRequests(benchmark::State& state)
{
    NtsServices services;
    Soak(state, services, services.ntsEndpoints(), 200);
}
BENCHMARK(BM_TwoHundredAuthenticatedRequests)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace chronavel::bench
