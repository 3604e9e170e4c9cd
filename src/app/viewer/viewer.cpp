#include "app/viewer/viewer.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "listing/bodyparse.h"

namespace orbisk {

namespace {

constexpr std::size_t kTitleStart = 6;  // the seventh character
constexpr std::size_t kMaxTitle = 500;
constexpr int kNoEndMinutes = 1800;
constexpr char kUnknownEnd[] = "???";

// Minutes since midnight of a time text; false when it cannot be read.
bool TextMinutes(std::string_view text, char separator, int& minutes) {
    TDateTime t;
    if (!TryStrToTime(text, separator, t)) return false;
    minutes = MinutesOfDay(t);
    return true;
}

}  // namespace

Viewer::Viewer(const std::string& iniPath, Notifier& notifier, const Clock& clock)
    : notifier_(notifier), clock_(clock), config_(iniPath), channels_(std::make_unique<TChannels>(config_)) {}

// ---- Refresh ------------------------------------------------------------------

TDateTime Viewer::ListingToday() const { return ListingDate(clock_.Now()); }

bool Viewer::RefreshListings(ConfigPrompts& prompts, bool startedWithArguments) {
    weeks_.Clear();
    shownDate_ = 0;
    channels_.reset();
    channels_ = std::make_unique<TChannels>(config_);
    currentIndex_ = -1;
    if (!config_.LoadConfig(prompts)) return false;
    config_.SetGlobalDateParams();

    StructureWarning warning(notifier_, config_.EnableWarning(), structureWarningShown_);
    LoadListings(config_.FIDOPath(), weeks_, otherMsgs_, LoadEnv(config_, notifier_, clock_, &warning));

    ShowDay(ListingToday());
    if (!startedWithArguments) {
        // The programme running now becomes the picked one; nothing running,
        // no channel or an unreadable start leave the picked time alone.
        try {
            const TChannel* channel = channels_->Current();
            if (channel && currentIndex_ >= 0 && currentIndex_ < channel->EntryCount()) {
                const std::string& line = channel->Lines[static_cast<std::size_t>(currentIndex_)];
                MarkShowTime(StrToTime(line.substr(0, 5), config_.Format().timeSeparator));
            }
        } catch (const Error&) {
        }
    }
    return true;
}

// ---- Showing a day --------------------------------------------------------------

bool Viewer::ShowDay(TDateTime date) {
    const TDateTime x = DateOf(date);
    if (x == shownDate_) return false;
    const int d = (DayOfWeek(x) + 5) % 7;  // 0 = Monday
    const TDateTime monday = x - d;
    for (int i = 0; i < 7; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        hasText_[slot] = weeks_.DayHasText(monday + i);
        captions_[slot] = hasText_[slot] ? FormatShortDate(monday + i, config_.Format()) : kNoProgrammeText;
    }
    prevWeek_ = nextWeek_ = false;
    for (const auto& week : weeks_.Items) {
        prevWeek_ = prevWeek_ || week->EndDate < x;
        nextWeek_ = nextWeek_ || week->StartDate > x;
    }
    shownDayIndex_ = d;
    shownDate_ = x;
    if (hasText_[static_cast<std::size_t>(d)]) {
        currentIndex_ = -1;
        ParseDay(channels_, weeks_, x, config_);
        if (channels_->Count() > 0) channels_->Select(0);
        UpdateCurrentIndex();
    }
    return true;
}

bool Viewer::ShowWeekDay(int day) {
    if (day < 0 || day > 6) return false;
    const TDateTime monday = shownDate_ - (DayOfWeek(shownDate_) + 5) % 7;
    return ShowDay(monday + day);
}

bool Viewer::ShowToday() { return ShowDay(DateOf(clock_.Now())); }

// ---- Channels ---------------------------------------------------------------------

std::vector<int> Viewer::VisibleChannels() const {
    std::vector<int> tabs;
    for (int i = 0; i < channels_->Count(); ++i)
        if (!channels_->Items(i).Hide) tabs.push_back(i);
    return tabs;
}

int Viewer::CurrentTab() const {
    const TChannel* current = channels_->Current();
    if (!current) return -1;
    const auto tabs = VisibleChannels();
    for (std::size_t t = 0; t < tabs.size(); ++t)
        if (tabs[t] == current->Index) return static_cast<int>(t);
    return -1;
}

void Viewer::SelectChannel(int index) {
    channels_->Select(index);
    UpdateCurrentIndex();
    const TChannel& channel = channels_->Items(index);
    if (currentIndex_ < 0) return;
    // A failure of the underline (an unreadable time anywhere in the
    // channel) only leaves the picked time where it was.
    try {
        TDateTime start;
        if (TryStrToTime(channel.Times[static_cast<std::size_t>(currentIndex_)], channel.TimeSeparator, start))
            MarkShowTime(start);
    } catch (const Error&) {
    }
}

int Viewer::NextTab() const {
    const int count = static_cast<int>(VisibleChannels().size());
    if (count == 0) return -1;
    const int tab = CurrentTab();
    return tab < 0 || tab + 1 >= count ? 0 : tab + 1;
}

int Viewer::PrevTab() const {
    const int count = static_cast<int>(VisibleChannels().size());
    if (count == 0) return -1;
    const int tab = CurrentTab();
    return tab <= 0 ? count - 1 : tab - 1;
}

int Viewer::UpdateCurrentIndex() {
    currentIndex_ = -1;
    currentIndex_ = EntryAt(clock_.Now());
    return currentIndex_;
}

int Viewer::EntryAt(TDateTime t) const {
    const TChannel* channel = channels_->Current();
    return channel ? channel->FindCurrent(t) : -1;
}

std::optional<ProgressStrip> Viewer::Progress() const {
    const TChannel* channel = channels_->Current();
    if (!channel || currentIndex_ < 0 || currentIndex_ >= channel->EntryCount()) return std::nullopt;
    const auto n = static_cast<std::size_t>(currentIndex_);
    const char sep = channel->TimeSeparator;
    ProgressStrip strip;
    if (n + 1 < channel->Times.size()) {
        strip.StopText = channel->Times[n + 1];
        if (!TextMinutes(strip.StopText, sep, strip.Maximum)) strip.Maximum = kNoEndMinutes;
        strip.Maximum = ToListingMinutes(strip.Maximum);
    } else {
        strip.Maximum = kNoEndMinutes;
        strip.StopText = kUnknownEnd;
    }
    strip.StartText = channel->Times[n];
    if (!TextMinutes(strip.StartText, sep, strip.Minimum)) strip.Minimum = 0;
    if (strip.Minimum > strip.Maximum) strip.Minimum = strip.Maximum;
    strip.Minimum = ToListingMinutes(strip.Minimum);
    strip.Position = strip.StopText == kUnknownEnd ? 0 : ListingMinutes(clock_.Now());
    return strip;
}

MarkedEntries Viewer::MarkShowTime(TDateTime t) {
    MarkedEntries marked;
    marked.Old = EntryAt(showTime_);
    showTime_ = t;
    marked.New = EntryAt(t);
    return marked;
}

int Viewer::ShowTimeEntry() const { return EntryAt(showTime_); }

// ---- Current-programmes grid ---------------------------------------------------------

std::vector<FilmRow> Viewer::FilmRows(TDateTime t) const {
    std::vector<FilmRow> rows;
    for (int i = 0; i < channels_->Count(); ++i) {
        const TChannel& channel = channels_->Items(i);
        if (channel.Hide) continue;
        FilmRow row;
        row.Channel = i;
        row.Desc = channel.Desc;
        row.Entry = channel.FindCurrent(t);
        if (row.Entry >= 0) {
            const auto n = static_cast<std::size_t>(row.Entry);
            const std::string& line = channel.Lines[n];
            row.Title = line.size() > kTitleStart ? line.substr(kTitleStart, kMaxTitle) : std::string{};
            row.Time = channel.Times[n] + "-" + (n + 1 < channel.Times.size() ? channel.Times[n + 1] : kUnknownEnd);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool Viewer::FilmGridStale(TDateTime t) {
    std::string text = FormatTime(t, config_.Format());
    if (text == filmGridTime_ && shownDate_ == filmGridDate_) return false;
    filmGridTime_ = std::move(text);
    filmGridDate_ = shownDate_;
    return true;
}

std::optional<double> Viewer::FilmProgress(std::string_view timeCell, TDateTime gridTime, char timeSeparator) {
    if (timeCell.empty() || timeCell.substr(std::min<std::size_t>(6, timeCell.size()), 5) == kUnknownEnd)
        return std::nullopt;
    int start, end;
    if (!TextMinutes(timeCell.substr(0, 5), timeSeparator, start) ||
        !TextMinutes(timeCell.substr(std::min<std::size_t>(6, timeCell.size()), 5), timeSeparator, end))
        return std::nullopt;
    start = ToListingMinutes(start);
    end = ToListingMinutes(end);
    if (start >= end) return std::nullopt;
    const int now = ToListingMinutes(
        static_cast<int>(std::lround(TimeOf(gridTime) * kMinutesPerDay)) % kMinutesPerDay);
    return static_cast<double>(now - start) / (end - start);
}

}  // namespace orbisk
