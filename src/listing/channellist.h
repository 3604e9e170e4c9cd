#pragma once
// The channels of the day shown, each with its programme entries, and the
// user's per-channel settings (display name, hidden) kept in the sections
// "Channels" and "ChannelN" of Orbisk.ini under the channel's listing name.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace orbisk {

class Config;
class IniFile;

// One channel of the day. An entry is the pair (lines[i], times[i]): the
// programme line ("19.30 Title") and its start-time text; both lists always
// have the same length.
class Channel {
public:
    bool hide = false;
    std::string desc;  // display name; defaults to Name
    std::string name;  // as the listing's caption spells it
    std::vector<std::string> lines;
    int index = 0;  // position in its ChannelList
    std::vector<std::string> times;
    // The separator the time texts are read with.
    char timeSeparator = '.';

    int entryCount() const { return static_cast<int>(lines.size()); }
    // Out-of-range indexes change nothing.
    void deleteEntry(int index);
    // Line index-1 += " " + line index, then entry index goes; at 0 the
    // entry is only deleted. The earlier entry keeps its time text.
    void joinWithPrevious(int index);

    // The entry running at time of day `t` (its date part is ignored), or
    // -1. Times before 04:30 belong to the night after the day; an entry
    // starting exactly at `t` is running; after the last entry the last one
    // runs until 04:30. An invalid time text throws
    // Error("'<text>' is not a valid time").
    int findCurrent(DateTime t) const;

    void setDesc(const std::string& value) { desc = value; }
    void setHide(bool value) { hide = value; }
};

class ChannelList {
public:
    // `ini` may be null (no persisted settings; save() then writes nothing).
    // The time texts are as many characters long as `timeFormat` and read
    // with `timeSeparator`. The saved names are read from section "Channels".
    ChannelList(IniFile* ini, std::string_view timeFormat, char timeSeparator);
    // On the configuration file, with its timeFormat and time separator.
    explicit ChannelList(Config& config);
    ChannelList(const ChannelList&) = delete;
    ChannelList& operator=(const ChannelList&) = delete;

    // "number=name" lines of section "Channels", as read or as last saved.
    std::vector<std::string> savedNames;
    // Called at the end of save() (the main window rebuilds its channel tabs).
    std::function<void()> onSaved;

    void clear();
    int count() const { return static_cast<int>(list_.size()); }
    // Throws Error("List index out of bounds (<index>)") outside 0..Count-1.
    Channel& items(int index);
    const Channel& items(int index) const;
    Channel* current() const { return current_; }
    void select(int index);

    // Appends a channel with the settings saved for `name` (first matching
    // number wins), selects it and returns its index.
    int addChannel(const std::string& name);
    // Appends an entry to the current channel; its time text is the first
    // timeLength() characters. Returns the entry's index, or -1 when no
    // channel is selected.
    int addLine(std::string_view line);
    bool isProgrammeLine(std::string_view line) const;
    // Post-parse cleaning of every channel's entries (message or file week).
    void normalize(bool fromFiles);

    // Replaces the persisted list by the channels of this day.
    void save();
    // Index of the first shown channel whose `desc` equals `desc` (failing
    // that, whose `desc` with '"' written as '\'' does, as reminder jobs name
    // it), and in `tabPos` the number of shown channels before it; both -1
    // when none.
    int findVisible(std::string_view desc, int& tabPos) const;

    std::size_t timeLength() const { return timeLength_; }
    char timeSeparator() const { return separator_; }

private:
    void normalizeMessageChannel(Channel& channel);
    void normalizeFileChannel(Channel& channel);

    std::vector<std::unique_ptr<Channel>> list_;
    IniFile* ini_;
    Channel* current_ = nullptr;
    std::size_t timeLength_;
    char separator_;
};

}  // namespace orbisk
