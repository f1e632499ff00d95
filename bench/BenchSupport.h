// Small helpers the whole-process benchmarks share: wall-clock timing and the process's
// resident-memory readings from /proc.
#pragma once

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// kB from a line of /proc/self/status ("VmHWM:", "VmRSS:").
inline long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}

// Resets VmHWM to the current resident size, so the next reading is the peak of what follows.
inline void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace bench
