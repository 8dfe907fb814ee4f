// Start-up to the window first shown, and peak resident memory, of the
// program beside a minimal Qt Widgets program with one button.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>

extern char** environ;

namespace chronavel::bench {
namespace {

void RunProbe(benchmark::State& state, const char* probe)
{
    long peakKiB = 0;
    for (auto _ : state) {
        char* const argv[] = {const_cast<char*>(probe), nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, probe, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start the probe");
            return;
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
}

void BM_StartupChronavel(benchmark::State& state) { RunProbe(state, CHRONAVEL_STARTUP_PROBE); }
void BM_StartupMinimalWidgets(benchmark::State& state) { RunProbe(state, CHRONAVEL_MINIMAL_PROBE); }

BENCHMARK(BM_StartupChronavel)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_StartupMinimalWidgets)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace
} // namespace chronavel::bench
