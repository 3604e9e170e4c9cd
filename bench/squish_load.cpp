// Reading a Squish area the way the program does, against reading the same
// files whole with plain read().
//
// The area: 10,000 messages written through the kind's write side under one
// lock, every tenth an 8 KB listing part (subject "TV listing ..."), the
// others 1-3 KB. Timed, warm cache, median of the repetitions:
//   squish  openAreaByIdentifier; every message located, its header loaded
//           and its subject taken; the text of the 1,000 listing parts read
//           line by line (kludge lines left out, maxLen 255); closed
//   plain   open/read/close of the .sqd and .sqi files into one buffer
// Usage: bench_squish_load [repetitions] [directory]
#include <fcntl.h>
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

constexpr int kMessages = 10000;
constexpr int kListingEvery = 10;

void generate(const std::string& base) {
    std::unique_ptr<MessageArea> area;
    if (!orbisk::createAreaForIdentifier(area, "S" + base) || area->createArea() != 0 || area->openArea() != 0 ||
        !area->lockArea()) {
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
        area->setDestAddress({2, 5020, 9999, 0});
        area->writeKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        const std::size_t size = listing ? 8192 : 1024 + (static_cast<std::size_t>(i) * 7919) % 2048;
        std::size_t written = 0;
        while (written < size) {
            const std::size_t len = std::min<std::size_t>(20 + seed % 50, size - written);
            const std::string l = line(seed, len);
            area->writeTextLine(l);
            written += l.size() + 1;
        }
        if (area->saveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    if (!area->unlockArea() || !orbisk::closeAreaAndFree(area)) {
        std::fprintf(stderr, "cannot close the area\n");
        std::exit(1);
    }
}

struct Walk {
    int messages = 0, listings = 0;
    std::size_t lines = 0, bytes = 0;
};

Walk readArea(const std::string& base, bool texts = true) {
    Walk w;
    std::unique_ptr<MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, "S" + base)) {
        std::fprintf(stderr, "cannot open the area\n");
        std::exit(1);
    }
    area->locateFrom(1);
    while (area->isLocated()) {
        area->loadHeader();
        ++w.messages;
        (void)area->getMessageNumber();
        const std::string subject = area->getSubject();
        if (texts && subject.compare(0, 10, "TV listing") == 0) {
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

// Each file read whole into a buffer of its size, as a reader that knows
// nothing of the layout would.
std::size_t plainRead(const std::vector<std::string>& files) {
    std::size_t total = 0;
    for (const auto& name : files) {
        const int fd = ::open(name.c_str(), O_RDONLY);
        if (fd < 0) std::exit(1);
        const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
        ::lseek(fd, 0, SEEK_SET);
        std::unique_ptr<char[]> buf(new char[size]);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::read(fd, buf.get() + got, size - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        total += got;
        ::close(fd);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const bool own = argc <= 2;
    std::string dir = own ? (fs::temp_directory_path() / "orbisk-bench-squish-XXXXXX").string() : argv[2];
    if (own && !::mkdtemp(dir.data())) return 1;
    const std::string base = dir + "/tvlist";

    const auto g0 = Clock::now();
    generate(base);
    const auto g1 = Clock::now();
    const std::vector<std::string> files = {base + ".sqd", base + ".sqi"};
    std::printf("generated %d messages in %.2f s: %.1f MB data, %.1f KB index\n", kMessages, seconds(g0, g1),
                static_cast<double>(fs::file_size(files[0])) / 1e6, static_cast<double>(fs::file_size(files[1])) / 1e3);

    readArea(base);  // warm the cache
    plainRead(files);
    std::vector<double> kind, walk, plain;
    Walk w;
    std::size_t bytes = 0;
    for (int r = 0; r < reps; ++r) {
        auto t0 = Clock::now();
        w = readArea(base);
        auto t1 = Clock::now();
        bytes = plainRead(files);
        auto t2 = Clock::now();
        readArea(base, false);
        auto t3 = Clock::now();
        kind.push_back(seconds(t0, t1));
        plain.push_back(seconds(t1, t2));
        walk.push_back(seconds(t2, t3));
    }
    const double k = median(kind) * 1e3, p = median(plain) * 1e3, o = median(walk) * 1e3;
    std::printf("walk: %d messages, %d listings, %zu lines, %zu text bytes\n", w.messages, w.listings, w.lines, w.bytes);
    std::printf("squish open+walk+text: %.2f ms (median of %d)\n", k, reps);
    std::printf("  of which open+walk without texts: %.2f ms\n", o);
    std::printf("plain read() of %zu bytes: %.2f ms (median of %d)\n", bytes, p, reps);
    std::printf("ratio: %.2f\n", k / p);
    if (own) fs::remove_all(dir);
    return 0;
}
