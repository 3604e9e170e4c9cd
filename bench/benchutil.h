#pragma once
// What the load benchmarks share: timing, the median of repetitions and the
// generated listing-like text.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "base/cp1251.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// CPU time of the process: on a machine shared with other work the wall
// time swings with the load, the CPU time much less.
inline double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A listing-like line of the given length (ANSI: channel names in Cyrillic).
inline std::string line(unsigned& seed, std::size_t len) {
    using orbisk::operator""_cp1251;
    static const char* const kWords[] = {"НТВ"_cp1251, "Новости"_cp1251, "07.00", "21.30",
                                         "film",       "сериал"_cp1251,  "news",  "sport"};
    std::string s;
    while (s.size() < len) {
        seed = seed * 1103515245u + 12345u;
        s += kWords[(seed >> 16) % 8];
        s += ' ';
    }
    s.resize(len);
    return s;
}

}  // namespace bench
