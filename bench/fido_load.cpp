// Reading a Fido *.MSG area the way the program does, against reading the
// same files whole with plain read().
//
// The area: 10,000 messages written through the kind's write side, every
// tenth an 8 KB listing part (subject "TV listing ..."), the others 1-3 KB.
// Timed, warm cache, median of the repetitions:
//   open   openAreaByIdentifier (lists the directory)
//   walk   every message located, its header loaded and its subject taken
//   text   the text of the 1,000 listing parts read line by line (kludge
//          lines left out, maxLen 255) during the same walk
//   plain  open/read/close of all 10,000 files into one buffer
// Usage: bench_fido_load [repetitions] [directory]
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
#include "msgbase/fidomsgarea.h"
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

void generate(const std::string& dir) {
    std::unique_ptr<MessageArea> area;
    if (!orbisk::createAreaForIdentifier(area, "F" + dir) || area->createArea() != 0 || area->openArea() != 0) {
        std::fprintf(stderr, "cannot create the area in %s\n", dir.c_str());
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
            seed = seed * 1103515245u + 12345u;
            const std::string text = line(seed, 20 + (seed >> 16) % 50);
            area->writeTextLine(text);
            written += text.size() + 1;
        }
        area->writeTextLine("--- bench");
        area->writeTextLine(" * Origin: bench (2:5020/1)");
        area->writeTextLine("SEEN-BY: 5020/1 9999");
        area->writeKludgeLine("\x01PATH: 5020/9999");
        if (area->saveMessage() != 0) {
            std::fprintf(stderr, "cannot save message %d\n", i);
            std::exit(1);
        }
    }
    orbisk::closeAreaAndFree(area);
}

struct Times {
    double open = 0, walk = 0, plain = 0;
    std::size_t lines = 0, bytes = 0;
};

Times runOnce(const std::string& dir, const std::vector<std::string>& files, std::vector<char>& buffer) {
    Times t;
    const auto t0 = Clock::now();
    std::unique_ptr<MessageArea> area;
    if (!orbisk::openAreaByIdentifier(area, "F" + dir)) std::exit(1);
    const auto t1 = Clock::now();
    int listings = 0;
    for (area->locateFrom(1); area->isLocated(); area->locateNext()) {
        area->loadHeader();
        area->getMessageNumber();
        const std::string subject = area->getSubject();
        if (subject.rfind("TV listing", 0) != 0) continue;
        ++listings;
        area->startText();
        while (!area->atTextEnd()) t.lines += area->readTextLineNoKludge(255).size() > 0;
    }
    const auto t2 = Clock::now();
    orbisk::closeAreaAndFree(area);
    if (listings != kMessages / kListingEvery) {
        std::fprintf(stderr, "walk found %d listings\n", listings);
        std::exit(1);
    }

    const auto t3 = Clock::now();
    for (const auto& name : files) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::exit(1);
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) t.bytes += static_cast<std::size_t>(n);
        ::close(fd);
    }
    const auto t4 = Clock::now();
    t.open = seconds(t0, t1);
    t.walk = seconds(t1, t2);
    t.plain = seconds(t3, t4);
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
        std::string pattern = (fs::temp_directory_path() / "orbisk-bench-fido-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return 1;
        dir = pattern;
        own = true;
    }
    const auto g0 = Clock::now();
    if (!fs::exists(fs::path(dir) / "1.msg")) generate(dir);
    const auto g1 = Clock::now();

    std::vector<std::string> files;
    std::uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        files.push_back(e.path().string());
        total += e.file_size();
    }
    std::sort(files.begin(), files.end());
    std::vector<char> buffer(64 * 1024);

    runOnce(dir, files, buffer);  // warm the cache
    std::vector<double> open, walk, plain;
    Times last;
    for (int i = 0; i < reps; ++i) {
        last = runOnce(dir, files, buffer);
        open.push_back(last.open);
        walk.push_back(last.walk);
        plain.push_back(last.plain);
    }
    const double o = median(open) * 1e3, w = median(walk) * 1e3, p = median(plain) * 1e3;
    std::printf("Fido *.MSG area: %zu files, %.1f MB (generated in %.2f s), %d repetitions, median\n", files.size(),
                static_cast<double>(total) / 1e6, seconds(g0, g1), reps);
    std::printf("  open (directory listing)            %8.2f ms\n", o);
    std::printf("  walk + text (10000 headers and subjects, %zu text lines of 1000 listings) %8.2f ms\n", last.lines, w);
    std::printf("  plain read() of the same files      %8.2f ms (%zu bytes)\n", p, last.bytes);
    std::printf("  ratio walk+text / plain             %8.2f\n", w / p);
    std::printf("  ratio open+walk+text / plain        %8.2f\n", (o + w) / p);
    if (own) fs::remove_all(dir);
    return 0;
}
