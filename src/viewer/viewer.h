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

#include "base/cp1251.h"
#include "base/datetime.h"
#include "config/config.h"
#include "listing/channellist.h"
#include "listing/loaders.h"
#include "listing/weekindex.h"
#include "viewer/programmesearch.h"
#include "viewer/listingload.h"

namespace orbisk {

class Clock;
class Notifier;

// The caption of a week tab whose day has no listing text.
inline constexpr const char* kNoProgrammeText = "Нет программы"_cp1251;

// One row of the current-programmes grid.
struct FilmRow {
    int channel = -1;   // index in the channel list
    std::string desc;   // column "Канал"
    std::string title;  // column "Фильм": the line from its seventh character, at most 500; empty when nothing runs
    std::string time;  // column "Время": "19.30-21.00", "01.00-???" for the last programme; empty when nothing runs
    int entry = -1;    // the running entry, -1 when none
    bool favourite = false;  // a favourite marks the running programme
};

// The progress strip under the day view, in listing minutes (a time before
// 04:30 counts 1440 minutes more).
struct ProgressStrip {
    std::string startText;  // the running entry's time text
    std::string stopText;   // the next entry's time text, or "???"
    int minimum = 0;
    int maximum = 0;
    int position = 0;  // 0 when stopText is "???"
};

// The underline moved by markShowTime: the entry running at the old and at
// the new picked time in the current channel, -1 when none.
struct MarkedEntries {
    int oldEntry = -1;
    int newEntry = -1;
};

class Viewer {
public:
    // Nothing is read until refreshListings.
    Viewer(const std::string& iniPath, Notifier& notifier, const Clock& clock);
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    Config& settings() { return config_; }
    const Config& settings() const { return config_; }
    WeekIndex& weeks() { return weeks_; }
    const WeekIndex& weeks() const { return weeks_; }
    OtherMessages& otherMsgs() { return otherMsgs_; }
    const OtherMessages& otherMsgs() const { return otherMsgs_; }
    // True from a refresh whose load succeeded until the next refresh begins.
    bool listingsLoaded() const { return listingsLoaded_; }
    // How a refresh reads an XMLTV guide: every channel (orbisk-cli), the
    // window's downloader, the cache folder; the kept channels come from the
    // settings.
    GuideOptions& guideOptions() { return guideOptions_; }
    // The refresh's load rules without its warning, for a load of its own.
    LoadEnv loadEnv() const { return LoadEnv(config_, notifier_, clock_, nullptr); }
    // The channels of the day shown; never null.
    ChannelList& channels() { return *channels_; }
    const ChannelList& channels() const { return *channels_; }
    // Replaced on every refresh and every day parsed.
    std::unique_ptr<ChannelList>& channelsSlot() { return channels_; }

    DateTime shownDate() const { return shownDate_; }
    DateTime showTime() const { return showTime_; }
    const Clock& clock() const { return clock_; }
    // The separator of the configured time format: the picked time, the time
    // picker and the grid's time cells are read and written with it.
    char timeSeparator() const { return config_.format().timeSeparator; }
    int currentIndex() const { return currentIndex_; }
    // The mailing-structure warning was shown since this object was made.
    bool structureWarningShown() const { return structureWarningShown_; }

    // ---- Refresh ---------------------------------------------------------
    //
    // The full reload, after the caller stopped its timer: clears the index
    // and the shown day, makes a new channel list, loadConfig (false: the
    // program ends, nothing else ran), the date names, the load, the listing
    // day of today (before 04:30 the day before) and, unless the program was
    // started with arguments, the picked time moved to the programme running
    // now. Errors (configuration not writable, the loaders') end it there.
    bool refreshListings(ConfigPrompts& prompts, bool startedWithArguments);
    // The same in three steps, so that the load may run on another thread:
    // beginRefresh does everything before the load and returns it (null when
    // loadConfig said no); the caller runs it, anywhere, and hands it to
    // finishRefresh on this object's thread, which takes its index and
    // messages, shows the boxes the load raised, then today as
    // refreshListings does, or throws the load's error. In between the
    // viewer shows an empty index.
    std::unique_ptr<ListingLoad> beginRefresh(ConfigPrompts& prompts);
    void finishRefresh(ListingLoad& load, bool startedWithArguments);
    // Today's listing date: the calendar date, or the day before until 04:30.
    DateTime listingToday() const;

    // ---- Showing a day -------------------------------------------------------
    //
    // Shows the day that holds `date`; false, and nothing done, when it is
    // already shown. Sets the seven week-tab captions, the week buttons and
    // the tab of the day; a day with text is parsed, channel 0 selected and
    // currentIndex computed; without text the channel list stays as it was.
    bool showDay(DateTime date);
    bool prevWeek() { return showDay(shownDate_ - 7); }
    bool nextWeek() { return showDay(shownDate_ + 7); }
    // Day 0 (Monday) ... 6 (Sunday) of the week shown.
    bool showWeekDay(int day);
    // Today's calendar date, without the 04:30 rule (the action "Сегодня").
    bool showToday();

    // "dd MMMM, DDDD" of each day Monday ... Sunday, or kNoProgrammeText.
    const std::array<std::string, 7>& dayCaptions() const { return captions_; }
    // Every caption a week tab can show with the configured names (each
    // month with each day of the week, and kNoProgrammeText): what the week
    // list measures its width by, so that no week clips.
    std::vector<std::string> possibleDayCaptions() const;
    int shownDayIndex() const { return shownDayIndex_; }  // 0 = Monday
    bool shownDayHasText() const { return shownDayIndex_ >= 0 && hasText_[static_cast<std::size_t>(shownDayIndex_)]; }
    bool prevWeekEnabled() const { return prevWeek_; }  // some week ends before the day shown
    bool nextWeekEnabled() const { return nextWeek_; }  // some week starts after it

    // ---- Channels --------------------------------------------------------------
    //
    // Indexes of the channels that get a tab (`hide` false), in order.
    std::vector<int> visibleChannels() const;
    // The tab of the current channel, -1 when it is hidden or there is none.
    int currentTab() const;
    // Choosing a channel: select it, currentIndex at the clock's time, then
    // the picked time moved to the start of its running programme (nothing
    // running or an unreadable time leaves it).
    void selectChannel(int index);
    // A parse leaves channel 0 current. When that channel is hidden the first
    // shown one takes its place, so that the text matches the selected tab:
    // with `pickRunning` (after a refresh) as selectChannel does it, so that
    // the picked time is the running programme of the channel actually
    // shown; otherwise only selected. Nothing when the current channel is
    // shown or no channel is.
    void skipHiddenChannel(bool pickRunning);
    // Opening a channel by its display name (a reminder, a row of the
    // current-programmes grid, the command line): selects the first shown
    // channel whose display name is `desc` and makes `time` the picked time.
    // False, and nothing changed, when no shown channel has that name. An
    // unreadable start in the channel throws as markShowTime does, with the
    // channel already selected.
    bool openChannel(std::string_view desc, DateTime time);
    // The same with the time as a text in the configured format; a text that
    // does not read as a time leaves the picked time alone.
    bool openChannel(std::string_view desc, std::string_view time);
    // The tab after / before the current one, wrapping; -1 without tabs.
    int nextTab() const;
    int prevTab() const;

    // showChannelDay's state: currentIndex := the current channel's entry
    // running at the clock's time (-1 without a channel). An invalid time
    // text throws, leaving -1.
    int updateCurrentIndex();
    // The strip for the running entry at the clock's time; none while
    // nothing runs (the strip keeps what it showed).
    std::optional<ProgressStrip> progress() const;

    // Moves the picked time; the entries running at the old and the new one.
    // An invalid time text throws (the picked time then stays as it was when
    // the old one failed).
    MarkedEntries markShowTime(DateTime t);
    // The current channel's entry running at the picked time, -1 when none.
    int showTimeEntry() const;

    // ---- Current-programmes grid ------------------------------------------
    //
    // One row per shown channel at time of day `t`. An invalid time text
    // stops the build with its error.
    std::vector<FilmRow> filmRows(DateTime t) const;
    // True when the grid must be built for `t`: the time, to the minute in
    // timeFormat, or the day shown changed since the last true answer.
    bool filmGridStale(DateTime t);
    // The next filmGridStale answers true (the favourites changed).
    void forgetFilmGrid() { filmGridTime_ = "?\?-?\?-?\?"; }
    // The elapsed part (0..1 for a running programme, outside when the grid
    // time is outside it) of a "start-end" time cell at `gridTime`; none for
    // an empty cell, "-???" or a time that cannot be read.
    static std::optional<double> filmProgress(std::string_view timeCell, DateTime gridTime, char timeSeparator);

    // ---- Search and favourites (viewer_search.cpp) ---------------------------
    //
    // Every programme of the load, parsed at the first use after a refresh.
    const ProgrammeIndex& programmes();
    // The showings whose titles hold every word, between two listing days
    // (0: no bound), on one channel (a display name; empty: all shown ones).
    std::vector<Showing> search(std::string_view words, DateTime from, DateTime to, std::string_view channel);
    // The favourites of the settings file, read at each refresh and again
    // when reloadFavourites is called after the list changed.
    const FavouriteMatcher& favourites() const { return favourites_; }
    void reloadFavourites();
    // The entries of the current channel that a favourite marks.
    std::vector<bool> favouriteEntries() const;
    // The showings a favourite marks in the week (Monday to Sunday) holding `date`.
    std::vector<Showing> favouriteShowings(DateTime date);
    // The moment a showing starts (a time after midnight on the next date).
    static DateTime showingStart(const Showing& showing);
    // Shows the showing's day and channel with its programme picked, as a
    // reminder's hand-over does; false when its channel is not shown there.
    bool openShowing(const Showing& showing);

private:
    int entryAt(DateTime t) const;
    // Selects the first shown channel named `desc`; false when there is none.
    bool selectShown(std::string_view desc);

    Notifier& notifier_;
    const Clock& clock_;
    Config config_;
    WeekIndex weeks_;
    // A guide's days from before a refresh, until the refresh is finished.
    WeekIndex previousWeeks_;
    DateTime previousDate_ = 0;
    OtherMessages otherMsgs_;
    std::unique_ptr<ChannelList> channels_;
    DateTime shownDate_ = 0;
    DateTime showTime_ = 0;
    int currentIndex_ = -1;
    bool structureWarningShown_ = false;
    GuideOptions guideOptions_;
    bool listingsLoaded_ = false;
    std::array<std::string, 7> captions_;
    std::array<bool, 7> hasText_{};
    int shownDayIndex_ = -1;
    bool prevWeek_ = false;
    bool nextWeek_ = false;
    std::string filmGridTime_ = "?\?-?\?-?\?";  // "??-??-??": no build yet
    DateTime filmGridDate_ = 0;
    ProgrammeIndex programmes_;
    FavouriteMatcher favourites_;
};

}  // namespace orbisk
