#include "listing/channels.h"

#include <cstdint>

#include "app/config/config.h"
#include "base/error.h"
#include "base/inifile.h"
#include "base/timetext.h"

namespace orbisk {

namespace {

constexpr const char* kChannelsSection = "Channels";

std::string ChannelSection(int number) { return "Channel" + std::to_string(number); }

// The value of key `key` in "key=value" lines; keys compare as the profile
// functions compare them (the numbers here have no letters anyway).
bool FindValue(const std::vector<std::string>& lines, std::string_view key, std::string& value) {
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
std::string IniValue(const std::string& value) {
    if (value.empty()) return value;
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const char f = value.front(), b = value.back();
    bool quoted = value.size() >= 2 && f == b && (f == '"' || f == '\'');
    if (blank(f) || blank(b) || quoted) return '"' + value + '"';
    return value;
}

std::int64_t TimeTextMSecs(const std::string& text, char separator) {
    return TimeMSecs(StrToTime(text, separator));
}

}  // namespace

// ---- TChannel ------------------------------------------------------------

void TChannel::DeleteEntry(int index) {
    if (index < 0 || index >= EntryCount()) return;
    Lines.erase(Lines.begin() + index);
    if (index < static_cast<int>(Times.size())) Times.erase(Times.begin() + index);
}

void TChannel::JoinWithPrevious(int index) {
    if (index < 0 || index >= EntryCount()) return;
    if (index > 0) Lines[index - 1] += " " + Lines[index];
    DeleteEntry(index);
}

int TChannel::FindCurrent(TDateTime t) const {
    if (Times.empty()) return -1;
    // Everything is compared in listing time: a start or a moment before
    // 04:30 counts one day later. Comparing the moment in calendar time
    // whenever the day's first entry is itself before 04:30 missed the night
    // programmes of a day that starts after midnight (01.00, 02.00 at 01:30).
    // Whole milliseconds, so that a start equal to the queried time compares
    // equal however either value was computed.
    constexpr std::int64_t kDay = kMSecsPerDay;
    const std::int64_t boundary = TimeMSecs(DayStartTime);
    auto listing = [&](std::int64_t ms) { return ms < boundary ? ms + kDay : ms; };
    const std::int64_t now = listing(TimeMSecs(t));
    const std::int64_t first = listing(TimeTextMSecs(Times.front(), TimeSeparator));
    // Read for its check only: an invalid last start fails every query.
    (void)TimeTextMSecs(Times.back(), TimeSeparator);
    if (now < first) return -1;
    for (std::size_t i = 0; i < Times.size(); ++i)
        if (listing(TimeTextMSecs(Times[i], TimeSeparator)) > now) return static_cast<int>(i) - 1;
    return static_cast<int>(Times.size()) - 1;
}

// ---- TChannels ------------------------------------------------------------

TChannels::TChannels(IniFile* ini, std::string_view timeFormat, char timeSeparator)
    : ini_(ini), timeLength_(timeFormat.size()), separator_(timeSeparator) {
    if (!ini_) return;
    for (const auto& [key, value] : ini_->ReadSectionValues(kChannelsSection)) SavedNames.push_back(key + "=" + value);
}

TChannels::TChannels(Config& config)
    : TChannels(&config.Ini(), config.TimeFormat(), config.Format().timeSeparator) {}

void TChannels::Clear() {
    current_ = nullptr;
    list_.clear();
}

TChannel& TChannels::Items(int index) {
    return const_cast<TChannel&>(static_cast<const TChannels*>(this)->Items(index));
}

const TChannel& TChannels::Items(int index) const {
    if (index < 0 || index >= Count()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return *list_[static_cast<std::size_t>(index)];
}

void TChannels::Select(int index) { current_ = &Items(index); }

int TChannels::AddChannel(const std::string& name) {
    auto channel = std::make_unique<TChannel>();
    channel->Name = name;
    channel->Desc = name;
    channel->TimeSeparator = separator_;
    const int saved = static_cast<int>(SavedNames.size());
    for (int number = 1; number <= saved; ++number) {
        std::string value;
        if (!FindValue(SavedNames, std::to_string(number), value) || value != name) continue;
        if (ini_) {
            channel->Desc = ini_->ReadString(ChannelSection(number), "Desc", name);
            channel->Hide = ini_->ReadBool(ChannelSection(number), "Hide", false);
        }
        break;
    }
    channel->Index = Count();
    current_ = channel.get();
    list_.push_back(std::move(channel));
    return current_->Index;
}

int TChannels::AddLine(const std::string& line) {
    if (!current_) return -1;
    current_->Lines.push_back(line);
    current_->Times.push_back(line.substr(0, timeLength_));
    return current_->EntryCount() - 1;
}

bool TChannels::IsProgrammeLine(std::string_view line) const {
    TDateTime t;
    return TryStrToTime(line.substr(0, timeLength_), separator_, t);
}

void TChannels::Save() {
    if (ini_) {
        const int saved = static_cast<int>(SavedNames.size());
        for (int number = 1; number <= saved; ++number) ini_->EraseSection(ChannelSection(number));
        ini_->EraseSection(kChannelsSection);
        SavedNames.clear();
        int number = 0;
        for (const auto& channel : list_) {
            ++number;
            const std::string key = std::to_string(number);
            SavedNames.push_back(key + "=" + channel->Name);
            ini_->WriteString(kChannelsSection, key, IniValue(channel->Name));
            if (channel->Desc != channel->Name) ini_->WriteString(ChannelSection(number), "Desc", IniValue(channel->Desc));
            if (channel->Hide) ini_->WriteString(ChannelSection(number), "Hide", "1");
        }
    }
    if (OnSaved) OnSaved();
}

int TChannels::FindVisible(std::string_view desc, int& tabPos) const {
    int shown = 0;
    for (const auto& channel : list_) {
        if (channel->Hide) continue;
        if (channel->Desc == desc) {
            tabPos = shown;
            return channel->Index;
        }
        ++shown;
    }
    tabPos = -1;
    return -1;
}

}  // namespace orbisk
