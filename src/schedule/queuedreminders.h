#pragma once
// The reminders Orbisk has put in the `at` queue, read back from the queue
// itself. Each job Orbisk queues carries a comment line naming the showing
// it reminds of (listing day, time, channel, title) and the moment it runs;
// jobs without one are not Orbisk's reminders and are never listed or
// cancelled here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "schedule/atjob.h"

namespace orbisk {

// The environment variable through which a reminder's description reaches
// the job text (desktopEnvironmentLines), from the program or through the
// task library alike.
inline constexpr char kReminderTagVariable[] = "ORBISK_REMINDER";

// What a queued reminder is for. Texts are Windows-1251.
struct ReminderTag {
    DateTime day = 0;      // the listing day of the showing
    std::string time;      // its time text as listed
    std::string channel;   // the display name
    std::string title;     // the title as the reminder names it
    DateTime runs = 0;     // when the job runs (to the minute)

    // The same showing: day, time, channel and title.
    bool sameShowing(const ReminderTag& other) const;
};

// The value of kReminderTagVariable for a tag: UTF-8 fields separated by
// tabs, line breaks and tabs inside them made blanks.
std::string reminderTagValue(const ReminderTag& tag);
// The tag back from that value; none when it does not read.
std::optional<ReminderTag> parseReminderTag(std::string_view value);
// The tag of an `at -c` job text (its "#ORBISK_REMINDER=" line).
std::optional<ReminderTag> tagOfJobText(std::string_view jobText);

// While it lives, jobs queued by this process carry `tag`.
class ReminderTagScope {
public:
    explicit ReminderTagScope(const ReminderTag& tag);
    ~ReminderTagScope();
    ReminderTagScope(const ReminderTagScope&) = delete;
    ReminderTagScope& operator=(const ReminderTagScope&) = delete;
};

struct QueuedReminder {
    int id = 0;  // the job number
    ReminderTag tag;
};

struct QueueReading {
    bool ok = false;
    std::string error;  // Windows-1251: why the queue could not be read
    std::vector<QueuedReminder> reminders;  // in the order they run
};

// Orbisk's reminders waiting in the queue (jobs already running are left out).
QueueReading readQueuedReminders(const AtTools& tools = {});

// Removes reminder `id` after checking that it is one of Orbisk's waiting
// jobs; false and the reason (Windows-1251) in `error` otherwise.
bool cancelQueuedReminder(int id, std::string& error, const AtTools& tools = {});

}  // namespace orbisk
