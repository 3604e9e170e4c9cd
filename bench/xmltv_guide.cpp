// A provider-sized XMLTV guide: 1,000 channels over 14 days (about 500,000
// programmes), written plain and gzip-compressed, then loaded keeping 50
// channels. Each load runs in a child process so that its peak memory is its
// own; the plain read of the same bytes (and the bare gunzip) is measured
// in the same run for comparison. Then the day switch of a viewer on the
// kept channels: showDay of each of the 14 days.
//
//   bench_xmltv_guide [folder]   (default: a fresh folder under /tmp)
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "base/codepage.h"
#include "base/error.h"
#include "base/ui.h"
#include "benchutil.h"
#include "quiet.h"
#include "listing/xmltvsource.h"
#include "viewer/viewer.h"

namespace {

using namespace orbisk;

constexpr int kChannels = 1000;
constexpr int kDays = 14;
constexpr int kKept = 50;

class Silent : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override {
        std::fprintf(stderr, "notice: %s\n", ansiToUtf8(text).c_str());
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
};

using bench::NoPrompts;

std::string channelName(int c) { return "Канал " + std::to_string(c); }

// Streams the guide into the plain and the gzip file; returns the programme count.
long writeGuide(const std::string& plainPath, const std::string& gzPath) {
    std::FILE* plain = std::fopen(plainPath.c_str(), "wb");
    gzFile gz = gzopen(gzPath.c_str(), "wb6");
    auto put = [&](const std::string& s) {
        std::fwrite(s.data(), 1, s.size(), plain);
        gzwrite(gz, s.data(), static_cast<unsigned>(s.size()));
    };
    put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv generator-info-name=\"bench\">\n");
    for (int c = 0; c < kChannels; ++c)
        put("  <channel id=\"ch" + std::to_string(c) + ".example\">\n    <display-name lang=\"ru\">" + channelName(c) +
            "</display-name>\n    <icon src=\"http://example/logo" + std::to_string(c) + ".png\"/>\n  </channel>\n");
    long count = 0;
    unsigned seed = 7;
    char start[32], stop[32];
    for (int c = 0; c < kChannels; ++c) {
        std::string block;
        for (int d = 0; d < kDays; ++d) {
            int minutes = 5 * 60;  // 05:00 to 05:00
            while (minutes < 29 * 60) {
                seed = seed * 1103515245u + 12345u;
                const int length = 20 + static_cast<int>((seed >> 16) % 40);
                const int day = 7 + d + minutes / 1440;
                std::snprintf(start, sizeof start, "202612%02d%02d%02d00 +0300", day, minutes % 1440 / 60, minutes % 60);
                const int end = minutes + length;
                std::snprintf(stop, sizeof stop, "202612%02d%02d%02d00 +0300", 7 + d + end / 1440, end % 1440 / 60, end % 60);
                block += "  <programme start=\"" + std::string(start) + "\" stop=\"" + stop + "\" channel=\"ch" +
                         std::to_string(c) + ".example\">\n    <title lang=\"ru\">Передача " + std::to_string(seed % 997) +
                         "</title>\n    <desc lang=\"ru\">Описание передачи: кто, что, где и когда.</desc>\n"
                         "    <category lang=\"ru\">Разное</category>\n  </programme>\n";
                minutes = end;
                ++count;
            }
        }
        put(block);
    }
    put("</tv>\n");
    std::fclose(plain);
    gzclose(gz);
    return count;
}

struct Child {
    double wallSeconds = 0;
    long peakKb = 0;
    int status = -1;
};

// Runs `work` in a child process: its wall time and its own peak RSS.
template <typename Work>
Child inChild(Work work) {
    const auto t0 = bench::Clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(work());
    Child child;
    rusage usage{};
    wait4(pid, &child.status, 0, &usage);
    child.wallSeconds = bench::seconds(t0, bench::Clock::now());
    child.peakKb = usage.ru_maxrss;
    return child;
}

int plainRead(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    static char buffer[1 << 18];
    unsigned long sum = 0;
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) sum += static_cast<unsigned char>(buffer[n - 1]);
    std::fclose(f);
    return sum == 1 ? 1 : 0;
}

int gunzip(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    static char buffer[1 << 18];
    unsigned long sum = 0;
    int n;
    while ((n = gzread(gz, buffer, sizeof buffer)) > 0) sum += static_cast<unsigned char>(buffer[n - 1]);
    gzclose(gz);
    return sum == 1 ? 1 : 0;
}

void writeIni(const std::string& path, const std::string& guide) {
    std::string ini = "[MAIN]\r\nFIDOPath=X" + guide + "\r\n[DAYS]\r\n";
    const char* days[] = {"Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"};
    for (int i = 1; i <= 7; ++i) ini += std::to_string(i) + "=" + utf8ToAnsi(days[i - 1]) + "\r\n";
    ini += "[MONTHS]\r\n";
    for (int i = 1; i <= 12; ++i) ini += std::to_string(i) + "=m" + std::to_string(i) + "\r\n";
    ini += "[Channels]\r\n";
    // Every twentieth channel: kept ones spread over the whole document.
    for (int k = 0; k < kKept; ++k) ini += std::to_string(k + 1) + "=" + utf8ToAnsi(channelName(k * 20)) + "\r\n";
    std::ofstream(path, std::ios::binary) << ini;
}

int loadGuide(const std::string& ini, int& days) {
    Silent silent;
    FixedClock clock(encodeDate(2026, 12, 8) + encodeTime(21, 0));
    NoPrompts prompts;
    Viewer viewer(ini, silent, clock);
    try {
        viewer.refreshListings(prompts, true);
    } catch (const Error& e) {
        std::fprintf(stderr, "load failed: %s\n", ansiToUtf8(e.what()).c_str());
        return 2;
    }
    days = 0;
    for (const auto& week : viewer.weeks().items)
        for (const auto& day : week->days) days += !day.empty();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    if (argc > 1) {
        folder = argv[1];
    } else {
        char pattern[] = "/tmp/orbisk-bench-XXXXXX";
        folder = mkdtemp(pattern);
    }
    const std::string plain = folder + "/guide.xml", gz = folder + "/guide.xml.gz";
    const long programmes = writeGuide(plain, gz);
    std::ifstream p(plain, std::ios::binary | std::ios::ate), g(gz, std::ios::binary | std::ios::ate);
    std::printf("guide: %d channels x %d days, %ld programmes, %.1f MB plain, %.1f MB gzip\n", kChannels, kDays,
                programmes, static_cast<double>(p.tellg()) / 1e6, static_cast<double>(g.tellg()) / 1e6);

    const Child readPlain = inChild([&] { return plainRead(plain); });
    const Child readGz = inChild([&] { return gunzip(gz); });
    std::printf("plain read() of guide.xml: %.3f s, peak RSS %ld KB\n", readPlain.wallSeconds, readPlain.peakKb);
    std::printf("gunzip of guide.xml.gz (zlib, no parse): %.3f s, peak RSS %ld KB\n", readGz.wallSeconds, readGz.peakKb);

    for (const std::string& guide : {plain, gz}) {
        const std::string ini = folder + "/Orbisk.ini";
        writeIni(ini, guide);
        std::vector<double> wall;
        long peak = 0;
        for (int run = 0; run < 3; ++run) {
            const Child load = inChild([&] {
                int days = 0;
                const int rc = loadGuide(ini, days);
                return rc == 0 && days > 0 ? 0 : 3;
            });
            if (!WIFEXITED(load.status) || WEXITSTATUS(load.status) != 0) {
                std::printf("load of %s failed\n", guide.c_str());
                return 1;
            }
            wall.push_back(load.wallSeconds);
            peak = std::max(peak, load.peakKb);
        }
        std::printf("load keeping %d of %d channels from %s: median %.3f s of 3 (wall), peak RSS %ld KB\n", kKept,
                    kChannels, guide.substr(guide.rfind('/') + 1).c_str(), bench::median(wall), peak);
    }

    // The day switch: what the window asks of the viewer when a week tab is clicked.
    Silent silent;
    FixedClock clock(encodeDate(2026, 12, 8) + encodeTime(21, 0));
    NoPrompts prompts;
    Viewer viewer(folder + "/Orbisk.ini", silent, clock);
    viewer.refreshListings(prompts, true);
    std::vector<double> switches;
    for (int round = 0; round < 5; ++round)
        for (int d = 0; d < kDays; ++d) {
            const auto t0 = bench::Clock::now();
            viewer.showDay(encodeDate(2026, 12, 7) + d);
            switches.push_back(bench::seconds(t0, bench::Clock::now()));
        }
    std::sort(switches.begin(), switches.end());
    std::printf("day switch (Viewer::showDay, %d channels): median %.3f ms, slowest %.3f ms of %zu\n",
                viewer.channels().count(), bench::median(switches) * 1e3, switches.back() * 1e3, switches.size());
    std::remove(plain.c_str());
    std::remove(gz.c_str());
    return 0;
}
