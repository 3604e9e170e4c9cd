// Reading the listing board of a Hudson base the way the program does,
// against reading the same files whole with plain read().
//
// The base: 30,000 messages over five boards, records interleaved as a
// tosser writes them (board 1 + record mod 5), written through the kind's
// write side. Board 1 is the listing echo: 6,000 messages, every sixth an
// 8 KB listing part (subject "TV listing ..."), the rest talk of 100-250
// bytes like boards 2-5. The text file is then 62,000 of the 65,535 blocks
// that a 16-bit first-block field can address: as full as a Hudson base
// gets.
// Timed, warm cache, median of the repetitions:
//   hudson  openAreaByIdentifier on board 1; every message located, its
//           header loaded and its subject taken; the text of every listing
//           read line by line (kludge lines left out, maxLen 255); closed
//   plain   open/read/close of msginfo, msgidx, msghdr and msgtxt into one
//           buffer, once into a fresh buffer and once into a reused one
// Usage: bench_hudson_load [repetitions] [directory]
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
using bench::cpuSeconds;
using bench::line;
using bench::median;
using bench::seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;

constexpr int kMessages = 30000;
constexpr int kBoards = 5;
std::size_t g_listingBlocks = 0;  // text blocks of the listings, counted while writing

std::string id(int board, const std::string& dir) {
    char b[8];
    std::snprintf(b, sizeof b, "H%03d", board);
    return b + dir;
}

void generate(const std::string& dir) {
    std::unique_ptr<MessageArea> areas[kBoards];
    for (int b = 0; b < kBoards; ++b) {
        // Opening never makes a base: the first board creates the files.
        if (!orbisk::createAreaForIdentifier(areas[b], id(b + 1, dir)) || areas[b]->createArea() != 0 ||
            areas[b]->openArea() != 0) {
            std::fprintf(stderr, "cannot create the base in %s\n", dir.c_str());
            std::exit(1);
        }
    }
    unsigned seed = 1;
    const orbisk::DateTime when = orbisk::encodeDate(2026, 3, 9) + orbisk::encodeTime(18, 5);
    for (int i = 0; i < kMessages; ++i) {
        const int board = i % kBoards;
        const bool listing = board == 0 && (i / kBoards) % 6 == 0;
        MessageArea& area = *areas[board];
        area.startNewMessage();
        area.setFromName("Ivan Petrov");
        area.setToName("All");
        area.setSubject(listing ? "TV listing " + std::to_string(i / kBoards / 6) + "/3"
                                : "Other talk " + std::to_string(i));
        area.setDateTime(when);
        area.setOrigAddress({2, 5020, 1, 0});
        area.setDestAddress({2, 5020, 9999, 0});
        area.setMailKind(1);
        area.writeKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        const std::size_t size = listing ? 8192 : 100 + (static_cast<std::size_t>(i) * 7919) % 120;
        std::size_t written = 0;
        while (written < size) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t len = std::min<std::size_t>(20 + (seed >> 16) % 50, size - written);
            const std::string l = line(seed, len);
            area.writeTextLine(l);
            written += l.size() + 1;
        }
        if (listing) g_listingBlocks += (written + 28 + 254) / 255;  // the MSGID line is 28 bytes
        if (area.saveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    for (auto& a : areas) orbisk::closeAreaAndFree(a);
}

struct Walk {
    int messages = 0, listings = 0;
    std::size_t lines = 0, bytes = 0;
};

Walk readBoard(const std::string& dir) {
    Walk w;
    std::unique_ptr<MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, id(1, dir))) {
        std::fprintf(stderr, "cannot open the base\n");
        std::exit(1);
    }
    area->locateFrom(1);
    while (area->isLocated()) {
        area->loadHeader();
        ++w.messages;
        (void)area->getMessageNumber();
        const std::string subject = area->getSubject();
        if (subject.compare(0, 10, "TV listing") == 0) {
            ++w.listings;
            area->startText();
            while (!area->atTextEnd()) {
                w.bytes += area->readTextLineNoKludge(255).size();
                ++w.lines;
            }
        }
        area->locateNext();
    }
    orbisk::closeAreaAndFree(area);
    return w;
}

std::size_t plainRead(const std::vector<std::string>& files, std::vector<char>& buf) {
    std::size_t total = 0;
    for (const auto& name : files) {
        const int fd = ::open(name.c_str(), O_RDONLY);
        if (fd < 0) std::exit(1);
        for (;;) {
            if (buf.size() < total + 65536) buf.resize(buf.size() * 2 + 65536);
            const ssize_t n = ::read(fd, buf.data() + total, buf.size() - total);
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const bool own = argc <= 2;
    std::string dir = own ? (fs::temp_directory_path() / "orbisk-bench-hudson-XXXXXX").string() : argv[2];
    if (own && !::mkdtemp(dir.data())) return 1;
    dir += "/";

    const auto g0 = Clock::now();
    generate(dir);
    const auto g1 = Clock::now();
    const std::vector<std::string> files = {dir + "msginfo.bbs", dir + "msgidx.bbs", dir + "msghdr.bbs",
                                            dir + "msgtxt.bbs"};
    std::printf("generated %d messages on %d boards in %.2f s: text %.1f MB, headers %.1f MB, index %.1f KB\n",
                kMessages, kBoards, seconds(g0, g1), static_cast<double>(fs::file_size(files[3])) / 1e6,
                static_cast<double>(fs::file_size(files[2])) / 1e6, static_cast<double>(fs::file_size(files[1])) / 1e3);

    std::vector<char> buf, reused;
    readBoard(dir);  // warm the cache
    plainRead(files, reused);
    std::vector<double> kind, plainFresh, plainReused, kindCpu, freshCpu, reusedCpu;
    Walk w;
    std::size_t bytes = 0;
    for (int r = 0; r < reps; ++r) {
        const double c0 = cpuSeconds();
        auto t0 = Clock::now();
        w = readBoard(dir);
        auto t1 = Clock::now();
        const double c1 = cpuSeconds();
        std::vector<char>().swap(buf);
        bytes = plainRead(files, buf);
        auto t2 = Clock::now();
        const double c2 = cpuSeconds();
        plainRead(files, reused);
        auto t3 = Clock::now();
        const double c3 = cpuSeconds();
        kindCpu.push_back(c1 - c0);
        freshCpu.push_back(c2 - c1);
        reusedCpu.push_back(c3 - c2);
        kind.push_back(seconds(t0, t1));
        plainFresh.push_back(seconds(t1, t2));
        plainReused.push_back(seconds(t2, t3));
    }
    const double k = median(kind) * 1e3, p = median(plainFresh) * 1e3, q = median(plainReused) * 1e3;
    std::printf("walk of board 1: %d messages, %d listings, %zu lines, %zu text bytes\n", w.messages, w.listings,
                w.lines, w.bytes);
    const std::size_t used = fs::file_size(files[0]) + fs::file_size(files[1]) +
                             static_cast<std::size_t>(w.messages) * 187 + g_listingBlocks * 256;
    std::printf("hudson open+walk+text: %.2f ms (median of %d), touching about %zu bytes\n", k, reps, used);
    std::printf("plain read() of %zu bytes, fresh buffer: %.2f ms (median of %d)\n", bytes, p, reps);
    std::printf("plain read() of %zu bytes, reused buffer: %.2f ms (median of %d)\n", bytes, q, reps);
    std::printf("ratio: %.2f (fresh buffer), %.2f (reused buffer)\n", k / p, k / q);
    const double kc = median(kindCpu) * 1e3, pc = median(freshCpu) * 1e3, qc = median(reusedCpu) * 1e3;
    std::printf("cpu time: hudson %.2f ms, plain fresh %.2f ms, plain reused %.2f ms; ratio %.2f / %.2f\n", kc, pc,
                qc, kc / pc, kc / qc);
    if (own) fs::remove_all(dir);
    return 0;
}
