// The whole load of an echo area as a refresh does it (walk, body reads of
// the listings, buildAll, the shown day parsed) on the demo mailing among
// 10,000 messages, against plain read() of the same files.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "viewer/viewer.h"
#include "base/ui.h"
#include "benchutil.h"
#include "quiet.h"
#include "msgbase/messagearea.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;

using bench::Silent;
using bench::NoPrompts;

void addOtherMessages(const std::string& area, int count) {
    std::unique_ptr<orbisk::MessageArea> a;
    if (!orbisk::openAreaByIdentifier(a, "F" + area)) {
        std::fprintf(stderr, "cannot open %s\n", area.c_str());
        std::exit(1);
    }
    unsigned seed = 3;
    for (int i = 0; i < count; ++i) {
        a->startNewMessage();
        a->setFromName("Ivan Petrov");
        a->setToName("All");
        a->setSubject("Other talk " + std::to_string(i));
        a->setDateTime(orbisk::encodeDate(2026, 12, 1));
        const std::size_t size = 1024 + (static_cast<std::size_t>(i) * 7919) % 2048;
        for (std::size_t written = 0; written < size; written += 60) a->writeTextLine(bench::line(seed, 59));
        a->saveMessage();
    }
    orbisk::closeAreaAndFree(a);
}

std::size_t plainRead(const std::string& dir, std::vector<char>& buf) {
    std::size_t total = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        const int fd = ::open(e.path().c_str(), O_RDONLY);
        if (fd < 0) continue;
        for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) total += static_cast<std::size_t>(n);
        ::close(fd);
    }
    return total;
}

}  // namespace

int main() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string dir = (fs::temp_directory_path() / ("orbisk-fullload-" + std::to_string(getpid()))).string();
    const std::string cli = (self.parent_path() / "orbisk-cli").string();
    if (std::system((cli + " demo --format msg --out " + dir + " >/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "orbisk-cli demo failed (build orbisk-cli first)\n");
        return 1;
    }
    const std::string area = dir + "/echo";
    const int before = static_cast<int>(std::distance(fs::directory_iterator(area), fs::directory_iterator()));
    addOtherMessages(area, 10000 - before);

    Silent silent;
    orbisk::SystemClock clock;
    NoPrompts prompts;
    std::vector<double> load, plain;
    std::vector<char> buf(1 << 16);
    std::size_t bytes = 0, weeks = 0;
    for (int i = 0; i < 7; ++i) {
        auto t0 = Clock::now();
        orbisk::Viewer viewer(dir + "/Orbisk.ini", silent, clock);
        viewer.refreshListings(prompts, true);
        load.push_back(bench::seconds(t0, Clock::now()));
        weeks = viewer.weeks().items.size();
        t0 = Clock::now();
        bytes = plainRead(area, buf);
        plain.push_back(bench::seconds(t0, Clock::now()));
    }
    const double l = bench::median(load), p = bench::median(plain);
    std::printf("full load of 10000 messages (%zu weeks): %.2f ms; plain read() of %zu bytes: %.2f ms; ratio %.2f\n",
                weeks, l * 1e3, bytes, p * 1e3, l / p);
    fs::remove_all(dir);
    return 0;
}
