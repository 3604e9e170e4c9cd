// A deletion run on a Squish area, against reading the same files whole
// with plain read().
//
// The area: 10,000 messages of about 1 KB written through the kind's write
// side; every 20th (500 in all) is deleted, each identity checked under the
// lock. Timed, warm cache, median of the repetitions, on a fresh copy of
// the area each time:
//   run       deleteEachIfUnchanged: one lock for the 500 deletions
//   per-msg   deleteIfUnchanged for each: one lock per deletion, as a run
//             that let a tosser in between messages would take
//   plain     open/read/close of the .sqd and .sqi files into one buffer
// Besides the times, the bytes each run handed to write() (/proc/self/io).
// Usage: bench_squish_delete [repetitions] [directory]
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "benchutil.h"
#include "base/datetime.h"
#include "msgbase/messagearea.h"

namespace {

using bench::Clock;
using bench::median;
using bench::seconds;
namespace fs = std::filesystem;
using orbisk::MessageArea;
using orbisk::MessageIdentity;

constexpr int kMessages = 10000;
constexpr int kDeleteEvery = 20;

void generate(const std::string& base) {
    std::unique_ptr<MessageArea> area;
    if (!orbisk::createAreaForIdentifier(area, "S" + base) || area->createArea() != 0 || area->openArea() != 0 ||
        !area->lockArea()) {
        std::fprintf(stderr, "cannot create the area %s\n", base.c_str());
        std::exit(1);
    }
    unsigned seed = 1;
    for (int i = 1; i <= kMessages; ++i) {
        area->startNewMessage();
        area->setFromName("Ivan Petrov");
        area->setToName("All");
        area->setSubject("Other talk " + std::to_string(i));
        area->setDateTime(orbisk::encodeDate(2026, 3, 9) + orbisk::encodeTime(18, 5));
        for (int l = 0; l < 14; ++l) area->writeTextLine(bench::line(seed, 70));
        if (area->saveMessage() != 0) std::exit(1);
    }
    area->unlockArea();
    orbisk::closeAreaAndFree(area);
}

long long bytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return -1;
}

std::vector<MessageIdentity> doomed(MessageArea& a) {
    std::vector<MessageIdentity> ids;
    for (a.locateFrom(1); a.isLocated(); a.locateNext()) {
        if (a.getMessageNumber() % kDeleteEvery != 0) continue;
        a.loadHeader();
        ids.push_back(orbisk::identityOfLoaded(a));
    }
    return ids;
}

struct Run {
    double seconds;
    long long written;
};

Run deleteRun(const std::string& source, const std::string& work, bool oneLock) {
    for (const char* ext : {".sqd", ".sqi"})
        fs::copy_file(source + ext, work + ext, fs::copy_options::overwrite_existing);
    std::unique_ptr<MessageArea> a;
    if (!orbisk::openAreaByIdentifier(a, "S" + work)) std::exit(1);
    const std::vector<MessageIdentity> ids = doomed(*a);
    const long long before = bytesWritten();
    const auto t0 = Clock::now();
    int deleted = 0;
    if (oneLock) {
        for (const auto& answer : orbisk::deleteEachIfUnchanged(*a, ids))
            deleted += answer.outcome == orbisk::DeleteOutcome::deleted;
    } else {
        for (const MessageIdentity& id : ids)
            deleted += orbisk::deleteIfUnchanged(*a, id).outcome == orbisk::DeleteOutcome::deleted;
    }
    const auto t1 = Clock::now();
    orbisk::closeAreaAndFree(a);
    if (deleted != kMessages / kDeleteEvery) {
        std::fprintf(stderr, "deleted %d of %d\n", deleted, kMessages / kDeleteEvery);
        std::exit(1);
    }
    return {seconds(t0, t1), bytesWritten() - before};
}

double plainRead(const std::string& base) {
    const auto t0 = Clock::now();
    std::vector<char> buffer;
    for (const char* ext : {".sqd", ".sqi"}) {
        const int fd = ::open((base + ext).c_str(), O_RDONLY);
        char chunk[1 << 16];
        ssize_t n;
        while ((n = ::read(fd, chunk, sizeof chunk)) > 0) buffer.insert(buffer.end(), chunk, chunk + n);
        ::close(fd);
    }
    return seconds(t0, Clock::now());
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "orbisk-bench-squish-delete";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string source = (dir / "area").string(), work = (dir / "work").string();
    generate(source);
    std::vector<double> run, perMessage, plain;
    long long runWritten = 0, perMessageWritten = 0;
    for (int i = 0; i < reps; ++i) {
        const Run r = deleteRun(source, work, true);
        const Run p = deleteRun(source, work, false);
        run.push_back(r.seconds);
        perMessage.push_back(p.seconds);
        runWritten = r.written;
        perMessageWritten = p.written;
        plain.push_back(plainRead(source));
    }
    const double bytes = static_cast<double>(fs::file_size(source + ".sqd") + fs::file_size(source + ".sqi"));
    std::printf("squish delete: %d messages, %d deleted, %.1f MB, %d repetitions (median)\n", kMessages,
                kMessages / kDeleteEvery, bytes / 1e6, reps);
    std::printf("  run (one lock)   %8.2f ms  written %lld bytes\n", median(run) * 1e3, runWritten);
    std::printf("  lock per message %8.2f ms  written %lld bytes\n", median(perMessage) * 1e3, perMessageWritten);
    std::printf("  plain read()     %8.2f ms\n", median(plain) * 1e3);
    std::printf("  run / plain      %8.2f\n", median(run) / median(plain));
    fs::remove_all(dir);
    return 0;
}
