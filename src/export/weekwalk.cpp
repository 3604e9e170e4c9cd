#include "export/weekwalk.h"

#include <algorithm>
#include <string_view>

#include "viewer/viewer.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/timetext.h"

namespace orbisk {

namespace {

// The decimal value of the leading digits of `text` (none: the integer
// conversion's error), and in `rest` what follows them and one more character.
int leadingNumber(std::string_view text, std::string_view& rest) {
    std::size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    const int value = strToInt(text.substr(0, n));
    rest = text.substr(std::min(text.size(), n + 1));
    return value;
}

}  // namespace

bool walkShownWeek(Viewer& viewer, const std::function<void(DateTime)>& showDay,
                   const std::function<void(DateTime)>& visit) {
    const auto show = [&](DateTime d) {
        if (showDay)
            showDay(d);
        else
            viewer.showDay(d);
    };
    const DateTime remembered = viewer.shownDate();
    const Week* week = viewer.weeks().findWeek(remembered);
    if (!week) return false;
    const DateTime start = week->startDate;
    try {
        for (int k = 0; k < 7; ++k) {
            const DateTime d = start + k;
            if (!viewer.weeks().dayHasText(d)) continue;
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

EntryStarts::EntryStarts(const Channel& channel, DateTime date) : channel_(channel), date_(dateOf(date)) {
    if (channel.times.empty()) throw Error("List index out of bounds (0)");
    firstMSecs_ = timeMSecs(strToTime(channel.times[0], channel.timeSeparator));
}

EntryStart EntryStarts::next(std::size_t index) {
    std::string_view rest;
    EntryStart start;
    start.hour = leadingNumber(channel_.times.at(index), rest);
    start.minute = leadingNumber(rest, rest);
    encodeTime(start.hour, start.minute);  // the range check and its error
    if (!wrapped_ && (static_cast<std::int64_t>(start.hour) * 60 + start.minute) * 60000 < firstMSecs_) {
        date_ += 1;
        wrapped_ = true;
    }
    start.date = date_;
    return start;
}

}  // namespace orbisk
