// The load of an echo area of each storage kind as a refresh does it
// (loadFromArea: every header, the listings' bodies filed under their weeks,
// buildAll), against plain read() of the same files in the same run, with
// the peak memory of a process that does nothing but that load.
//
// Each area is written through the kind's own write side: every tenth
// message a listing part of about 8 KB with its dating line ("=?koi8-r?"),
// the others chat of 1-3 KB; the listings run over several years of weeks.
// Default: 10,000 messages per kind. --large: the largest area a user keeps
// (65,535 JAM and Squish, 32,000 Hudson; *.MSG stays at 10,000). Hudson
// holds less text than that: see its sizes below.
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

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "benchutil.h"
#include "quiet.h"
#include "listing/loaders.h"
#include "msgbase/messagearea.h"
#include "viewer/viewer.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using orbisk::MessageArea;
using orbisk::operator""_cp1251;

struct Kind {
    const char* name;
    char letter;
};

const Kind kKinds[] = {{"msg", 'F'}, {"squish", 'S'}, {"jam", 'J'}, {"hudson", 'H'}};

using bench::Silent;

std::string twoDigits(int v) { return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)}; }

// 1 = Sunday ... 7 = Saturday, as the captions write them.
const char* const kDayNames[8] = {"",
                                  "Воскресенье"_cp1251,
                                  "Понедельник"_cp1251,
                                  "Вторник"_cp1251,
                                  "Среда"_cp1251,
                                  "Четверг"_cp1251,
                                  "Пятница"_cp1251,
                                  "Суббота"_cp1251};

// The day of a listing part: caption blocks of ten channels with their
// programmes, about `size` bytes.
void writeDay(MessageArea& area, orbisk::DateTime day, std::size_t size, unsigned& seed) {
    int y, m, d;
    orbisk::decodeDate(day, y, m, d);
    const std::string caption = std::string(kDayNames[orbisk::dayOfWeek(day)]) + ". " + std::to_string(d) + " " +
                                "декабря"_cp1251 + " ";
    const std::size_t perChannel = size / 10;
    for (int channel = 1; channel <= 10; ++channel) {
        area.writeTextLine("======");
        area.writeTextLine(caption + "Канал "_cp1251 + std::to_string(channel));
        area.writeTextLine("======");
        int minutes = 6 * 60;
        for (std::size_t written = 0; written < perChannel;) {
            const std::string l = twoDigits(minutes / 60 % 24) + "." + twoDigits(minutes % 60) + " " +
                                  bench::line(seed, 20 + seed % 40);
            area.writeTextLine(l);
            written += l.size() + 1;
            minutes += 25 + static_cast<int>(seed % 60);
        }
    }
}

// The identifier of the area a kind keeps in `dir`.
std::string identifier(const Kind& kind, const std::string& dir) {
    switch (kind.letter) {
        case 'F': return "F" + dir;
        case 'H': return "H001" + dir + "/";
        default: return std::string(1, kind.letter) + dir + "/tvlist";
    }
}

// Message sizes of an area: chat from `chat` to `chat` + `chatSpread`
// bytes, listings of `listing` bytes.
struct Sizes {
    std::size_t chat = 1024, chatSpread = 2048, listing = 8192;
};

void writeArea(const Kind& kind, const std::string& dir, int count, const Sizes& sizes) {
    std::unique_ptr<MessageArea> area;
    const std::string id = identifier(kind, dir);
    if (!orbisk::createAreaForIdentifier(area, id) || area->createArea() != 0 || area->openArea() != 0) {
        std::fprintf(stderr, "cannot create the area %s\n", id.c_str());
        std::exit(1);
    }
    const bool locked = kind.letter != 'F' && area->lockArea();
    unsigned seed = 1;
    const orbisk::DateTime first = orbisk::encodeDate(2021, 1, 4);  // a Monday
    int listings = 0;
    for (int i = 1; i <= count; ++i) {
        const bool listing = i % 10 == 0;
        area->startNewMessage();
        area->setFromName("Ivan Petrov");
        area->setToName("All");
        area->setDateTime(first + i / 10.0);
        area->setOrigAddress({2, 5020, 1, 0});
        area->setDestAddress({2, 5020, 9999, 0});
        area->setMailKind(1);
        area->writeKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        std::size_t size = sizes.chat + (static_cast<std::size_t>(i) * 7919) % sizes.chatSpread;
        if (listing) {
            // A seven-part weekly mailing, one part a day, week after week.
            const int part = listings % 7 + 1;
            const orbisk::DateTime monday = first + 7 * (listings / 7);
            int y, m, d;
            orbisk::decodeDate(monday + part - 1, y, m, d);
            ++listings;
            area->setSubject("Телепрограмма на неделю [" + std::to_string(part) + "/7]"_cp1251);
            area->writeTextLine("From: tv@tvlist.example");
            area->writeTextLine("Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= " + twoDigits(d) + "." + twoDigits(m) + "." +
                                std::to_string(y));
            // What the layout cuts from every part after the first.
            for (const char* l : {"", "Программа на неделю"_cp1251, "Часть"_cp1251, "", ""}) area->writeTextLine(l);
            writeDay(*area, monday + part - 1, sizes.listing, seed);
            area->writeTextLine("---");
            area->writeTextLine(" * Origin: tv (2:5020/1)");
            size = 0;
        } else {
            area->setSubject("Re: вопрос о погоде "_cp1251 + std::to_string(i));
        }
        for (std::size_t written = 0; written < size;) {  // chat
            const std::size_t len = std::min<std::size_t>(20 + seed % 50, size - written);
            const std::string l = bench::line(seed, len);
            area->writeTextLine(l);
            written += l.size() + 1;
        }
        area->writeKludgeLine("SEEN-BY: 5020/1 9999");
        if (area->saveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    if (locked) area->unlockArea();
    orbisk::closeAreaAndFree(area);
}

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
    static const char* const kMonths[] = {"января", "февраля", "марта", "апреля", "мая", "июня", "июля",
                                          "августа", "сентября", "октября", "ноября", "декабря"};
    std::string ini = "[MAIN]\r\nFIDOPath=" + id + "\r\n[MSG]\r\nKludges Count=2\r\nKludge1=SEEN-BY\r\n"
                      "Kludge2=PATH:\r\n[DAYS]\r\n";
    for (int i = 1; i <= 7; ++i) ini += std::to_string(i) + "=" + kDayNames[i] + "\r\n";
    ini += "[MONTHS]\r\n";
    for (int i = 1; i <= 12; ++i) ini += std::to_string(i) + "=" + orbisk::utf8ToAnsi(kMonths[i - 1]) + "\r\n";
    const std::string iniPath = dir + "/Orbisk.ini";
    if (FILE* f = std::fopen(iniPath.c_str(), "wb")) {
        std::fwrite(ini.data(), 1, ini.size(), f);
        std::fclose(f);
    }
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
        int count = !large || kind.letter == 'F' ? 10000 : 65535;
        Sizes sizes;
        if (kind.letter == 'H') {
            // Hudson numbers its 255-byte text blocks in 16 bits: 16.7 MB of
            // text in all. The mix fits 5,000 messages; 32,000 fit with
            // one-block chat and 1.5 KB listings.
            count = large ? 32000 : 5000;
            if (large) sizes = {60, 120, 1536};
        }
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
