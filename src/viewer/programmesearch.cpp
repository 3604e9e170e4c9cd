#include "viewer/programmesearch.h"

#include <algorithm>
#include <array>
#include <map>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/timetext.h"
#include "config/config.h"
#include "listing/bodyparse.h"
#include "listing/channellist.h"
#include "listing/weekindex.h"

namespace orbisk {

namespace {

// Sorts unreadable time texts after every real time of the day.
constexpr int kUnreadableMinutes = 1 << 20;

std::array<char, 256> makeFoldTable() {
    std::array<char, 256> table{};
    const char yo = "ё"_cp1251[0];
    const char ye = "е"_cp1251[0];
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        const char lower = ansiLowerChar(c);
        // A letter is what has two cases; digits stand for themselves.
        const bool letter = lower != ansiUpperChar(c) || (c >= '0' && c <= '9');
        table[static_cast<std::size_t>(i)] = !letter ? ' ' : lower == yo ? ye : lower;
    }
    return table;
}

const std::array<char, 256>& foldTable() {
    static const std::array<char, 256> table = makeFoldTable();
    return table;
}

// The title: the line after its time text and the blank behind it.
std::string_view titleOf(std::string_view line, std::size_t timeLength) {
    return line.substr(std::min(timeLength, line.size()));
}

// `phrase` stands in `text` with a word boundary (blank or end) on both sides.
bool holdsPhrase(std::string_view text, std::string_view phrase) {
    for (std::size_t pos = text.find(phrase); pos != std::string_view::npos; pos = text.find(phrase, pos + 1)) {
        const std::size_t end = pos + phrase.size();
        if ((pos == 0 || text[pos - 1] == ' ') && (end == text.size() || text[end] == ' ')) return true;
    }
    return false;
}

}  // namespace

// ---- Matching ----------------------------------------------------------------------

namespace {

// Appends the folded text to `out`; the blanks at its ends are dropped.
void appendFolded(std::string& out, std::string_view text) {
    const auto& table = foldTable();
    const std::size_t start = out.size();
    for (char c : text) {
        const char f = table[static_cast<unsigned char>(c)];
        if (f == ' ' && (out.size() == start || out.back() == ' ')) continue;
        out += f;
    }
    if (out.size() > start && out.back() == ' ') out.pop_back();
}

}  // namespace

std::string foldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendFolded(out, text);
    return out;
}

std::vector<std::string> searchWords(std::string_view query) {
    std::vector<std::string> words;
    const std::string folded = foldForSearch(query);
    std::size_t pos = 0;
    while (pos < folded.size()) {
        std::size_t end = folded.find(' ', pos);
        if (end == std::string::npos) end = folded.size();
        if (end > pos) words.push_back(folded.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

bool holdsAllWords(std::string_view folded, const std::vector<std::string>& words) {
    for (const auto& word : words)
        if (folded.find(word) == std::string_view::npos) return false;
    return true;
}

FavouriteMatcher::FavouriteMatcher(const std::vector<std::string>& phrases) {
    for (const auto& phrase : phrases) {
        std::string folded = foldForSearch(phrase);
        if (!folded.empty()) phrases_.push_back(std::move(folded));
    }
}

bool FavouriteMatcher::matchesFolded(std::string_view folded) const {
    for (const auto& phrase : phrases_)
        if (holdsPhrase(folded, phrase)) return true;
    return false;
}

bool FavouriteMatcher::matchesLine(std::string_view line, std::size_t timeLength) const {
    return !phrases_.empty() && matchesFolded(foldForSearch(titleOf(line, timeLength)));
}

std::vector<bool> FavouriteMatcher::markEntries(const Channel& channel, std::size_t timeLength) const {
    std::vector<bool> marks(channel.lines.size(), false);
    if (phrases_.empty()) return marks;
    for (std::size_t i = 0; i < channel.lines.size(); ++i) marks[i] = matchesLine(channel.lines[i], timeLength);
    return marks;
}

// ---- The programme index -------------------------------------------------------------

void ProgrammeIndex::clear() {
    names_.clear();
    entries_.clear();
    starts_.clear();
    folded_.clear();
    built_ = false;
}

void ProgrammeIndex::build(const WeekIndex& weeks, const Config& config) {
    build(weeks, config.timeFormat(), config.format().timeSeparator, config.firstCaptionRow());
}

void ProgrammeIndex::build(const WeekIndex& weeks, std::string_view timeFormat, char separator,
                           std::string_view firstCaptionRow) {
    clear();
    std::map<std::string, int> ids;
    for (const auto& week : weeks.items) {
        for (std::size_t slot = 0; slot < week->days.size() && slot < 7; ++slot) {
            if (week->days[slot].empty()) continue;
            const DateTime date = week->startDate + static_cast<int>(slot);
            // No settings file: the names are resolved at each search, so a
            // channel the user renames or hides later is found as it is then.
            ChannelList day(nullptr, timeFormat, separator);
            try {
                parseDayText(day, week->days[slot], week->fromFiles, firstCaptionRow);
            } catch (const Error&) {
                // What was parsed before the failure is what the day view shows.
            }
            for (int c = 0; c < day.count(); ++c) {
                Channel& channel = day.items(c);
                const auto [it, added] = ids.try_emplace(channel.name, static_cast<int>(names_.size()));
                if (added) names_.push_back(channel.name);
                for (std::size_t e = 0; e < channel.lines.size(); ++e) {
                    Entry entry;
                    entry.date = date;
                    entry.channel = it->second;
                    entry.time = std::move(channel.times[e]);
                    entry.line = std::move(channel.lines[e]);
                    DateTime t = 0;
                    entry.minutes = tryStrToTime(entry.time, separator, t) ? listingMinutes(t) : kUnreadableMinutes;
                    entries_.push_back(std::move(entry));
                }
            }
        }
    }
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
        if (a.date != b.date) return a.date < b.date;
        if (a.minutes != b.minutes) return a.minutes < b.minutes;
        if (a.channel != b.channel) return names_[static_cast<std::size_t>(a.channel)] < names_[static_cast<std::size_t>(b.channel)];
        return a.line < b.line;
    });
    const std::size_t timeLength = timeFormat.size();
    std::size_t bytes = 1;
    for (const Entry& entry : entries_) bytes += entry.line.size() + 1;
    folded_.reserve(bytes);
    folded_.assign(1, '\n');
    starts_.reserve(entries_.size());
    for (Entry& entry : entries_) {
        entry.folded = static_cast<std::uint32_t>(folded_.size());
        starts_.push_back(entry.folded);
        appendFolded(folded_, titleOf(entry.line, timeLength));
        folded_ += '\n';
    }
    built_ = true;
}

std::vector<ChannelSetting> ProgrammeIndex::channelSettings(const Config& config) const {
    // A list on the settings file resolves names as the day view does.
    ChannelList list(const_cast<IniFile*>(&config.ini()), config.timeFormat(), config.format().timeSeparator);
    std::vector<ChannelSetting> settings;
    settings.reserve(names_.size());
    for (const auto& name : names_) {
        const Channel& channel = list.items(list.addChannel(name));
        settings.push_back({channel.desc, channel.hide});
    }
    return settings;
}

std::pair<std::size_t, std::size_t> ProgrammeIndex::dayRange(DateTime from, DateTime to) const {
    auto lo = entries_.begin();
    auto hi = entries_.end();
    if (from != 0)
        lo = std::lower_bound(entries_.begin(), entries_.end(), dateOf(from),
                              [](const Entry& e, DateTime d) { return e.date < d; });
    if (to != 0)
        hi = std::upper_bound(lo, entries_.end(), dateOf(to), [](DateTime d, const Entry& e) { return d < e.date; });
    return {static_cast<std::size_t>(lo - entries_.begin()), static_cast<std::size_t>(hi - entries_.begin())};
}

std::size_t ProgrammeIndex::entryAt(std::size_t offset) const {
    const auto it = std::upper_bound(starts_.begin(), starts_.end(), static_cast<std::uint32_t>(offset));
    return static_cast<std::size_t>(it - starts_.begin()) - 1;
}

std::string_view ProgrammeIndex::foldedTitle(std::size_t entry) const {
    const std::size_t start = entries_[entry].folded;
    const std::size_t end = folded_.find('\n', start);
    return std::string_view(folded_).substr(start, end - start);
}

Showing ProgrammeIndex::showing(const Entry& entry, const std::vector<ChannelSetting>& settings) const {
    const auto c = static_cast<std::size_t>(entry.channel);
    return Showing{entry.date, entry.time, settings[c].desc, entry.line, names_[c], entry.minutes};
}

std::vector<Showing> ProgrammeIndex::showings(std::vector<std::uint32_t>& hits,
                                              const std::vector<ChannelSetting>& settings) const {
    // The index is in listing-name order; display names may order otherwise.
    // Only the numbers are sorted, by each channel's place among the names.
    std::vector<std::uint32_t> byName(settings.size());
    for (std::size_t i = 0; i < byName.size(); ++i) byName[i] = static_cast<std::uint32_t>(i);
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return settings[a].desc < settings[b].desc; });
    std::vector<std::uint32_t> rank(settings.size());
    for (std::size_t i = 0; i < byName.size(); ++i)
        rank[byName[i]] = i > 0 && settings[byName[i]].desc == settings[byName[i - 1]].desc ? rank[byName[i - 1]]
                                                                                              : static_cast<std::uint32_t>(i);
    std::sort(hits.begin(), hits.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Entry& x = entries_[a];
        const Entry& y = entries_[b];
        if (x.date != y.date) return x.date < y.date;
        if (x.minutes != y.minutes) return x.minutes < y.minutes;
        const auto rx = rank[static_cast<std::size_t>(x.channel)], ry = rank[static_cast<std::size_t>(y.channel)];
        if (rx != ry) return rx < ry;
        // The index holds one channel's entries of a time in line order.
        if (x.channel != y.channel && x.line != y.line) return x.line < y.line;
        return a < b;
    });
    std::vector<Showing> out;
    out.reserve(hits.size());
    for (const std::uint32_t e : hits) out.push_back(showing(entries_[e], settings));
    return out;
}

std::vector<Showing> ProgrammeIndex::search(const SearchQuery& query,
                                            const std::vector<ChannelSetting>& settings) const {
    std::vector<std::uint32_t> found;
    if (query.words.empty() || settings.size() != names_.size()) return {};
    const auto [lo, hi] = dayRange(query.from, query.to);
    if (lo >= hi) return {};
    // The longest word is the rarest: it is looked for in the one text, the
    // others only in the titles it hits.
    const auto anchor = std::max_element(query.words.begin(), query.words.end(),
                                         [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    const std::string_view all(folded_);
    const std::size_t end = hi < entries_.size() ? entries_[hi].folded : folded_.size();
    std::size_t pos = entries_[lo].folded;
    while ((pos = all.find(*anchor, pos)) != std::string_view::npos && pos < end) {
        const std::size_t e = entryAt(pos);
        const std::string_view title = foldedTitle(e);
        pos = entries_[e].folded + title.size() + 1;
        const Entry& entry = entries_[e];
        const ChannelSetting& channel = settings[static_cast<std::size_t>(entry.channel)];
        if (channel.hide) continue;
        if (!query.channel.empty() && !ansiSameText(channel.desc, query.channel)) continue;
        if (!holdsAllWords(title, query.words)) continue;
        found.push_back(static_cast<std::uint32_t>(e));
    }
    return showings(found, settings);
}

std::vector<Showing> ProgrammeIndex::favourites(const FavouriteMatcher& matcher, DateTime from, DateTime to,
                                                const std::vector<ChannelSetting>& settings) const {
    std::vector<std::uint32_t> found;
    if (matcher.empty() || settings.size() != names_.size()) return {};
    const auto [lo, hi] = dayRange(from, to);
    for (std::size_t e = lo; e < hi; ++e) {
        const Entry& entry = entries_[e];
        if (settings[static_cast<std::size_t>(entry.channel)].hide) continue;
        if (matcher.matchesFolded(foldedTitle(e))) found.push_back(static_cast<std::uint32_t>(e));
    }
    return showings(found, settings);
}

}  // namespace orbisk
