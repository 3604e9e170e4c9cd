// Search across a load of four weeks of 60 channels with 50 programmes a
// day (84,000 programme lines), and the favourite marks added to showing a
// day. The index is built once per load (at the first search); a search is
// compared with a plain case-sensitive scan of the same title bytes.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "benchutil.h"
#include "quiet.h"
#include "config/config.h"
#include "listing/bodyparse.h"
#include "viewer/viewer.h"

namespace {

using bench::Clock;
using orbisk::operator""_cp1251;

constexpr int kWeeks = 4;
constexpr int kChannels = 60;
constexpr int kProgrammes = 50;

using bench::Silent;
using bench::NoPrompts;

const char* const kTitles[] = {
    "Новости"_cp1251,         "Вести недели"_cp1251,    "Х/ф \"Место встречи изменить нельзя\""_cp1251,
    "Что? Где? Когда?"_cp1251, "Спокойной ночи, малыши!"_cp1251, "Т/с \"Улицы разбитых фонарей\""_cp1251,
    "Футбол. Лига чемпионов"_cp1251, "Погода"_cp1251, "Ёлки-палки"_cp1251, "Документальный фильм"_cp1251,
};

orbisk::StringList dayText(unsigned& seed) {
    orbisk::StringList day;
    for (int c = 0; c < kChannels; ++c) {
        day.push_back("======");
        day.push_back("Понедельник. 7 декабря. Канал "_cp1251 + std::to_string(c + 1));
        day.push_back("-----------------");
        for (int e = 0; e < kProgrammes; ++e) {
            const int minutes = (5 * 60 + e * 28) % 1440;
            char time[8];
            std::snprintf(time, sizeof time, "%02d.%02d", minutes / 60, minutes % 60);
            seed = seed * 1103515245u + 12345u;
            day.push_back(std::string(time) + " " + kTitles[(seed >> 16) % 10] + " " + bench::line(seed, 20));
        }
    }
    return day;
}

}  // namespace

int main() {
    char folder[] = "/tmp/orbisk-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string ini = std::string(folder) + "/Orbisk.ini";
    {
        std::ofstream f(ini, std::ios::binary);
        f << "[MAIN]\r\nFIDOPath=I" << folder << "\r\nEnableWarning=0\r\n[DAYS]\r\n";
        const char* days[] = {"Воскресенье"_cp1251, "Понедельник"_cp1251, "Вторник"_cp1251, "Среда"_cp1251,
                              "Четверг"_cp1251,     "Пятница"_cp1251,     "Суббота"_cp1251};
        for (int i = 0; i < 7; ++i) f << i + 1 << "=" << days[i] << "\r\n";
        f << "[MONTHS]\r\n";
        for (int i = 1; i <= 12; ++i) f << i << "=" << "декабря"_cp1251 << "\r\n";
        f << "[Favourites]\r\n1=" << "вести"_cp1251 << "\r\n2=" << "что где когда"_cp1251 << "\r\n";
    }
    const orbisk::DateTime monday = orbisk::encodeDate(2026, 12, 7);
    orbisk::FixedClock clock(monday + orbisk::encodeTime(12, 0));
    Silent notifier;
    NoPrompts prompts;
    orbisk::Viewer viewer(ini, notifier, clock);
    viewer.refreshListings(prompts, false);

    // The load: four built weeks put in the index as the loader leaves them.
    unsigned seed = 11;
    std::size_t lines = 0;
    std::string titles;  // the plain bytes the baseline scans
    for (int w = 0; w < kWeeks; ++w) {
        auto week = std::make_unique<orbisk::Week>(monday + 7 * w);
        week->days.resize(7);
        for (auto& day : week->days) {
            const orbisk::StringList text = dayText(seed);
            for (const auto& l : text) titles += l + '\n';
            day = text;
            lines += kChannels * kProgrammes;
        }
        viewer.weeks().items.push_back(std::move(week));
    }

    // CPU time: the machine is shared, and the wall clock swings with its load.
    auto t0 = Clock::now();
    double c0 = bench::cpuSeconds();
    const std::size_t indexed = viewer.programmes().size();
    const double build = bench::cpuSeconds() - c0;
    const double buildWall = bench::seconds(t0, Clock::now());

    const char* const queries[] = {"новости"_cp1251, "место встречи"_cp1251, "елки"_cp1251, "film"_cp1251,
                                   "zzzz"};
    std::printf("load: %d weeks x %d channels x %d programmes a day = %zu programme lines (%zu indexed)\n", kWeeks,
                kChannels, kProgrammes, lines, indexed);
    std::printf("index build, once per load: %.1f ms CPU (%.1f ms wall)\n", build * 1e3, buildWall * 1e3);
    for (const char* q : queries) {
        std::vector<double> runs, plain;
        std::size_t found = 0, hits = 0;
        for (int i = 0; i < 31; ++i) {
            c0 = bench::cpuSeconds();
            found = viewer.search(q, monday, 0, "").size();
            runs.push_back(bench::cpuSeconds() - c0);
            c0 = bench::cpuSeconds();
            hits = 0;
            for (std::size_t p = titles.find(q); p != std::string::npos; p = titles.find(q, p + 1)) ++hits;
            plain.push_back(bench::cpuSeconds() - c0);
        }
        std::printf("search \"%s\": %zu showings, median %.2f ms CPU; plain find() over the same %zu bytes "
                    "(%zu exact hits): %.2f ms CPU\n",
                    orbisk::ansiToUtf8(q).c_str(), found, bench::median(runs) * 1e3, titles.size(), hits,
                    bench::median(plain) * 1e3);
    }

    // Showing a day: the parse and the rows the window draws, with and without the marks.
    std::vector<double> show, marks;
    for (int i = 0; i < 101; ++i) {
        const orbisk::DateTime day = monday + 1 + i % 20;
        c0 = bench::cpuSeconds();
        orbisk::parseDay(viewer.channelsSlot(), viewer.weeks(), day, viewer.settings());
        viewer.channels().select(i % kChannels);
        const auto rows = viewer.filmRows(orbisk::encodeTime(21, 0));
        show.push_back(bench::cpuSeconds() - c0);
        c0 = bench::cpuSeconds();
        const auto entries = viewer.favouriteEntries();
        std::size_t marked = 0;
        // What filmRows spends on its favourite column, done again on its own.
        for (const auto& row : rows)
            if (row.entry >= 0)
                marked += viewer.favourites().matchesLine(
                    viewer.channels().items(row.channel).lines[static_cast<std::size_t>(row.entry)], 5);
        marks.push_back(bench::cpuSeconds() - c0);
        (void)entries;
        (void)marked;
    }
    std::printf("showing a day (parse + grid rows): median %.2f ms CPU; favourite marks (day view + grid): median "
                "%.3f ms CPU\n",
                bench::median(show) * 1e3, bench::median(marks) * 1e3);
    std::filesystem::remove_all(folder);
    return 0;
}
