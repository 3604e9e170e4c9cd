#include "viewer/viewer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/codepage.h"
#include "base/error.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/xmltvsource.h"

namespace orbisk {

namespace {

constexpr std::size_t kTitleStart = 6;  // the seventh character
constexpr std::size_t kMaxTitle = 500;
constexpr int kNoEndMinutes = 1800;
constexpr char kUnknownEnd[] = "???";

// Minutes since midnight of a time text; false when it cannot be read.
bool textMinutes(std::string_view text, char separator, int& minutes) {
    DateTime t;
    if (!tryStrToTime(text, separator, t)) return false;
    minutes = minutesOfDay(t);
    return true;
}

bool readsGuide(const Config& config) {
    const std::string& id = config.fidoPath();
    return !id.empty() && id[0] == kGuideLetter;
}

}  // namespace

Viewer::Viewer(const std::string& iniPath, Notifier& notifier, const Clock& clock)
    : notifier_(notifier), clock_(clock), config_(iniPath), channels_(std::make_unique<ChannelList>(config_)) {}

// ---- Refresh ------------------------------------------------------------------

DateTime Viewer::listingToday() const {
    return listingDate(clock_.now());
}

bool Viewer::refreshListings(ConfigPrompts& prompts, bool startedWithArguments) {
    const std::unique_ptr<ListingLoad> load = beginRefresh(prompts);
    if (!load) return false;
    load->run();
    finishRefresh(*load, startedWithArguments);
    return true;
}

std::unique_ptr<ListingLoad> Viewer::beginRefresh(ConfigPrompts& prompts) {
    // What the last load found is no ground for deleting anything once the
    // load that would replace it has begun (and may fail, or read another base).
    listingsLoaded_ = false;
    // What was shown is freed by the load, on its thread: the index of a
    // large area takes tens of milliseconds to free.
    ListingLoad::Retired retired{std::exchange(weeks_, {}), std::exchange(otherMsgs_, {}),
                                 std::exchange(programmes_, {})};
    const DateTime previousDate = shownDate_;
    shownDate_ = 0;
    channels_.reset();
    channels_ = std::make_unique<ChannelList>(config_);
    currentIndex_ = -1;
    if (!config_.loadConfig(prompts)) return nullptr;
    config_.setGlobalDateParams();
    reloadFavourites();
    // A guide that cannot be read now (a bad download, a broken file) leaves
    // the days it gave before on the screen; other sources start afresh.
    if (readsGuide(config_)) {
        previousWeeks_ = std::move(retired.weeks);
        previousDate_ = previousDate;
    }
    auto load = std::make_unique<ListingLoad>(config_, clock_, structureWarningShown_, guideOptions_);
    load->retired_ = std::move(retired);
    return load;
}

void Viewer::finishRefresh(ListingLoad& load, bool startedWithArguments) {
    for (const auto& notice : load.held_.notices) notifier_.show(notice.text, notice.caption, notice.icon);
    load.held_.notices.clear();
    structureWarningShown_ = load.warningShown_;
    // A search made while the load was away indexed the empty week index.
    programmes_.clear();
    WeekIndex previousWeeks = std::move(previousWeeks_);
    previousWeeks_.clear();
    if (load.error_) {
        if (!previousWeeks.items.empty()) {
            weeks_ = std::move(previousWeeks);
            showDay(previousDate_);
        }
        std::rethrow_exception(load.error_);
    }
    weeks_ = std::move(load.weeks_);
    otherMsgs_ = std::move(load.otherMsgs_);
    listingsLoaded_ = true;

    showDay(listingToday());
    if (!startedWithArguments) {
        // The programme running now becomes the picked one; nothing running,
        // no channel or an unreadable start leave the picked time alone.
        try {
            const Channel* channel = channels_->current();
            if (channel && currentIndex_ >= 0 && currentIndex_ < channel->entryCount()) {
                const std::string& line = channel->lines[static_cast<std::size_t>(currentIndex_)];
                markShowTime(strToTime(line.substr(0, 5), timeSeparator()));
            }
        } catch (const Error&) {
        }
    }
}

// ---- Showing a day --------------------------------------------------------------

bool Viewer::showDay(DateTime date) {
    const DateTime x = dateOf(date);
    if (x == shownDate_) return false;
    const int d = (dayOfWeek(x) + 5) % 7;  // 0 = Monday
    const DateTime monday = x - d;
    for (int i = 0; i < 7; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        hasText_[slot] = weeks_.dayHasText(monday + i);
        captions_[slot] = hasText_[slot] ? formatShortDate(monday + i, config_.format()) : kNoProgrammeText;
    }
    prevWeek_ = nextWeek_ = false;
    for (const auto& week : weeks_.items) {
        prevWeek_ = prevWeek_ || week->endDate < x;
        nextWeek_ = nextWeek_ || week->startDate > x;
    }
    shownDayIndex_ = d;
    shownDate_ = x;
    if (hasText_[static_cast<std::size_t>(d)]) {
        currentIndex_ = -1;
        parseDay(channels_, weeks_, x, config_);
        if (channels_->count() > 0) channels_->select(0);
        updateCurrentIndex();
    }
    return true;
}

bool Viewer::showWeekDay(int day) {
    if (day < 0 || day > 6) return false;
    const DateTime monday = shownDate_ - (dayOfWeek(shownDate_) + 5) % 7;
    return showDay(monday + day);
}

bool Viewer::showToday() {
    return showDay(dateOf(clock_.now()));
}

// ---- Channels ---------------------------------------------------------------------

std::vector<std::string> Viewer::possibleDayCaptions() const {
    // A leap year meets every month on every day of the week.
    std::vector<std::string> out{kNoProgrammeText};
    for (DateTime d = encodeDate(2024, 1, 1); d < encodeDate(2025, 1, 1); d += 1)
        out.push_back(formatShortDate(d, config_.format()));
    return out;
}

std::vector<int> Viewer::visibleChannels() const {
    std::vector<int> tabs;
    for (int i = 0; i < channels_->count(); ++i)
        if (!channels_->items(i).hide) tabs.push_back(i);
    return tabs;
}

int Viewer::currentTab() const {
    const Channel* current = channels_->current();
    if (!current) return -1;
    const auto tabs = visibleChannels();
    for (std::size_t t = 0; t < tabs.size(); ++t)
        if (tabs[t] == current->index) return static_cast<int>(t);
    return -1;
}

void Viewer::selectChannel(int index) {
    channels_->select(index);
    updateCurrentIndex();
    const Channel& channel = channels_->items(index);
    if (currentIndex_ < 0) return;
    // A failure of the underline (an unreadable time anywhere in the
    // channel) only leaves the picked time where it was.
    try {
        DateTime start;
        if (tryStrToTime(channel.times[static_cast<std::size_t>(currentIndex_)], channel.timeSeparator, start))
            markShowTime(start);
    } catch (const Error&) {
    }
}

void Viewer::skipHiddenChannel(bool pickRunning) {
    const Channel* current = channels_->current();
    if (!current || !current->hide) return;
    const auto visible = visibleChannels();
    if (visible.empty()) return;
    if (pickRunning)
        selectChannel(visible.front());
    else
        channels_->select(visible.front());
}

bool Viewer::selectShown(std::string_view desc) {
    int tab = -1;
    const int index = channels_->findVisible(desc, tab);
    if (index < 0) return false;
    channels_->select(index);
    return true;
}

bool Viewer::openChannel(std::string_view desc, DateTime time) {
    if (!selectShown(desc)) return false;
    markShowTime(time);
    return true;
}

bool Viewer::openChannel(std::string_view desc, std::string_view time) {
    if (!selectShown(desc)) return false;
    DateTime t = 0;
    if (tryStrToTime(time, timeSeparator(), t)) markShowTime(t);
    return true;
}

int Viewer::nextTab() const {
    const int count = static_cast<int>(visibleChannels().size());
    if (count == 0) return -1;
    const int tab = currentTab();
    return tab < 0 || tab + 1 >= count ? 0 : tab + 1;
}

int Viewer::prevTab() const {
    const int count = static_cast<int>(visibleChannels().size());
    if (count == 0) return -1;
    const int tab = currentTab();
    return tab <= 0 ? count - 1 : tab - 1;
}

int Viewer::updateCurrentIndex() {
    currentIndex_ = -1;
    currentIndex_ = entryAt(clock_.now());
    return currentIndex_;
}

int Viewer::entryAt(DateTime t) const {
    const Channel* channel = channels_->current();
    return channel ? channel->findCurrent(t) : -1;
}

std::optional<ProgressStrip> Viewer::progress() const {
    const Channel* channel = channels_->current();
    if (!channel || currentIndex_ < 0 || currentIndex_ >= channel->entryCount()) return std::nullopt;
    const auto n = static_cast<std::size_t>(currentIndex_);
    const char sep = channel->timeSeparator;
    ProgressStrip strip;
    if (n + 1 < channel->times.size()) {
        strip.stopText = channel->times[n + 1];
        if (!textMinutes(strip.stopText, sep, strip.maximum)) strip.maximum = kNoEndMinutes;
        strip.maximum = toListingMinutes(strip.maximum);
    } else {
        strip.maximum = kNoEndMinutes;
        strip.stopText = kUnknownEnd;
    }
    strip.startText = channel->times[n];
    if (!textMinutes(strip.startText, sep, strip.minimum)) strip.minimum = 0;
    if (strip.minimum > strip.maximum) strip.minimum = strip.maximum;
    strip.minimum = toListingMinutes(strip.minimum);
    strip.position = strip.stopText == kUnknownEnd ? 0 : listingMinutes(clock_.now());
    return strip;
}

MarkedEntries Viewer::markShowTime(DateTime t) {
    MarkedEntries marked;
    marked.oldEntry = entryAt(showTime_);
    showTime_ = t;
    marked.newEntry = entryAt(t);
    return marked;
}

int Viewer::showTimeEntry() const {
    return entryAt(showTime_);
}

// ---- Current-programmes grid ---------------------------------------------------------

std::vector<FilmRow> Viewer::filmRows(DateTime t) const {
    std::vector<FilmRow> rows;
    for (int i = 0; i < channels_->count(); ++i) {
        const Channel& channel = channels_->items(i);
        if (channel.hide) continue;
        FilmRow row;
        row.channel = i;
        row.desc = channel.desc;
        row.entry = channel.findCurrent(t);
        if (row.entry >= 0) {
            const auto n = static_cast<std::size_t>(row.entry);
            const std::string& line = channel.lines[n];
            row.title = line.size() > kTitleStart ? line.substr(kTitleStart, kMaxTitle) : std::string{};
            row.time = channel.times[n] + "-" + (n + 1 < channel.times.size() ? channel.times[n + 1] : kUnknownEnd);
            row.favourite = favourites_.matchesLine(line, channels_->timeLength());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool Viewer::filmGridStale(DateTime t) {
    std::string text = formatTime(t, config_.format());
    if (text == filmGridTime_ && shownDate_ == filmGridDate_) return false;
    filmGridTime_ = std::move(text);
    filmGridDate_ = shownDate_;
    return true;
}

std::optional<double> Viewer::filmProgress(std::string_view timeCell, DateTime gridTime, char timeSeparator) {
    if (timeCell.empty() || timeCell.substr(std::min<std::size_t>(6, timeCell.size()), 5) == kUnknownEnd)
        return std::nullopt;
    int start, end;
    if (!textMinutes(timeCell.substr(0, 5), timeSeparator, start) ||
        !textMinutes(timeCell.substr(std::min<std::size_t>(6, timeCell.size()), 5), timeSeparator, end))
        return std::nullopt;
    start = toListingMinutes(start);
    end = toListingMinutes(end);
    if (start >= end) return std::nullopt;
    const int now = toListingMinutes(static_cast<int>(std::lround(timeOf(gridTime) * kMinutesPerDay)) % kMinutesPerDay);
    return static_cast<double>(now - start) / (end - start);
}

}  // namespace orbisk
