#pragma once
// Reminders for every coming showing of the favourites in one step: the
// lead time is asked once, and a showing that already has a reminder of
// Orbisk's in the queue is not queued again.
#include <string>
#include <vector>

#include "base/datetime.h"
#include "schedule/atjob.h"
#include "schedule/queuedreminders.h"

namespace orbisk {

class Notifier;
class ReminderScheduler;
class ScheduleDialogs;
class Viewer;
struct Showing;

struct FavouriteReminderReport {
    int added = 0;
    int alreadyQueued = 0;
    int passed = 0;                     // the reminder's moment had gone
    std::vector<std::string> failures;  // Windows-1251, one per refused job
};

// Queues a reminder with `lead` minutes for each showing that starts after
// `now` and has none among `queued`; each one queued joins `queued`.
FavouriteReminderReport remindShowings(ReminderScheduler& scheduler, const std::vector<Showing>& showings, int lead,
                                       std::vector<QueuedReminder>& queued, DateTime now);

// The report as the box shows it.
std::string favouriteReminderSummary(const FavouriteReminderReport& report);

// The action "Напомнить об избранном": the favourite showings of the week
// shown that are still to come, the lead asked once, one box at the end.
// False when nothing was queued (no favourites, Cancel, the queue unreadable).
bool onFavouriteReminders(ReminderScheduler& scheduler, Viewer& viewer, ScheduleDialogs& dialogs,
                          Notifier& notifier, const AtTools& tools = {});

}  // namespace orbisk
