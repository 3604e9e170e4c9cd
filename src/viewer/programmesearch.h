#pragma once
// Finding programmes across every loaded week, and the favourites that mark
// them. A search takes words and returns every programme whose title holds
// them all; a favourite is a phrase that marks the titles holding it.
// Matching ignores case (Cyrillic too), reads "ё" as "е" and drops quotes
// and punctuation, so «"Что? Где? Когда?"» is found by "что где когда".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace orbisk {

class Channel;
class Config;
class WeekIndex;

// ---- Matching ----------------------------------------------------------------

// The text as matching sees it: letters lower-cased with "ё" as "е", digits
// kept, every other byte a blank; runs of blanks become one, none at either
// end. Windows-1251 in and out.
std::string foldForSearch(std::string_view text);
// The folded words of a query, empty ones dropped.
std::vector<std::string> searchWords(std::string_view query);
// Every word occurs somewhere in `folded` (a part of a word is enough, so
// that a search answers while the user is still typing).
bool holdsAllWords(std::string_view folded, const std::vector<std::string>& words);

// The favourites: phrases that mark a title holding one of them as whole
// words ("Вести" marks "Вести недели", not "Вестник").
class FavouriteMatcher {
public:
    FavouriteMatcher() = default;
    explicit FavouriteMatcher(const std::vector<std::string>& phrases);
    bool empty() const { return phrases_.empty(); }
    // `folded`: a title through foldForSearch.
    bool matchesFolded(std::string_view folded) const;
    // A programme line whose time text is `timeLength` characters long.
    bool matchesLine(std::string_view line, std::size_t timeLength) const;
    // The entries of a channel's day that a favourite marks.
    std::vector<bool> markEntries(const Channel& channel, std::size_t timeLength) const;

private:
    std::vector<std::string> phrases_;  // folded, none empty
};

// ---- The programme index --------------------------------------------------------

// One showing of a programme.
struct Showing {
    DateTime date = 0;      // the listing day (a showing at 00.15 belongs to the day before)
    std::string time;       // the time text as listed
    std::string channel;    // the display name
    std::string line;       // the programme line
    std::string name;       // the channel as the listing names it
    int minutes = 0;        // the start in listing minutes (after midnight counts 1440 more)
};

struct SearchQuery {
    std::vector<std::string> words;  // folded (searchWords)
    DateTime from = 0;               // first listing day; 0: the first loaded
    DateTime to = 0;                 // last listing day; 0: the last loaded
    std::string channel;             // a display name; empty: every shown channel
};

// What the user set for a channel, looked up by its listing name.
struct ChannelSetting {
    std::string desc;
    bool hide = false;
};

// Every programme of every loaded day, parsed once per load, with the folded
// titles kept side by side in one text so that a search is one pass over it.
class ProgrammeIndex {
public:
    // Parses every day with text, as the day view would show it.
    void build(const WeekIndex& weeks, const Config& config);
    // The same with the settings the parse needs given one by one.
    void build(const WeekIndex& weeks, std::string_view timeFormat, char timeSeparator,
               std::string_view firstCaptionRow);
    void clear();
    bool built() const { return built_; }
    std::size_t size() const { return entries_.size(); }
    // The channels of the load: what channelSettings answers for, in order.
    std::size_t channelCount() const { return names_.size(); }

    // The channels' display names and hidden flags as the settings file holds
    // them now (the user may have changed them since the load).
    std::vector<ChannelSetting> channelSettings(const Config& config) const;

    // The showings holding every word of the query, on shown channels, in the
    // order date, time, display name, line. No words, no showings.
    std::vector<Showing> search(const SearchQuery& query, const std::vector<ChannelSetting>& settings) const;
    // The showings that a favourite marks between two listing days (both
    // included), on shown channels, in the same order.
    std::vector<Showing> favourites(const FavouriteMatcher& matcher, DateTime from, DateTime to,
                                    const std::vector<ChannelSetting>& settings) const;

private:
    struct Entry {
        DateTime date = 0;
        int minutes = 0;
        int channel = 0;           // into names_
        std::uint32_t folded = 0;  // start of the folded title in folded_
        std::string time;
        std::string line;
    };
    std::pair<std::size_t, std::size_t> dayRange(DateTime from, DateTime to) const;
    std::size_t entryAt(std::size_t offset) const;
    Showing showing(const Entry& entry, const std::vector<ChannelSetting>& settings) const;
    std::string_view foldedTitle(std::size_t entry) const;
    // The entries `hits` as showings, in date, time, display name order.
    std::vector<Showing> showings(std::vector<std::uint32_t>& hits, const std::vector<ChannelSetting>& settings) const;

    std::vector<std::string> names_;  // listing names of the channels
    std::vector<Entry> entries_;      // by date, then time
    std::vector<std::uint32_t> starts_;  // entries_[i].folded, for the look-up by offset
    std::string folded_;              // "\n" + title + "\n" + title ... "\n"
    bool built_ = false;
};

}  // namespace orbisk
