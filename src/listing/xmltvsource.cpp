#include "listing/xmltvsource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "base/codepage.h"
#include "base/error.h"
#include "base/inifile.h"
#include "base/ui.h"
#include "config/identifier.h"
#include "listing/bodyparse.h"
#include "listing/xmltvreader.h"
#include "net/download.h"

namespace orbisk {

namespace {

constexpr const char* kChannelsSection = "Channels";
constexpr const char* kCannotOpenGuideText = "Не могу открыть программу XMLTV"_cp1251;
constexpr const char* kNoticeCaption = "Внимание!"_cp1251;
constexpr std::size_t kMaxLine = 255;  // as long as a body line of a message base
constexpr std::string_view kClosingRow = "-----------------";
constexpr int kDayStartMinutes = 270;  // 04:30

std::string channelSection(int number) { return "Channel" + std::to_string(number); }

// As the channel list writes a name, so that it reads back the same.
std::string iniValue(const std::string& value) {
    if (value.empty()) return value;
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const char f = value.front(), b = value.back();
    const bool quoted = value.size() >= 2 && f == b && (f == '"' || f == '\'');
    return blank(f) || blank(b) || quoted ? '"' + value + '"' : value;
}

// 1251 text for a listing line or a caption: look-alikes for what 1251
// lacks, every run of blanks and control characters one blank, trimmed.
std::string listingText(std::string_view utf8) {
    const std::string ansi = utf8ToAnsiLookalike(utf8);
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        if (static_cast<unsigned char>(c) <= ' ') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

class FileReader {
public:
    explicit FileReader(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {}
    ~FileReader() {
        if (f_) std::fclose(f_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    bool isOpen() const { return f_ != nullptr; }
    std::size_t read(char* buffer, std::size_t size, const std::string& name) {
        const std::size_t n = std::fread(buffer, 1, size, f_);
        if (n == 0 && std::ferror(f_)) throw Error(std::string(kCannotOpenGuideText) + ": " + name);
        return n;
    }

private:
    std::FILE* f_;
};

struct GuideChannel {
    std::string name;  // 1251
    int order = 0;
    bool kept = false;
};

struct Entry {
    std::int32_t listingDate;
    std::int32_t channel;
    std::int32_t minutes;  // listing minutes: before 04:30 one day more
    std::uint32_t seq;
    std::string line;
};

class Collector : public GuideHandler {
public:
    Collector(const GuideOptions& options) : options_(options) {
        kept_.insert(options.keptChannels.begin(), options.keptChannels.end());
    }

    void channel(const std::string& id, const std::string& displayName) override {
        if (channels_.count(id)) return;
        std::string name = listingText(displayName.empty() ? id : displayName);
        if (name.empty()) name = listingText(id);
        const bool kept = options_.keepEveryChannel || kept_.count(name);
        channels_.emplace(id, GuideChannel{std::move(name), static_cast<int>(channels_.size()), kept});
    }

    bool wantsChannel(std::string_view id) override {
        const std::string key(id);
        auto it = channels_.find(key);
        // A programme of a channel the guide never introduced goes by its id.
        if (it == channels_.end()) {
            channel(key, {});
            it = channels_.find(key);
        }
        current_ = &it->second;
        return it->second.kept;
    }

    void programme(const GuideProgramme& p) override {
        std::int64_t utc;
        if (!parseGuideTime(p.start, utc)) {
            ++skipped_;
            return;
        }
        const std::time_t t = static_cast<std::time_t>(utc);
        std::tm local{};
        if (!localtime_r(&t, &local)) {
            ++skipped_;
            return;
        }
        std::string title = listingText(p.title);
        if (title.empty()) {
            ++skipped_;
            return;
        }
        const std::string subTitle = listingText(p.subTitle);
        if (!subTitle.empty()) title += (std::string_view(".!?").find(title.back()) == std::string_view::npos ? ". " : " ") + subTitle;
        const int minutes = local.tm_hour * 60 + local.tm_min;
        std::int64_t date = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        if (minutes < kDayStartMinutes) --date;
        char time[8];
        std::snprintf(time, sizeof time, "%02d%c%02d ", local.tm_hour, options_.timeSeparator, local.tm_min);
        std::string line = time + title;
        if (line.size() > kMaxLine) line.resize(kMaxLine);
        entries_.push_back({static_cast<std::int32_t>(date), current_->order,
                            minutes < kDayStartMinutes ? minutes + 1440 : minutes, seq_++, std::move(line)});
    }

    // Files the entries in `weeks`: one caption block per kept channel and
    // listing day, in the guide's channel order, programmes by start. Of two
    // programmes of a channel starting at the same minute the first is kept.
    void fileInto(WeekIndex& weeks, const LoadEnv& env) {
        std::vector<const GuideChannel*> byOrder(channels_.size());
        for (const auto& [id, channel] : channels_) byOrder[static_cast<std::size_t>(channel.order)] = &channel;
        std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return std::tie(a.listingDate, a.channel, a.minutes, a.seq) <
                   std::tie(b.listingDate, b.channel, b.minutes, b.seq);
        });
        const Entry* previous = nullptr;
        DayLines* day = nullptr;
        std::string text;  // the day's text, handed over whole
        const auto addLine = [&text](std::string_view line) {
            text += line;
            text += "\r\n";
        };
        for (const Entry& e : entries_) {
            const bool newDay = !previous || previous->listingDate != e.listingDate;
            const bool newBlock = newDay || previous->channel != e.channel;
            if (!newBlock && previous->minutes == e.minutes) continue;
            const DateTime date = e.listingDate;
            if (newDay) {
                if (day) day->append(std::move(text));
                text.clear();
                Week& week = weeks.ensureWeek(date);
                week.days.resize(7);
                day = &week.days[static_cast<std::size_t>(date - week.startDate)];
            }
            if (newBlock) {
                addLine(env.layout.firstCaptionRow);
                addLine(captionLine(date, byOrder[static_cast<std::size_t>(e.channel)]->name, env));
                addLine(kClosingRow);
            }
            addLine(e.line);
            previous = &e;
        }
        if (day) day->append(std::move(text));
    }

    int skipped() const { return skipped_; }

private:
    // "<day name>. <day> <month>. <channel>": the channel is the caption's
    // tail from its fourth word, whatever the names hold.
    static std::string captionLine(DateTime date, const std::string& channel, const LoadEnv& env) {
        int y, m, d;
        decodeDate(date, y, m, d);
        std::string dayName = env.layout.days[dayOfWeek(date)];
        std::string month = env.months[m];
        if (dayName.empty() || dayName.find(' ') != std::string::npos) dayName = "-";
        if (month.empty() || month.find(' ') != std::string::npos) month = "-";
        return dayName + ". " + std::to_string(d) + " " + month + ". " + channel;
    }

    const GuideOptions& options_;
    std::unordered_set<std::string> kept_;
    std::unordered_map<std::string, GuideChannel> channels_;
    GuideChannel* current_ = nullptr;
    std::vector<Entry> entries_;
    std::uint32_t seq_ = 0;
    int skipped_ = 0;
};

// The file to read for `location`: the file itself, or an address's copy.
std::string guideFile(const std::string& location, const LoadEnv& env) {
    if (!isAddress(location)) return location;
    Downloader inThisThread;
    Downloader& downloader = env.guide.downloader ? *env.guide.downloader : inThisThread;
    const std::string folder = env.guide.cacheFolder.empty() ? userCacheFolder() : env.guide.cacheFolder;
    const CachedCopy copy = refreshCachedCopy(location, folder, downloader);
    if (!copy.notice.empty()) env.messages.show(copy.notice, kNoticeCaption, MsgIcon::Warning);
    return copy.file;
}

void readGuideFile(const std::string& file, const std::string& location, GuideHandler& handler) {
    const std::string name = fileNameToAnsi(location);
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw Error(std::string(kCannotOpenGuideText) + ": " + name);
    const GuideLimits limits;
    // A plain document over the limit is refused before reading a byte of it.
    if (static_cast<std::uint64_t>(st.st_size) > limits.maxDocumentBytes) {
        FileReader probe(file);
        unsigned char head[6] = {};
        const bool compressed = probe.isOpen() && probe.read(reinterpret_cast<char*>(head), 6, name) == 6 &&
                                ((head[0] == 0x1F && head[1] == 0x8B) || (head[0] == 0xFD && head[1] == '7'));
        if (!compressed) throw Error(std::string(kGuideTooLargeText) + ": " + name);
    }
    FileReader reader(file);
    if (!reader.isOpen()) throw Error(std::string(kCannotOpenGuideText) + ": " + name);
    readGuide([&](char* buffer, std::size_t size) { return reader.read(buffer, size, name); }, name, handler, limits);
}

// Ends a read at the first programme: every channel has come by then.
struct ChannelsRead {};

class ChannelLister : public GuideHandler {
public:
    std::vector<std::string> names;
    void channel(const std::string& id, const std::string& displayName) override {
        std::string name = listingText(displayName.empty() ? id : displayName);
        if (name.empty()) name = listingText(id);
        if (seen_.insert(name).second) names.push_back(name);
    }
    bool wantsChannel(std::string_view) override { throw ChannelsRead{}; }
    void programme(const GuideProgramme&) override {}

private:
    std::unordered_set<std::string> seen_;
};

}  // namespace

void loadFromGuide(const std::string& location, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env) {
    const std::string file = guideFile(location, env);
    Collector collector(env.guide);
    readGuideFile(file, location, collector);
    WeekIndex loaded;
    collector.fileInto(loaded, env);
    otherMsgs.clear();
    weeks = std::move(loaded);
}

void loadGuideBytes(std::string_view bytes, const std::string& name, WeekIndex& weeks, const LoadEnv& env) {
    Collector collector(env.guide);
    readGuideBytes(bytes, name, collector);
    WeekIndex loaded;
    collector.fileInto(loaded, env);
    weeks = std::move(loaded);
}

std::vector<std::string> guideChannelNames(const std::string& location, const std::string& cacheFolder) {
    std::string file = location;
    if (isAddress(location)) {
        file = cachedCopyFile(location, cacheFolder.empty() ? userCacheFolder() : cacheFolder);
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) return {};
    }
    ChannelLister lister;
    try {
        readGuideFile(file, location, lister);
    } catch (const ChannelsRead&) {
    }
    return lister.names;
}

std::vector<std::string> pickedChannels(const std::vector<std::string>& kept, const std::vector<std::string>& ticked) {
    const std::unordered_set<std::string> tickedSet(ticked.begin(), ticked.end());
    std::unordered_set<std::string> taken;
    std::vector<std::string> out;
    for (const auto& name : kept)
        if (tickedSet.count(name) && taken.insert(name).second) out.push_back(name);
    for (const auto& name : ticked)
        if (taken.insert(name).second) out.push_back(name);
    return out;
}

std::vector<std::string> keptChannelNames(const IniFile& ini) {
    std::vector<std::string> names;
    for (auto& [key, value] : ini.readSectionValues(kChannelsSection)) names.push_back(value);
    return names;
}

void setKeptChannels(IniFile& ini, const std::vector<std::string>& names) {
    struct Options {
        std::string desc;
        bool hide = false;
        bool hasDesc = false;
    };
    const auto saved = ini.readSectionValues(kChannelsSection);
    std::unordered_map<std::string, Options> options;
    for (const auto& [key, value] : saved) {
        if (options.count(value)) continue;
        const std::string section = "Channel" + key;  // as the channel list numbers them
        Options o;
        o.hasDesc = ini.valueExists(section, "Desc");
        o.desc = ini.readString(section, "Desc", value);
        o.hide = ini.readBool(section, "Hide", false);
        options.emplace(value, o);
    }
    for (const auto& [key, value] : saved) ini.eraseSection("Channel" + key);
    ini.eraseSection(kChannelsSection);
    int number = 0;
    for (const auto& name : names) {
        ++number;
        ini.writeString(kChannelsSection, std::to_string(number), iniValue(name));
        const auto it = options.find(name);
        if (it == options.end()) continue;
        if (it->second.hasDesc && it->second.desc != name)
            ini.writeString(channelSection(number), "Desc", iniValue(it->second.desc));
        if (it->second.hide) ini.writeString(channelSection(number), "Hide", "1");
    }
}

}  // namespace orbisk
