#include "export/weekwalk.h"

#include <algorithm>
#include <string_view>

#include "app/viewer/viewer.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/timetext.h"

namespace orbisk {

namespace {

// The decimal value of the leading digits of `text` (none: the integer
// conversion's error), and in `rest` what follows them and one more character.
int LeadingNumber(std::string_view text, std::string_view& rest) {
    std::size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    const int value = StrToInt(text.substr(0, n));
    rest = text.substr(std::min(text.size(), n + 1));
    return value;
}

}  // namespace

bool WalkShownWeek(Viewer& viewer, const std::function<void(TDateTime)>& showDay,
                   const std::function<void(TDateTime)>& visit) {
    const auto show = [&](TDateTime d) {
        if (showDay)
            showDay(d);
        else
            viewer.ShowDay(d);
    };
    const TDateTime remembered = viewer.ShownDate();
    const TWeek* week = viewer.Weeks().FindWeek(remembered);
    if (!week) return false;
    const TDateTime start = week->StartDate;
    try {
        for (int k = 0; k < 7; ++k) {
            const TDateTime d = start + k;
            if (!viewer.Weeks().DayHasText(d)) continue;
            show(d);
            visit(d);
        }
    } catch (...) {
        try {
            show(remembered);
        } catch (...) {
        }
        throw;
    }
    show(remembered);
    return true;
}

EntryStarts::EntryStarts(const TChannel& channel, TDateTime date) : channel_(channel), date_(DateOf(date)) {
    if (channel.Times.empty()) throw Error("List index out of bounds (0)");
    firstMSecs_ = TimeMSecs(StrToTime(channel.Times[0], channel.TimeSeparator));
}

EntryStart EntryStarts::Next(std::size_t index) {
    std::string_view rest;
    EntryStart start;
    start.Hour = LeadingNumber(channel_.Times.at(index), rest);
    start.Minute = LeadingNumber(rest, rest);
    EncodeTime(start.Hour, start.Minute);  // the range check and its error
    if (!wrapped_ && (static_cast<std::int64_t>(start.Hour) * 60 + start.Minute) * 60000 < firstMSecs_) {
        date_ += 1;
        wrapped_ = true;
    }
    start.Date = date_;
    return start;
}

}  // namespace orbisk
