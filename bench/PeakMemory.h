#pragma once

#include <cstdio>
#include <fstream>
#include <string>

namespace chronavel::bench {

// Prints this process's peak resident memory (VmHWM, in KiB) on standard
// output, for the benchmark that started it. Read from inside, as the
// kernel's figure for a spawned child starts from its parent's.
inline void PrintPeakMemory()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::printf("%s\n", line.c_str());
        }
    }
}

} // namespace chronavel::bench
