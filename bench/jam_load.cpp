// Reading a JAM area the way the program does, against reading the same
// files whole with plain read().
//
// The area: 50,000 messages written through the kind's write side, every
// tenth an 8 KB listing part (subject "TV listing ..."), the others 1-3 KB,
// each with MSGID, PID and PATH subfields.
// Timed, warm cache, median of the repetitions:
//   jam    openAreaByIdentifier; every message located, its header loaded,
//          its number and subject taken; the text of the 5,000 listing
//          parts read line by line (kludge lines left out, maxLen 255);
//          closeAreaAndFree; also the same without any text read
//   plain  open/read/close of .jhr, .jdx and .jdt: into a reused 64 KB
//          buffer, and into one buffer holding the files whole
// Usage: bench_jam_load [repetitions] [directory]
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "benchutil.h"
#include "base/datetime.h"
#include "msgbase/messagearea.h"

namespace {

using bench::Clock;
using bench::line;
using bench::median;
using bench::seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;

constexpr int kMessages = 50000;
constexpr int kListingEvery = 10;

// Wall time and the process's CPU time: the machine may be shared, and CPU
// time shows the work itself when other processes take turns with us.
struct Stamp {
    Clock::time_point wall;
    double cpu;
};

Stamp now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return {Clock::now(), static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9};
}

struct Span {
    double wall = 0, cpu = 0;
};

Span between(const Stamp& a, const Stamp& b) { return {seconds(a.wall, b.wall), b.cpu - a.cpu}; }

void generate(const std::string& base) {
    std::unique_ptr<MessageArea> area;
    if (!orbisk::createAreaForIdentifier(area, "J" + base) || area->createArea() != 0 || area->openArea() != 0) {
        std::fprintf(stderr, "cannot create the area %s\n", base.c_str());
        std::exit(1);
    }
    unsigned seed = 1;
    const orbisk::DateTime when = orbisk::encodeDate(2026, 3, 9) + orbisk::encodeTime(18, 5);
    for (int i = 1; i <= kMessages; ++i) {
        const bool listing = i % kListingEvery == 0;
        area->startNewMessage();
        area->setFromName("Ivan Petrov");
        area->setToName("All");
        area->setSubject(listing ? "TV listing " + std::to_string(i / kListingEvery) + "/3"
                                 : "Other talk " + std::to_string(i));
        area->setDateTime(when);
        area->setOrigAddress({2, 5020, 1, 0});
        area->setMailKind(1);
        area->writeKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        area->writeKludgeLine("\x01PID: bench 1.0");
        area->writeKludgeLine("\x01PATH: 5020/1 9999");
        const std::size_t size = listing ? 8192 : 1024 + (static_cast<std::size_t>(i) * 7919) % 2048;
        std::size_t written = 0;
        while (written < size) {
            seed = seed * 1103515245u + 12345u;
            const std::string text = line(seed, 20 + (seed >> 16) % 50);
            area->writeTextLine(text);
            written += text.size() + 1;
        }
        area->writeTextLine("--- bench");
        area->writeTextLine(" * Origin: bench (2:5020/1)");
        if (area->saveMessage() != 0) {
            std::fprintf(stderr, "cannot save message %d\n", i);
            std::exit(1);
        }
    }
    orbisk::closeAreaAndFree(area);
}

struct Times {
    Span jam, headers, plain, whole;
    std::size_t lines = 0, textBytes = 0, bytes = 0;
};

std::size_t readFiles(const std::vector<std::string>& files, char* buffer, std::size_t size, bool advance) {
    std::size_t total = 0;
    for (const auto& name : files) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::exit(1);
        ssize_t n;
        while ((n = ::read(fd, buffer + (advance ? total : 0), advance ? size - total : size)) > 0)
            total += static_cast<std::size_t>(n);
        ::close(fd);
    }
    return total;
}

Times runOnce(const std::string& base, const std::vector<std::string>& files, std::vector<char>& whole) {
    Times t;
    const Stamp t0 = now();
    std::unique_ptr<MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, "J" + base)) std::exit(1);
    int listings = 0, messages = 0;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        ++messages;
        if (area->getMessageNumber() != messages) std::exit(2);
        const std::string subject = area->getSubject();
        if (subject.rfind("TV listing", 0) != 0) continue;
        ++listings;
        area->startText();
        while (!area->atTextEnd()) {
            const std::string line = area->readTextLineNoKludge(255);
            ++t.lines;
            t.textBytes += line.size() + 1;
        }
    }
    orbisk::closeAreaAndFree(area);
    const Stamp t1 = now();
    if (messages != kMessages || listings != kMessages / kListingEvery) {
        std::fprintf(stderr, "walk found %d messages, %d listings\n", messages, listings);
        std::exit(1);
    }

    // The walk alone, without reading any text.
    const Stamp h0 = now();
    if (!orbisk::openAreaByIdentifier(area, "J" + base)) std::exit(1);
    std::size_t subjects = 0;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        subjects += area->getSubject().size() + static_cast<std::size_t>(area->getMessageNumber() > 0);
    }
    orbisk::closeAreaAndFree(area);
    const Stamp h1 = now();
    if (subjects == 0) std::exit(1);

    std::vector<char> small(64 * 1024);
    const Stamp t2 = now();
    t.bytes = readFiles(files, small.data(), small.size(), false);
    const Stamp t3 = now();
    readFiles(files, whole.data(), whole.size(), true);
    const Stamp t4 = now();
    t.jam = between(t0, t1);
    t.headers = between(h0, h1);
    t.plain = between(t2, t3);
    t.whole = between(t3, t4);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::string dir;
    bool own = false;
    if (argc > 2) {
        dir = argv[2];
    } else {
        std::string pattern = (fs::temp_directory_path() / "orbisk-bench-jam-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return 1;
        dir = pattern;
        own = true;
    }
    const std::string base = dir + "/tvlist";
    const auto g0 = Clock::now();
    if (!fs::exists(base + ".jhr")) generate(base);
    const auto g1 = Clock::now();

    std::vector<std::string> files;
    std::uintmax_t total = 0;
    for (const char* ext : {".jhr", ".jdx", ".jdt"}) {
        files.push_back(base + ext);
        total += fs::file_size(base + ext);
    }

    std::vector<char> wholeBuffer(total);  // allocated and touched once, outside the timing
    runOnce(base, files, wholeBuffer);     // warm the cache
    std::vector<Times> runs;
    for (int i = 0; i < reps; ++i) runs.push_back(runOnce(base, files, wholeBuffer));
    auto medianMs = [&](Span Times::*what, bool cpu) {
        std::vector<double> v;
        for (const auto& r : runs) v.push_back(cpu ? (r.*what).cpu : (r.*what).wall);
        return median(v) * 1e3;
    };
    const Times& last = runs.back();
    std::printf("JAM area: %d messages, %.1f MB in .jhr/.jdx/.jdt (generated in %.2f s), %d repetitions, median\n",
                kMessages, static_cast<double>(total) / 1e6, seconds(g0, g1), reps);
    std::printf("  %-66s %10s %10s\n", "", "wall ms", "CPU ms");
    auto row = [&](const std::string& label, Span Times::*what) {
        std::printf("  %-66s %10.2f %10.2f\n", label.c_str(), medianMs(what, false), medianMs(what, true));
    };
    row("jam: open, " + std::to_string(kMessages) + " headers and subjects, text of " +
            std::to_string(kMessages / kListingEvery) + " listings, close",
        &Times::jam);
    row("  the same without the texts", &Times::headers);
    row("plain read() of the same files, reused 64 KB buffer", &Times::plain);
    row("plain read() of the same files, whole into one buffer", &Times::whole);
    std::printf("  text read: %zu lines, %.1f MB; plain read: %zu bytes\n", last.lines,
                static_cast<double>(last.textBytes) / 1e6, last.bytes);
    std::printf("  ratio jam / plain (64 KB buffer)       wall %5.2f   CPU %5.2f\n",
                medianMs(&Times::jam, false) / medianMs(&Times::plain, false),
                medianMs(&Times::jam, true) / medianMs(&Times::plain, true));
    std::printf("  ratio jam / plain (whole files)        wall %5.2f   CPU %5.2f\n",
                medianMs(&Times::jam, false) / medianMs(&Times::whole, false),
                medianMs(&Times::jam, true) / medianMs(&Times::whole, true));
    if (own) fs::remove_all(dir);
    return 0;
}
