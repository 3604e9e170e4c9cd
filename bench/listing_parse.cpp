// parseDay plus Normalize of one busy listing day: 40 channels of 50
// programmes each, in the message layout (continuation lines, times to mend).
#include <cstdio>
#include <string>
#include <vector>

#include "benchutil.h"
#include "listing/bodyparse.h"
#include "listing/channellist.h"

namespace {

using bench::Clock;
using orbisk::operator""_cp1251;

orbisk::StringList busyDay() {
    orbisk::StringList day;
    unsigned seed = 7;
    for (int c = 0; c < 40; ++c) {
        day.push_back("======");
        day.push_back("Понедельник. 7 декабря. Channel "_cp1251 + std::to_string(c + 1));
        day.push_back("-----------------");
        for (int e = 0; e < 50; ++e) {
            const int minutes = 6 * 60 + e * 27;
            char time[8];
            std::snprintf(time, sizeof time, "%02d.%02d", minutes / 60 % 24, minutes % 60);
            day.push_back(std::string(time) + " " + bench::line(seed, 40 + seed % 30));
            if (e % 7 == 3) day.push_back(bench::line(seed, 50));  // continues the title above
        }
    }
    return day;
}

}  // namespace

int main() {
    const orbisk::StringList day = busyDay();
    std::vector<double> runs;
    std::size_t entries = 0;
    for (int i = 0; i < 301; ++i) {
        const auto t0 = Clock::now();
        orbisk::ChannelList channels(nullptr, "HH.MM", '.');
        orbisk::parseDayText(channels, day, false, "======");
        runs.push_back(bench::seconds(t0, Clock::now()));
        entries = 0;
        for (int c = 0; c < channels.count(); ++c) entries += channels.items(c).entryCount();
    }
    std::printf("ParseDay + Normalize: %zu lines, 40 channels, %zu entries: median %.3f ms (of %zu runs)\n",
                day.size(), entries, bench::median(runs) * 1e3, runs.size());
    return 0;
}
