// Reading a Squish area the way the program does, against reading the same
// files whole with plain read().
//
// The area: 10,000 messages written through the kind's write side under one
// lock, every tenth an 8 KB listing part (subject "TV listing ..."), the
// others 1-3 KB. Timed, warm cache, median of the repetitions:
//   squish  OpenAreaByIdentifier; every message located, its header loaded
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
using bench::Line;
using bench::Median;
using bench::Seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;

constexpr int kMessages = 10000;
constexpr int kListingEvery = 10;

void Generate(const std::string& base) {
    std::unique_ptr<MessageArea> area;
    if (!orbisk::CreateAreaForIdentifier(area, "S" + base) || area->CreateArea() != 0 || area->OpenArea() != 0 ||
        !area->LockArea()) {
        std::fprintf(stderr, "cannot create the area %s\n", base.c_str());
        std::exit(1);
    }
    unsigned seed = 1;
    const orbisk::TDateTime when = orbisk::EncodeDate(2026, 3, 9) + orbisk::EncodeTime(18, 5);
    for (int i = 1; i <= kMessages; ++i) {
        const bool listing = i % kListingEvery == 0;
        area->StartNewMessage();
        area->SetFromName("Ivan Petrov");
        area->SetToName("All");
        area->SetSubject(listing ? "TV listing " + std::to_string(i / kListingEvery) + "/3"
                                 : "Other talk " + std::to_string(i));
        area->SetDateTime(when);
        area->SetOrigAddress({2, 5020, 1, 0});
        area->SetDestAddress({2, 5020, 9999, 0});
        area->WriteKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        const std::size_t size = listing ? 8192 : 1024 + (static_cast<std::size_t>(i) * 7919) % 2048;
        std::size_t written = 0;
        while (written < size) {
            const std::size_t len = std::min<std::size_t>(20 + seed % 50, size - written);
            const std::string l = Line(seed, len);
            area->WriteTextLine(l);
            written += l.size() + 1;
        }
        if (area->SaveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    if (!area->UnlockArea() || !orbisk::CloseAreaAndFree(area)) {
        std::fprintf(stderr, "cannot close the area\n");
        std::exit(1);
    }
}

struct Walk {
    int messages = 0, listings = 0;
    std::size_t lines = 0, bytes = 0;
};

Walk ReadArea(const std::string& base, bool texts = true) {
    Walk w;
    std::unique_ptr<MessageArea> area;
    if (!orbisk::OpenAreaByIdentifier(area, "S" + base)) {
        std::fprintf(stderr, "cannot open the area\n");
        std::exit(1);
    }
    area->LocateFrom(1);
    while (area->IsLocated()) {
        area->LoadHeader();
        ++w.messages;
        (void)area->GetMessageNumber();
        const std::string subject = area->GetSubject();
        if (texts && subject.compare(0, 10, "TV listing") == 0) {
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

// Each file read whole into a buffer of its size, as a reader that knows
// nothing of the layout would.
std::size_t PlainRead(const std::vector<std::string>& files) {
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
    Generate(base);
    const auto g1 = Clock::now();
    const std::vector<std::string> files = {base + ".sqd", base + ".sqi"};
    std::printf("generated %d messages in %.2f s: %.1f MB data, %.1f KB index\n", kMessages, Seconds(g0, g1),
                static_cast<double>(fs::file_size(files[0])) / 1e6, static_cast<double>(fs::file_size(files[1])) / 1e3);

    ReadArea(base);  // warm the cache
    PlainRead(files);
    std::vector<double> kind, walk, plain;
    Walk w;
    std::size_t bytes = 0;
    for (int r = 0; r < reps; ++r) {
        auto t0 = Clock::now();
        w = ReadArea(base);
        auto t1 = Clock::now();
        bytes = PlainRead(files);
        auto t2 = Clock::now();
        ReadArea(base, false);
        auto t3 = Clock::now();
        kind.push_back(Seconds(t0, t1));
        plain.push_back(Seconds(t1, t2));
        walk.push_back(Seconds(t2, t3));
    }
    const double k = Median(kind) * 1e3, p = Median(plain) * 1e3, o = Median(walk) * 1e3;
    std::printf("walk: %d messages, %d listings, %zu lines, %zu text bytes\n", w.messages, w.listings, w.lines, w.bytes);
    std::printf("squish open+walk+text: %.2f ms (median of %d)\n", k, reps);
    std::printf("  of which open+walk without texts: %.2f ms\n", o);
    std::printf("plain read() of %zu bytes: %.2f ms (median of %d)\n", bytes, p, reps);
    std::printf("ratio: %.2f\n", k / p);
    if (own) fs::remove_all(dir);
    return 0;
}
