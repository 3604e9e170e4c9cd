#include "listing/loaders.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "config/config.h"
#include "base/error.h"
#include "listing/subject.h"
#include "listing/xmltvsource.h"
#include "msgbase/messagearea.h"

namespace orbisk {

namespace {

constexpr std::string_view kFileHeader = "[tv.all]";

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool isBlankLine(std::string_view s) {
    for (char c : s)
        if (!isBlankOrControl(c)) return false;
    return true;
}

// The open area of one load. close() is the checked way out; on every
// other way (an error while reading) the destructor closes it all the same.
class OpenedArea {
public:
    explicit OpenedArea(const std::string& identifier) {
        if (!openAreaByIdentifier(area_, identifier)) throw Error(kCannotOpenBaseText);
    }
    ~OpenedArea() {
        if (area_) closeAreaAndFree(area_);
    }
    OpenedArea(const OpenedArea&) = delete;
    OpenedArea& operator=(const OpenedArea&) = delete;

    MessageArea& operator*() { return *area_; }
    void close() {
        if (!closeAreaAndFree(area_)) throw Error(kCannotCloseBaseText);
    }

private:
    std::unique_ptr<MessageArea> area_;
};

bool readWholeFile(const std::string& path, std::string& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    // One read of the size the file has; a file that grows meanwhile is
    // read on to its end.
    bytes.resize(static_cast<std::size_t>(st.st_size));
    f.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(f.gcount()));
    if (f.bad()) return false;
    if (f) bytes.append(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

}  // namespace

LoadEnv::LoadEnv(const Config& config, Notifier& notifier, const Clock& clock, StructureWarning* warning)
    : kludges(config.kludges()),
      months(config.months()),
      layout(layoutFromConfig(config)),
      messages(notifier),
      today(clock),
      warning(warning) {
    guide.keptChannels = keptChannelNames(config.ini());
    guide.timeSeparator = config.format().timeSeparator;
}

void loadListings(const std::string& identifier, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env) {
    if (!identifier.empty() && identifier[0] == 'I')
        loadFromFiles(identifier.substr(1), weeks, otherMsgs, env);
    else if (!identifier.empty() && identifier[0] == kGuideLetter)
        loadFromGuide(identifier.substr(1), weeks, otherMsgs, env);
    else
        loadFromArea(identifier, weeks, otherMsgs, env);
}

void loadFromArea(const std::string& identifier, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env) {
    OpenedArea area(identifier);
    try {
        otherMsgs.clear();
        weeks.clear();
        MessageArea& a = *area;
        a.locateFrom(1);
        // Most messages of an echo area are chat: its list takes its room once.
        const std::int32_t count = std::clamp(a.countMessages(), 0, 65535);
        otherMsgs.reserve(static_cast<std::size_t>(count));
        if (env.progress) env.progress->total.store(count, std::memory_order_relaxed);
        std::int32_t done = 0;
        while (a.isLocated()) {
            if (env.progress) env.progress->done.store(++done, std::memory_order_relaxed);
            a.loadHeader();
            // A header that cannot be read may be this week's listing: it is
            // neither shown nor ever taken for a message to delete.
            if (!a.isHeaderLoaded()) {
                a.locateNext();
                continue;
            }
            const MsgNumber number = a.getMessageNumber();
            std::string subject = a.getSubject();
            ListingMessage desc = ListingMessage::create(number, subject);
            if (desc.isListing) {
                a.startText();
                weeks.addMessage(a, env.kludges, env.today);
            } else {
                // identityOfLoaded, without converting the subject twice.
                desc.identity = {number, std::move(subject), a.getDateTime(), a.getIdentityKey()};
                otherMsgs.push_back({std::to_string(number), std::move(desc)});
            }
            a.locateNext();
        }
        area.close();
    } catch (...) {
        // Weeks filed before the error hold descriptors but no day texts;
        // every later look-up would take them for a loaded week with empty
        // days. Without buildAll there is no index worth keeping.
        weeks.clear();
        throw;
    }
    weeks.buildAll(env.layout, env.warning);
}

std::string findDayFile(const std::string& folder, int n) {
    namespace fs = std::filesystem;
    const std::string name = std::to_string(n) + ".txt";
    const fs::path exact = fs::path(folder) / name;
    std::error_code ec;
    if (fs::exists(exact, ec)) return exact.string();
    // The listings come from a system whose file names ignore case.
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string found = it->path().filename().string();
        if (found.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(found[i])) == name[i];
        if (same) return it->path().string();
    }
    return {};
}

void loadFromFiles(const std::string& folder, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env) {
    otherMsgs.clear();
    weeks.clear();
    if (env.progress) env.progress->total.store(7, std::memory_order_relaxed);
    for (int n = 1; n <= 7; ++n) {
        if (env.progress) env.progress->done.store(n, std::memory_order_relaxed);
        const std::string path = findDayFile(folder, n);
        std::string bytes;
        if (path.empty() || !readWholeFile(path, bytes)) continue;
        StringList lines = splitLines(bytes);
        if (lines.empty() || lines.front() != kFileHeader) continue;
        lines.erase(lines.begin());
        while (!lines.empty() && isBlankLine(lines.back())) lines.pop_back();
        // No caption line after the header: nothing to date the file by, and
        // nothing in it that a day could show.
        if (lines.size() < 2) continue;
        // KOI8-R is a single-byte code page without line-break characters
        // among its letters, so converting line by line equals converting
        // the whole text and splitting it again.
        for (auto& line : lines) line = koi8ToAnsi(line);
        weeks.addFileDay(n, lines, env.months, env.messages, env.today);
    }
    weeks.buildAll(env.layout, env.warning);
}

}  // namespace orbisk
