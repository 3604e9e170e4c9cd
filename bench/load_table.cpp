// The load of an echo area of each storage kind as a refresh does it
// (loadFromArea: every header, the listings' bodies filed under their weeks,
// buildAll), against plain read() of the same files in the same run, with
// the peak memory of a process that does nothing but that load.
//
// The areas are those of echoarea.h: listings among chat over several years
// of weeks. Default: 10,000 messages per kind. --large: the largest area a
// user keeps (65,535 JAM and Squish, 32,000 Hudson; *.MSG stays at 10,000).
// Hudson holds less text than that: see areaSize.
// Warm cache; the ms columns are medians of the repetitions, wall time and
// the process's CPU time (the latter swings less on a shared machine).
// Peak RSS is the high-water mark of a child process that runs one load.
//
// Usage: bench_load_table [--large] [--reps N] [--kinds msg,squish,jam,hudson]
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/ui.h"
#include "benchutil.h"
#include "echoarea.h"
#include "quiet.h"
#include "listing/loaders.h"
#include "viewer/viewer.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::identifier;
using bench::kDayNames;
using bench::Kind;
using bench::kKinds;
using bench::Silent;
using bench::writeArea;

std::vector<std::string> filesOf(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(e.path().string());
    return files;
}

// Each file through a reused 1 MB buffer: the least a reader of the bytes does.
std::size_t plainRead(const std::vector<std::string>& files, std::vector<char>& buf) {
    std::size_t total = 0;
    for (const auto& name : files) {
        const int fd = ::open(name.c_str(), O_RDONLY);
        if (fd < 0) continue;
        for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) total += static_cast<std::size_t>(n);
        ::close(fd);
    }
    return total;
}

struct Loaded {
    std::size_t weeks = 0, others = 0;
};

Loaded load(const std::string& id) {
    Silent silent;
    const orbisk::FixedClock clock(orbisk::encodeDate(2026, 12, 9));
    orbisk::LoadEnv env(silent, clock);
    env.kludges = {"SEEN-BY", "PATH:"};
    for (int i = 1; i <= 7; ++i) env.layout.days[i] = kDayNames[i];
    orbisk::WeekIndex weeks;
    orbisk::OtherMessages others;
    orbisk::loadFromArea(id, weeks, others, env);
    return {weeks.items.size(), others.size()};
}
using bench::NoPrompts;

// What the window asks of the viewer after a refresh of the area: a switch
// to another day of the week shown, and the grid of what runs now.
void windowFigures(const std::string& id, const std::string& dir, int reps) {
    const std::string iniPath = bench::writeSettings(id, dir);
    Silent silent;
    const orbisk::FixedClock clock(orbisk::encodeDate(2026, 12, 9) + orbisk::encodeTime(21, 10));
    NoPrompts prompts;
    orbisk::Viewer viewer(iniPath, silent, clock);
    const auto t0 = Clock::now();
    viewer.refreshListings(prompts, true);
    const double refresh = bench::seconds(t0, Clock::now()) * 1e3;
    std::vector<double> day, grid;
    std::size_t rows = 0;
    for (int r = 0; r < reps * 7; ++r) {
        auto t = Clock::now();
        viewer.showWeekDay((viewer.shownDayIndex() + 1) % 7);
        day.push_back(bench::seconds(t, Clock::now()) * 1e3);
        t = Clock::now();
        rows = viewer.filmRows(clock.now() - std::trunc(clock.now())).size();
        grid.push_back(bench::seconds(t, Clock::now()) * 1e3);
    }
    std::printf("        window: refresh %.1f ms; day switch %.2f ms, grid of %zu channels %.2f ms (medians of %d)\n",
                refresh, bench::median(day), rows, bench::median(grid), reps * 7);
}

// The peak RSS of this process in kB (VmHWM). A child's ru_maxrss would not
// do: it counts the parent's pages that the child started with.
long peakRssKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    std::fclose(f);
    return kb;
}

// Peak RSS (MB) of a fresh process that runs one load of `id`.
double peakRss(const std::string& id) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    FILE* child = ::popen(("'" + self + "' --load-once '" + id + "'").c_str(), "r");
    if (!child) return -1;
    long kb = -1;
    if (std::fscanf(child, "%ld", &kb) != 1) kb = -1;
    return ::pclose(child) == 0 && kb > 0 ? static_cast<double>(kb) / 1024.0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load-once") == 0) {
        load(argv[2]);
        std::printf("%ld\n", peakRssKb());
        return 0;
    }
    bool large = false;
    int reps = 7;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--large") == 0) large = true;
        else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--kinds") == 0 && i + 1 < argc) only = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_load_table [--large] [--reps N] [--kinds msg,squish,jam,hudson]\n");
            return 2;
        }
    }
    std::string root = (fs::temp_directory_path() / "orbisk-bench-table-XXXXXX").string();
    if (!::mkdtemp(root.data())) return 1;

    std::printf("%-7s %9s %7s %9s %9s %6s %9s %9s %6s %9s %7s\n", "kind", "messages", "MB", "ms", "read ms", "ratio",
                "cpu ms", "read cpu", "ratio", "peak RSS", "weeks");
    std::vector<char> buf(1 << 20);
    for (const Kind& kind : kKinds) {
        if (!only.empty() && only.find(kind.name) == std::string::npos) continue;
        const auto [count, sizes] = bench::areaSize(kind, large);
        const std::string dir = root + "/" + kind.name;
        fs::create_directories(dir);
        writeArea(kind, dir, count, sizes);
        const std::string id = identifier(kind, dir);
        const std::vector<std::string> files = filesOf(dir);

        Loaded got = load(id);  // warm the cache
        std::size_t bytes = plainRead(files, buf);
        std::vector<double> wall, cpu, readWall, readCpu;
        for (int r = 0; r < reps; ++r) {
            auto t0 = Clock::now();
            double c0 = bench::cpuSeconds();
            got = load(id);
            wall.push_back(bench::seconds(t0, Clock::now()));
            cpu.push_back(bench::cpuSeconds() - c0);
            t0 = Clock::now();
            c0 = bench::cpuSeconds();
            bytes = plainRead(files, buf);
            readWall.push_back(bench::seconds(t0, Clock::now()));
            readCpu.push_back(bench::cpuSeconds() - c0);
        }
        const double l = bench::median(wall) * 1e3, p = bench::median(readWall) * 1e3;
        const double lc = bench::median(cpu) * 1e3, pc = bench::median(readCpu) * 1e3;
        std::printf("%-7s %9zu %7.1f %9.1f %9.1f %6.2f %9.1f %9.1f %6.2f %6.1f MB %7zu\n", kind.name,
                    static_cast<std::size_t>(count), static_cast<double>(bytes) / 1e6, l, p, l / p,
                    lc, pc, lc / pc, peakRss(id), got.weeks);
        windowFigures(id, dir, reps);
        if (kind.letter == 'F') {
            // What a user compares with: cat over the folder's files.
            std::vector<double> cat;
            const std::string command = "cd '" + dir + "' && find . -name '*.msg' -print0 | xargs -0 cat >/dev/null";
            for (int r = 0; r < reps; ++r) {
                const auto t0 = Clock::now();
                if (std::system(command.c_str()) != 0) break;
                cat.push_back(bench::seconds(t0, Clock::now()));
            }
            if (!cat.empty())
                std::printf("        cat of the same files: %.1f ms, load / cat %.2f\n", bench::median(cat) * 1e3,
                            l / (bench::median(cat) * 1e3));
        }
        std::fflush(stdout);
        fs::remove_all(dir);
    }
    fs::remove_all(root);
    return 0;
}
