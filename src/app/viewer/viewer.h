#pragma once
// The main window's state without the window: the configuration, the week
// index, the non-listing messages, the channels of the day shown, the shown
// day and the picked time, and the rules that turn them into what the day
// view, the week tabs and the current-programmes grid display. The desktop
// program renders what this object computes; orbisk-cli prints it.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/config.h"
#include "base/datetime.h"
#include "listing/channels.h"
#include "listing/loaders.h"
#include "listing/weeks.h"

namespace orbisk {

class Clock;
class Notifier;

// "Нет программы": the caption of a week tab whose day has no listing text.
inline constexpr char kNoProgrammeText[] = "\xCD\xE5\xF2 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";

// One row of the current-programmes grid.
struct FilmRow {
    int Channel = -1;   // index in the channel list
    std::string Desc;   // column "Канал"
    std::string Title;  // column "Фильм": the line from its seventh character, at most 500; empty when nothing runs
    std::string Time;   // column "Время": "19.30-21.00", "01.00-???" for the last programme; empty when nothing runs
    int Entry = -1;     // the running entry, -1 when none
};

// The progress strip under the day view, in listing minutes (a time before
// 04:30 counts 1440 minutes more).
struct ProgressStrip {
    std::string StartText;  // the running entry's time text
    std::string StopText;   // the next entry's time text, or "???"
    int Minimum = 0;
    int Maximum = 0;
    int Position = 0;  // 0 when StopText is "???"
};

// The underline moved by MarkShowTime: the entry running at the old and at
// the new picked time in the current channel, -1 when none.
struct MarkedEntries {
    int Old = -1;
    int New = -1;
};

class Viewer {
public:
    // Nothing is read until RefreshListings.
    Viewer(const std::string& iniPath, Notifier& notifier, const Clock& clock);
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    Config& Settings() { return config_; }
    const Config& Settings() const { return config_; }
    TWeeks& Weeks() { return weeks_; }
    const TWeeks& Weeks() const { return weeks_; }
    TOtherMsgs& OtherMsgs() { return otherMsgs_; }
    const TOtherMsgs& OtherMsgs() const { return otherMsgs_; }
    // The channels of the day shown; never null.
    TChannels& Channels() { return *channels_; }
    const TChannels& Channels() const { return *channels_; }
    // Replaced on every refresh and every day parsed.
    std::unique_ptr<TChannels>& ChannelsSlot() { return channels_; }

    TDateTime ShownDate() const { return shownDate_; }
    TDateTime ShowTime() const { return showTime_; }
    int CurrentIndex() const { return currentIndex_; }
    // The mailing-structure warning was shown since this object was made.
    bool StructureWarningShown() const { return structureWarningShown_; }

    // ---- Refresh ---------------------------------------------------------
    //
    // The full reload, after the caller stopped its timer: clears the index
    // and the shown day, makes a new channel list, LoadConfig (false: the
    // program ends, nothing else ran), the date names, the load, the listing
    // day of today (before 04:30 the day before) and, unless the program was
    // started with arguments, the picked time moved to the programme running
    // now. Errors (configuration not writable, the loaders') end it there.
    bool RefreshListings(ConfigPrompts& prompts, bool startedWithArguments);
    // Today's listing date: the calendar date, or the day before until 04:30.
    TDateTime ListingToday() const;

    // ---- Showing a day -------------------------------------------------------
    //
    // Shows the day that holds `date`; false, and nothing done, when it is
    // already shown. Sets the seven week-tab captions, the week buttons and
    // the tab of the day; a day with text is parsed, channel 0 selected and
    // CurrentIndex computed; without text the channel list stays as it was.
    bool ShowDay(TDateTime date);
    bool PrevWeek() { return ShowDay(shownDate_ - 7); }
    bool NextWeek() { return ShowDay(shownDate_ + 7); }
    // Day 0 (Monday) ... 6 (Sunday) of the week shown.
    bool ShowWeekDay(int day);
    // Today's calendar date, without the 04:30 rule (the action "Сегодня").
    bool ShowToday();

    // "dd MMMM, DDDD" of each day Monday ... Sunday, or kNoProgrammeText.
    const std::array<std::string, 7>& DayCaptions() const { return captions_; }
    int ShownDayIndex() const { return shownDayIndex_; }  // 0 = Monday
    bool ShownDayHasText() const { return shownDayIndex_ >= 0 && hasText_[static_cast<std::size_t>(shownDayIndex_)]; }
    bool PrevWeekEnabled() const { return prevWeek_; }  // some week ends before the day shown
    bool NextWeekEnabled() const { return nextWeek_; }  // some week starts after it

    // ---- Channels --------------------------------------------------------------
    //
    // Indexes of the channels that get a tab (Hide false), in order.
    std::vector<int> VisibleChannels() const;
    // The tab of the current channel, -1 when it is hidden or there is none.
    int CurrentTab() const;
    // Choosing a channel: select it, CurrentIndex at the clock's time, then
    // the picked time moved to the start of its running programme (nothing
    // running or an unreadable time leaves it).
    void SelectChannel(int index);
    // The tab after / before the current one, wrapping; -1 without tabs.
    int NextTab() const;
    int PrevTab() const;

    // ShowChannelDay's state: CurrentIndex := the current channel's entry
    // running at the clock's time (-1 without a channel). An invalid time
    // text throws, leaving -1.
    int UpdateCurrentIndex();
    // The strip for the running entry at the clock's time; none while
    // nothing runs (the strip keeps what it showed).
    std::optional<ProgressStrip> Progress() const;

    // Moves the picked time; the entries running at the old and the new one.
    // An invalid time text throws (the picked time then stays as it was when
    // the old one failed).
    MarkedEntries MarkShowTime(TDateTime t);
    // The current channel's entry running at the picked time, -1 when none.
    int ShowTimeEntry() const;

    // ---- Current-programmes grid ------------------------------------------
    //
    // One row per shown channel at time of day `t`. An invalid time text
    // stops the build with its error.
    std::vector<FilmRow> FilmRows(TDateTime t) const;
    // True when the grid must be built for `t`: the time, to the minute in
    // TimeFormat, or the day shown changed since the last true answer.
    bool FilmGridStale(TDateTime t);
    // The elapsed part (0..1 for a running programme, outside when the grid
    // time is outside it) of a "start-end" time cell at `gridTime`; none for
    // an empty cell, "-???" or a time that cannot be read.
    static std::optional<double> FilmProgress(std::string_view timeCell, TDateTime gridTime, char timeSeparator);

private:
    int EntryAt(TDateTime t) const;

    Notifier& notifier_;
    const Clock& clock_;
    Config config_;
    TWeeks weeks_;
    TOtherMsgs otherMsgs_;
    std::unique_ptr<TChannels> channels_;
    TDateTime shownDate_ = 0;
    TDateTime showTime_ = 0;
    int currentIndex_ = -1;
    bool structureWarningShown_ = false;
    std::array<std::string, 7> captions_;
    std::array<bool, 7> hasText_{};
    int shownDayIndex_ = -1;
    bool prevWeek_ = false;
    bool nextWeek_ = false;
    std::string filmGridTime_ = "?\?-?\?-?\?";  // "??-??-??": no build yet
    TDateTime filmGridDate_ = 0;
};

}  // namespace orbisk
