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

// One channel of the day. An entry is the pair (Lines[i], Times[i]): the
// programme line ("19.30 Title") and its start-time text; both lists always
// have the same length.
class TChannel {
public:
    bool Hide = false;
    std::string Desc;  // display name; defaults to Name
    std::string Name;  // as the listing's caption spells it
    std::vector<std::string> Lines;
    int Index = 0;  // position in its TChannels
    std::vector<std::string> Times;
    // The separator the time texts are read with.
    char TimeSeparator = '.';

    int EntryCount() const { return static_cast<int>(Lines.size()); }
    // Out-of-range indexes change nothing.
    void DeleteEntry(int index);
    // Line index-1 += " " + line index, then entry index goes; at 0 the
    // entry is only deleted. The earlier entry keeps its time text.
    void JoinWithPrevious(int index);

    // The entry running at time of day `t` (its date part is ignored), or
    // -1. Times before 04:30 belong to the night after the day; an entry
    // starting exactly at `t` is running; after the last entry the last one
    // runs until 04:30. An invalid time text throws
    // Error("'<text>' is not a valid time").
    int FindCurrent(TDateTime t) const;

    void SetDesc(const std::string& value) { Desc = value; }
    void SetHide(bool value) { Hide = value; }
};

class TChannels {
public:
    // `ini` may be null (no persisted settings; Save then writes nothing).
    // The time texts are Length(timeFormat) characters long and read with
    // `timeSeparator`. The saved names are read from section "Channels".
    TChannels(IniFile* ini, std::string_view timeFormat, char timeSeparator);
    // On the configuration file, with its TimeFormat and time separator.
    explicit TChannels(Config& config);
    TChannels(const TChannels&) = delete;
    TChannels& operator=(const TChannels&) = delete;

    // "number=name" lines of section "Channels", as read or as last saved.
    std::vector<std::string> SavedNames;
    // Called at the end of Save (the main window rebuilds its channel tabs).
    std::function<void()> OnSaved;

    void Clear();
    int Count() const { return static_cast<int>(list_.size()); }
    // Throws Error("List index out of bounds (<index>)") outside 0..Count-1.
    TChannel& Items(int index);
    const TChannel& Items(int index) const;
    TChannel* Current() const { return current_; }
    void Select(int index);

    // Appends a channel with the settings saved for `name` (first matching
    // number wins), selects it and returns its index.
    int AddChannel(const std::string& name);
    // Appends an entry to the current channel; its time text is the first
    // Length(TimeFormat) characters. Returns the entry's index, or -1 when no
    // channel is selected.
    int AddLine(const std::string& line);
    bool IsProgrammeLine(std::string_view line) const;
    // Post-parse cleaning of every channel's entries (message or file week).
    void Normalize(bool fromFiles);

    // Replaces the persisted list by the channels of this day.
    void Save();
    // Index of the first shown channel whose Desc equals `desc`, and in
    // `tabPos` the number of shown channels before it; both -1 when none.
    int FindVisible(std::string_view desc, int& tabPos) const;

    std::size_t TimeLength() const { return timeLength_; }
    char TimeSeparator() const { return separator_; }

private:
    void NormalizeMessageChannel(TChannel& channel);
    void NormalizeFileChannel(TChannel& channel);

    std::vector<std::unique_ptr<TChannel>> list_;
    IniFile* ini_;
    TChannel* current_ = nullptr;
    std::size_t timeLength_;
    char separator_;
};

}  // namespace orbisk
