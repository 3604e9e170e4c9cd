#include "listing/channellist.h"

#include <cstdint>

#include "config/config.h"
#include "base/error.h"
#include "base/inifile.h"
#include "base/strings.h"
#include "base/timetext.h"

namespace orbisk {

namespace {

constexpr const char* kChannelsSection = "Channels";

std::string channelSection(int number) { return "Channel" + std::to_string(number); }

// The value of key `key` in "key=value" lines; keys compare as the profile
// functions compare them (the numbers here have no letters anyway).
bool findValue(const std::vector<std::string>& lines, std::string_view key, std::string& value) {
    for (const auto& line : lines) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (std::string_view(line).substr(0, eq) == key) {
            value = line.substr(eq + 1);
            return true;
        }
    }
    return false;
}

// The INI file trims blanks around values and drops one pair of enclosing
// quotes; a name that would lose something that way is written quoted so
// that it reads back exactly (caption names may end in blanks).
std::string iniValue(const std::string& value) {
    if (value.empty()) return value;
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const char f = value.front(), b = value.back();
    bool quoted = value.size() >= 2 && f == b && (f == '"' || f == '\'');
    if (blank(f) || blank(b) || quoted) return '"' + value + '"';
    return value;
}

std::int64_t timeTextMSecs(const std::string& text, char separator) {
    return timeMSecs(strToTime(text, separator));
}

}  // namespace

// ---- Channel ------------------------------------------------------------

void Channel::deleteEntry(int index) {
    if (index < 0 || index >= entryCount()) return;
    lines.erase(lines.begin() + index);
    if (index < static_cast<int>(times.size())) times.erase(times.begin() + index);
}

void Channel::joinWithPrevious(int index) {
    if (index < 0 || index >= entryCount()) return;
    if (index > 0) lines[index - 1] += " " + lines[index];
    deleteEntry(index);
}

int Channel::findCurrent(DateTime t) const {
    if (times.empty()) return -1;
    // Everything is compared in listing time: a start or a moment before
    // 04:30 counts one day later. Comparing the moment in calendar time
    // whenever the day's first entry is itself before 04:30 missed the night
    // programmes of a day that starts after midnight (01.00, 02.00 at 01:30).
    // Whole milliseconds, so that a start equal to the queried time compares
    // equal however either value was computed.
    constexpr std::int64_t kDay = kMSecsPerDay;
    const std::int64_t boundary = timeMSecs(dayStartTime);
    auto listing = [&](std::int64_t ms) { return ms < boundary ? ms + kDay : ms; };
    const std::int64_t now = listing(timeMSecs(t));
    const std::int64_t first = listing(timeTextMSecs(times.front(), timeSeparator));
    // Read for its check only: an invalid last start fails every query.
    (void)timeTextMSecs(times.back(), timeSeparator);
    if (now < first) return -1;
    for (std::size_t i = 0; i < times.size(); ++i)
        if (listing(timeTextMSecs(times[i], timeSeparator)) > now) return static_cast<int>(i) - 1;
    return static_cast<int>(times.size()) - 1;
}

// ---- ChannelList ------------------------------------------------------------

ChannelList::ChannelList(IniFile* ini, std::string_view timeFormat, char timeSeparator)
    : ini_(ini), timeLength_(timeFormat.size()), separator_(timeSeparator) {
    if (!ini_) return;
    for (const auto& [key, value] : ini_->readSectionValues(kChannelsSection)) savedNames.push_back(key + "=" + value);
}

ChannelList::ChannelList(Config& config)
    : ChannelList(&config.ini(), config.timeFormat(), config.format().timeSeparator) {}

void ChannelList::clear() {
    current_ = nullptr;
    list_.clear();
}

Channel& ChannelList::items(int index) {
    return const_cast<Channel&>(static_cast<const ChannelList*>(this)->items(index));
}

const Channel& ChannelList::items(int index) const {
    if (index < 0 || index >= count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return *list_[static_cast<std::size_t>(index)];
}

void ChannelList::select(int index) { current_ = &items(index); }

int ChannelList::addChannel(const std::string& name) {
    auto channel = std::make_unique<Channel>();
    channel->name = name;
    channel->desc = name;
    channel->timeSeparator = separator_;
    const int saved = static_cast<int>(savedNames.size());
    for (int number = 1; number <= saved; ++number) {
        std::string value;
        if (!findValue(savedNames, std::to_string(number), value) || value != name) continue;
        if (ini_) {
            channel->desc = ini_->readString(channelSection(number), "Desc", name);
            channel->hide = ini_->readBool(channelSection(number), "Hide", false);
        }
        break;
    }
    channel->index = count();
    current_ = channel.get();
    list_.push_back(std::move(channel));
    return current_->index;
}

int ChannelList::addLine(std::string_view line) {
    if (!current_) return -1;
    current_->lines.emplace_back(line);
    current_->times.emplace_back(line.substr(0, timeLength_));
    return current_->entryCount() - 1;
}

bool ChannelList::isProgrammeLine(std::string_view line) const {
    DateTime t;
    return tryStrToTime(line.substr(0, timeLength_), separator_, t);
}

void ChannelList::save() {
    if (ini_) {
        const int saved = static_cast<int>(savedNames.size());
        for (int number = 1; number <= saved; ++number) ini_->eraseSection(channelSection(number));
        ini_->eraseSection(kChannelsSection);
        savedNames.clear();
        int number = 0;
        for (const auto& channel : list_) {
            ++number;
            const std::string key = std::to_string(number);
            savedNames.push_back(key + "=" + channel->name);
            ini_->writeString(kChannelsSection, key, iniValue(channel->name));
            if (channel->desc != channel->name) ini_->writeString(channelSection(number), "Desc", iniValue(channel->desc));
            if (channel->hide) ini_->writeString(channelSection(number), "Hide", "1");
        }
    }
    if (onSaved) onSaved();
}

int ChannelList::findVisible(std::string_view desc, int& tabPos) const {
    // A reminder job names the channel with its double quotes turned into
    // apostrophes: the exact name wins, the job's spelling finds it too.
    for (const bool asTheJobWritesIt : {false, true}) {
        int shown = 0;
        for (const auto& channel : list_) {
            if (channel->hide) continue;
            if (asTheJobWritesIt ? replaceAll(channel->desc, "\"", "'") == desc : channel->desc == desc) {
                tabPos = shown;
                return channel->index;
            }
            ++shown;
        }
    }
    tabPos = -1;
    return -1;
}

}  // namespace orbisk
