// Reading a Squish area the way the program does, against reading the same
// files whole with plain read().
//
// The area: bench_load_table's (bench/echoarea.h), 10,000 messages, every
// tenth an 8 KB listing part, the others 1-3 KB. Timed, warm cache, median of the repetitions:
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
#include "echoarea.h"
#include "listing/subject.h"
#include "msgbase/messagearea.h"

namespace {

using bench::Clock;
using bench::median;
using bench::seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;

constexpr int kMessages = 10000;

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
        std::int32_t part = 0, parts = 0;
        if (texts && orbisk::isListingSubject(subject, part, parts)) {
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
    bench::writeArea(bench::kKinds[1], dir, kMessages, {});
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
