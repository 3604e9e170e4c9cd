#include "listing/loaders.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/config/config.h"
#include "base/error.h"
#include "listing/subject.h"
#include "msgbase/messagearea.h"

namespace orbisk {

namespace {

constexpr std::string_view kFileHeader = "[tv.all]";

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsBlankLine(std::string_view s) {
    for (char c : s)
        if (!IsBlankOrControl(c)) return false;
    return true;
}

// The open area of one load. Close() is the checked way out; on every
// other way (an error while reading) the destructor closes it all the same.
class OpenedArea {
public:
    explicit OpenedArea(const std::string& identifier) {
        if (!OpenAreaByIdentifier(area_, identifier)) throw Error(kCannotOpenBaseText);
    }
    ~OpenedArea() {
        if (area_) CloseAreaAndFree(area_);
    }
    OpenedArea(const OpenedArea&) = delete;
    OpenedArea& operator=(const OpenedArea&) = delete;

    MessageArea& operator*() { return *area_; }
    void Close() {
        if (!CloseAreaAndFree(area_)) throw Error(kCannotCloseBaseText);
    }

private:
    std::unique_ptr<MessageArea> area_;
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

}  // namespace

LoadEnv::LoadEnv(const Config& config, Notifier& notifier, const Clock& clock, StructureWarning* warning)
    : Kludges(config.Kludges()),
      Months(config.Months()),
      Layout(LayoutFromConfig(config)),
      Messages(notifier),
      Today(clock),
      Warning(warning) {}

void LoadListings(const std::string& identifier, TWeeks& weeks, TOtherMsgs& otherMsgs, const LoadEnv& env) {
    if (!identifier.empty() && identifier[0] == 'I')
        LoadFromFiles(identifier.substr(1), weeks, otherMsgs, env);
    else
        LoadFromArea(identifier, weeks, otherMsgs, env);
}

void LoadFromArea(const std::string& identifier, TWeeks& weeks, TOtherMsgs& otherMsgs, const LoadEnv& env) {
    OpenedArea area(identifier);
    try {
        otherMsgs.clear();
        weeks.Clear();
        MessageArea& a = *area;
        a.LocateFrom(1);
        while (a.IsLocated()) {
            a.LoadHeader();
            const MsgNumber number = a.GetMessageNumber();
            TMSGDesc desc = TMSGDesc::Create(number, a.GetSubject());
            if (desc.IsListing) {
                a.StartText();
                weeks.AddMessage(a, env.Kludges, env.Today);
            } else {
                otherMsgs.push_back({std::to_string(number), std::move(desc)});
            }
            a.LocateNext();
        }
        area.Close();
    } catch (...) {
        // Weeks filed before the error hold descriptors but no day texts;
        // every later look-up would take them for a loaded week with empty
        // days. Without BuildAll there is no index worth keeping.
        weeks.Clear();
        throw;
    }
    weeks.BuildAll(env.Layout, env.Warning);
}

std::string FindDayFile(const std::string& folder, int n) {
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

void LoadFromFiles(const std::string& folder, TWeeks& weeks, TOtherMsgs& otherMsgs, const LoadEnv& env) {
    otherMsgs.clear();
    weeks.Clear();
    for (int n = 1; n <= 7; ++n) {
        const std::string path = FindDayFile(folder, n);
        std::string bytes;
        if (path.empty() || !ReadWholeFile(path, bytes)) continue;
        StringList lines = SplitLines(bytes);
        if (lines.empty() || lines.front() != kFileHeader) continue;
        lines.erase(lines.begin());
        while (!lines.empty() && IsBlankLine(lines.back())) lines.pop_back();
        // No caption line after the header: nothing to date the file by, and
        // nothing in it that a day could show.
        if (lines.size() < 2) continue;
        // KOI8-R is a single-byte code page without line-break characters
        // among its letters, so converting line by line equals converting
        // the whole text and splitting it again.
        for (auto& line : lines) line = Koi8ToAnsi(line);
        weeks.AddFileDay(n, lines, env.Months, env.Messages, env.Today);
    }
    weeks.BuildAll(env.Layout, env.Warning);
}

}  // namespace orbisk
