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
//   hudson  OpenAreaByIdentifier on board 1; every message located, its
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
using bench::CpuSeconds;
using bench::Line;
using bench::Median;
using bench::Seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;

constexpr int kMessages = 30000;
constexpr int kBoards = 5;
std::size_t g_listingBlocks = 0;  // text blocks of the listings, counted while writing

std::string Id(int board, const std::string& dir) {
    char b[8];
    std::snprintf(b, sizeof b, "H%03d", board);
    return b + dir;
}

void Generate(const std::string& dir) {
    std::unique_ptr<MessageArea> areas[kBoards];
    for (int b = 0; b < kBoards; ++b) {
        if (!orbisk::OpenAreaByIdentifier(areas[b], Id(b + 1, dir))) {
            std::fprintf(stderr, "cannot create the base in %s\n", dir.c_str());
            std::exit(1);
        }
    }
    unsigned seed = 1;
    const orbisk::TDateTime when = orbisk::EncodeDate(2026, 3, 9) + orbisk::EncodeTime(18, 5);
    for (int i = 0; i < kMessages; ++i) {
        const int board = i % kBoards;
        const bool listing = board == 0 && (i / kBoards) % 6 == 0;
        MessageArea& area = *areas[board];
        area.StartNewMessage();
        area.SetFromName("Ivan Petrov");
        area.SetToName("All");
        area.SetSubject(listing ? "TV listing " + std::to_string(i / kBoards / 6) + "/3"
                                : "Other talk " + std::to_string(i));
        area.SetDateTime(when);
        area.SetOrigAddress({2, 5020, 1, 0});
        area.SetDestAddress({2, 5020, 9999, 0});
        area.SetMailKind(1);
        area.WriteKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        const std::size_t size = listing ? 8192 : 100 + (static_cast<std::size_t>(i) * 7919) % 120;
        std::size_t written = 0;
        while (written < size) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t len = std::min<std::size_t>(20 + (seed >> 16) % 50, size - written);
            const std::string l = Line(seed, len);
            area.WriteTextLine(l);
            written += l.size() + 1;
        }
        if (listing) g_listingBlocks += (written + 28 + 254) / 255;  // the MSGID line is 28 bytes
        if (area.SaveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    for (auto& a : areas) orbisk::CloseAreaAndFree(a);
}

struct Walk {
    int messages = 0, listings = 0;
    std::size_t lines = 0, bytes = 0;
};

Walk ReadBoard(const std::string& dir) {
    Walk w;
    std::unique_ptr<MessageArea> area;
    if (!orbisk::OpenAreaByIdentifier(area, Id(1, dir))) {
        std::fprintf(stderr, "cannot open the base\n");
        std::exit(1);
    }
    area->LocateFrom(1);
    while (area->IsLocated()) {
        area->LoadHeader();
        ++w.messages;
        (void)area->GetMessageNumber();
        const std::string subject = area->GetSubject();
        if (subject.compare(0, 10, "TV listing") == 0) {
            ++w.listings;
            area->StartText();
            while (!area->AtTextEnd()) {
                w.bytes += area->ReadTextLineNoKludge(255).size();
                ++w.lines;
            }
        }
        area->LocateNext();
    }
    orbisk::CloseAreaAndFree(area);
    return w;
}

std::size_t PlainRead(const std::vector<std::string>& files, std::vector<char>& buf) {
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
    Generate(dir);
    const auto g1 = Clock::now();
    const std::vector<std::string> files = {dir + "msginfo.bbs", dir + "msgidx.bbs", dir + "msghdr.bbs",
                                            dir + "msgtxt.bbs"};
    std::printf("generated %d messages on %d boards in %.2f s: text %.1f MB, headers %.1f MB, index %.1f KB\n",
                kMessages, kBoards, Seconds(g0, g1), static_cast<double>(fs::file_size(files[3])) / 1e6,
                static_cast<double>(fs::file_size(files[2])) / 1e6, static_cast<double>(fs::file_size(files[1])) / 1e3);

    std::vector<char> buf, reused;
    ReadBoard(dir);  // warm the cache
    PlainRead(files, reused);
    std::vector<double> kind, plainFresh, plainReused, kindCpu, freshCpu, reusedCpu;
    Walk w;
    std::size_t bytes = 0;
    for (int r = 0; r < reps; ++r) {
        const double c0 = CpuSeconds();
        auto t0 = Clock::now();
        w = ReadBoard(dir);
        auto t1 = Clock::now();
        const double c1 = CpuSeconds();
        std::vector<char>().swap(buf);
        bytes = PlainRead(files, buf);
        auto t2 = Clock::now();
        const double c2 = CpuSeconds();
        PlainRead(files, reused);
        auto t3 = Clock::now();
        const double c3 = CpuSeconds();
        kindCpu.push_back(c1 - c0);
        freshCpu.push_back(c2 - c1);
        reusedCpu.push_back(c3 - c2);
        kind.push_back(Seconds(t0, t1));
        plainFresh.push_back(Seconds(t1, t2));
        plainReused.push_back(Seconds(t2, t3));
    }
    const double k = Median(kind) * 1e3, p = Median(plainFresh) * 1e3, q = Median(plainReused) * 1e3;
    std::printf("walk of board 1: %d messages, %d listings, %zu lines, %zu text bytes\n", w.messages, w.listings,
                w.lines, w.bytes);
    const std::size_t used = fs::file_size(files[0]) + fs::file_size(files[1]) +
                             static_cast<std::size_t>(w.messages) * 187 + g_listingBlocks * 256;
    std::printf("hudson open+walk+text: %.2f ms (median of %d), touching about %zu bytes\n", k, reps, used);
    std::printf("plain read() of %zu bytes, fresh buffer: %.2f ms (median of %d)\n", bytes, p, reps);
    std::printf("plain read() of %zu bytes, reused buffer: %.2f ms (median of %d)\n", bytes, q, reps);
    std::printf("ratio: %.2f (fresh buffer), %.2f (reused buffer)\n", k / p, k / q);
    const double kc = Median(kindCpu) * 1e3, pc = Median(freshCpu) * 1e3, qc = Median(reusedCpu) * 1e3;
    std::printf("cpu time: hudson %.2f ms, plain fresh %.2f ms, plain reused %.2f ms; ratio %.2f / %.2f\n", kc, pc,
                qc, kc / pc, kc / qc);
    if (own) fs::remove_all(dir);
    return 0;
}
