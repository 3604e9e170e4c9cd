#include "schedule/favouritereminders.h"

#include <algorithm>

#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"
#include "schedule/scheduler.h"
#include "viewer/viewer.h"

namespace orbisk {

namespace {

constexpr const char* kNoFavouritesText = "На этой неделе нет передач из избранного, которые ещё впереди"_cp1251;
constexpr const char* kPromptHead = "Добавить в расписание напоминания об избранных передачах этой недели ("_cp1251;
constexpr const char* kAddedHead = "Добавлено напоминаний: "_cp1251;
constexpr const char* kQueuedHead = "Уже были в расписании: "_cp1251;
constexpr const char* kPassedHead = "Время напоминания уже прошло: "_cp1251;
constexpr const char* kFailedHead = "Не добавлено: "_cp1251;

}  // namespace

FavouriteReminderReport remindShowings(ReminderScheduler& scheduler, const std::vector<Showing>& showings, int lead,
                                       std::vector<QueuedReminder>& queued, DateTime now) {
    FavouriteReminderReport report;
    for (const Showing& showing : showings) {
        if (Viewer::showingStart(showing) <= now) continue;
        ReminderPlan plan;
        try {
            plan = scheduler.planFor(showing, lead);
        } catch (const Error& e) {
            report.failures.push_back(showing.line + ": " + e.what());
            continue;
        }
        const ReminderTag tag{plan.day, plan.programme.timeText, plan.programme.channel, plan.programme.title,
                              plan.run.date + plan.run.time};
        if (std::any_of(queued.begin(), queued.end(),
                        [&](const QueuedReminder& q) { return q.tag.sameShowing(tag); })) {
            ++report.alreadyQueued;
            continue;
        }
        if (tag.runs <= now) {
            ++report.passed;
            continue;
        }
        const SubmitOutcome outcome = scheduler.submitJob(plan);
        if (!outcome.added) {
            report.failures.push_back(showing.line + ": " + outcome.failure);
            continue;
        }
        ++report.added;
        queued.push_back({0, tag});
    }
    return report;
}

std::string favouriteReminderSummary(const FavouriteReminderReport& report) {
    std::string text = kAddedHead + std::to_string(report.added);
    if (report.alreadyQueued > 0) text += std::string("\n") + kQueuedHead + std::to_string(report.alreadyQueued);
    if (report.passed > 0) text += std::string("\n") + kPassedHead + std::to_string(report.passed);
    if (!report.failures.empty()) {
        text += std::string("\n") + kFailedHead + std::to_string(report.failures.size());
        for (const auto& failure : report.failures) text += "\n" + failure;
    }
    return text;
}

bool onFavouriteReminders(ReminderScheduler& scheduler, Viewer& viewer, ScheduleDialogs& dialogs,
                          Notifier& notifier, const AtTools& tools) {
    const DateTime now = viewer.clock().now();
    std::vector<Showing> coming = viewer.favouriteShowings(viewer.shownDate() != 0 ? viewer.shownDate() : now);
    std::erase_if(coming, [now](const Showing& s) { return Viewer::showingStart(s) <= now; });
    if (coming.empty()) {
        notifier.show(kNoFavouritesText, kScheduleCaption, MsgIcon::Information);
        return false;
    }
    if (!viewer.settings().nt40Scheduler() && !scheduler.libraryReady()) return false;
    QueueReading reading = readQueuedReminders(tools);
    if (!reading.ok) {
        notifier.show(reading.error, kErrorCaption, MsgIcon::Error);
        return false;
    }
    int minutes = viewer.settings().timeShift();
    if (!dialogs.askLeadTime(kPromptHead + std::to_string(coming.size()) + ")?", minutes)) return false;
    if (minutes < 0 || minutes > 59) throw Error(kInvalidTimeEncodeText);
    const FavouriteReminderReport report = remindShowings(scheduler, coming, minutes, reading.reminders, now);
    notifier.show(favouriteReminderSummary(report), kScheduleCaption,
                  report.failures.empty() ? MsgIcon::Information : MsgIcon::Warning);
    return report.added > 0;
}

}  // namespace orbisk
