// Start-up to the window first shown, and peak resident memory, of the
// program beside a minimal Qt Widgets program with one button (and beside
// the same minimal program with the program's network libraries linked in).
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

extern char** environ;

namespace chronavel::bench {
namespace {

// Runs the probe to its end; its peak memory in KiB, or -1 when it failed.
long RunProbeOnce(const char* probe)
{
    int output[2];
    if (pipe(output) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    char* const argv[] = {const_cast<char*>(probe), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, probe, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);

    std::string printed;
    char buffer[256];
    for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;) {
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    close(output[0]);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    long peakKiB = -1;
    std::sscanf(printed.c_str(), "VmHWM: %ld kB", &peakKiB);
    return peakKiB;
}

void RunProbe(benchmark::State& state, const char* probe)
{
    long peakKiB = 0;
    for (auto _ : state) {
        const long peak = RunProbeOnce(probe);
        if (peak < 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        peakKiB = std::max(peakKiB, peak);
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
}

void BM_StartupChronavel(benchmark::State& state)
{
    RunProbe(state, CHRONAVEL_STARTUP_PROBE);
}
void BM_StartupMinimalWidgets(benchmark::State& state)
{
    RunProbe(state, CHRONAVEL_MINIMAL_PROBE);
}
void BM_StartupMinimalWithNetworkLibraries(benchmark::State& state)
{
    RunProbe(state, CHRONAVEL_MINIMAL_NETWORK_PROBE);
}

BENCHMARK(BM_StartupChronavel)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_StartupMinimalWidgets)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_StartupMinimalWithNetworkLibraries)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace chronavel::bench
