#pragma once
// What the week exports (JTV, XMLTV) share: the walk over the days of the
// week shown, and the dates of a channel's entries as they pass midnight.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/datetime.h"

namespace orbisk {

class Channel;
class Viewer;

// Makes every date of the week that holds the day shown which has listing
// text the day shown in turn, Monday to Sunday, through `showDay` (empty: the
// viewer's own showDay), and calls `visit` with it; the viewer's channel list
// is then that day's. The day shown before is restored on every way out; an
// error that stops the walk goes on after it. False, and nothing shown, when
// no week holds the day shown.
bool walkShownWeek(Viewer& viewer, const std::function<void(DateTime)>& showDay,
                   const std::function<void(DateTime)>& visit);

// The start of entry i of a channel's listing day: the date moves on once,
// at the first entry that is earlier in the day than the channel's first
// entry, and stays moved for the rest of the day (06:00 ... 23:30, 00:15 puts
// 00:15 on the next date).
struct EntryStart {
    DateTime date = 0;
    int hour = 0;
    int minute = 0;
};

class EntryStarts {
public:
    // Throws Error("List index out of bounds (0)") for a channel without
    // entries, and the time conversion's error for an unreadable first time.
    EntryStarts(const Channel& channel, DateTime date);
    // Entry `index`; call for the entries in order. Hour = the leading digits
    // of the time text, Minute = the leading digits after them and one more
    // character; no digits throw the integer conversion's error, an hour over
    // 23 or a minute over 59 "Invalid argument to time encode".
    EntryStart next(std::size_t index);

private:
    const Channel& channel_;
    DateTime date_;
    std::int64_t firstMSecs_;
    bool wrapped_ = false;
};

}  // namespace orbisk
