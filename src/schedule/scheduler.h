#pragma once
// Adding a reminder and editing the Schedule settings, as the actions
// "Добавить в расписание" and "Настройка расписания" do it, on the viewer's
// state. The dialogs and the two back-ends come from outside.
#include <cstdint>
#include <string>

#include "base/cp1251.h"
#include "schedule/netschedule.h"
#include "schedule/reminder.h"
#include "schedule/tasklibrary.h"

namespace orbisk {

class Clock;
class Notifier;
class Viewer;

inline constexpr const char* kErrorCaption = "Ошибка"_cp1251;
inline constexpr const char* kScheduleCaption = "Расписание"_cp1251;

class ScheduleDialogs {
public:
    virtual ~ScheduleDialogs() = default;
    // The lead-time question: true and the new minutes on OK.
    virtual bool askLeadTime(const std::string& prompt, int& minutes) = 0;
    // The schedule settings: true and the edited values on OK.
    virtual bool editScheduleSettings(int& leadMinutes, std::string& message, bool& runMe, std::string& runLine) = 0;
};

// The network back-end as the scheduler calls it.
class NetScheduler {
public:
    virtual ~NetScheduler() = default;
    virtual std::uint32_t jobAdd(const AtInfo& info, std::uint32_t& jobId, std::string& answer) = 0;
};

class AtNetScheduler : public NetScheduler {
public:
    explicit AtNetScheduler(const Clock& clock, AtTools tools = {}) : clock_(clock), tools_(std::move(tools)) {}
    std::uint32_t jobAdd(const AtInfo& info, std::uint32_t& jobId, std::string& answer) override {
        return netScheduleJobAdd(nullptr, info, jobId, answer, clock_, tools_);
    }

private:
    const Clock& clock_;
    AtTools tools_;
};

// A reminder worked out, before it is submitted.
struct ReminderPlan {
    ReminderProgramme programme;
    DateTime day = 0;  // the listing day the programme is shown on
    // The program the job starts, as the file system names it; empty when
    // the job runs the user's own command line.
    std::string program;
    // Windows-1251, its words quoted for the shell: the program's
    // arguments, or the user's whole command line.
    std::string command;
    RunMoment run;
};

// What the queue said to one job, before any box.
struct SubmitOutcome {
    bool added = false;
    std::string failure;  // Windows-1251, the box's text when not added
    std::string jobId;    // the number the network back-end gave, if any
};

struct Showing;

class ReminderScheduler {
public:
    // `programPath`: the full path of the program the jobs start, as the file
    // system names it; the run lines the user sees and edits show it in 1251.
    ReminderScheduler(Viewer& viewer, Notifier& notifier, ScheduleDialogs& dialogs, TaskLibrary& library,
                      NetScheduler& net, std::string programPath);

    // The programme at the picked time of the current channel and its command.
    ReminderPlan prepare() const;
    // With the run moment for `leadMinutes` (outside 0..59 throws).
    ReminderPlan plan(int leadMinutes) const;

    // A showing's reminder, from its own listing day, channel and time.
    ReminderPlan planFor(const Showing& showing, int leadMinutes) const;

    // The task library's addTask is ready; when not, the error box said why.
    bool libraryReady();
    // Hands the job to the configured back-end and shows the outcome; true
    // when it was added.
    bool submit(const ReminderPlan& plan);
    // The same without a box (the caller reports); the job carries the
    // showing it reminds of, for the list of queued reminders. A passed
    // moment is not submitted.
    SubmitOutcome submitJob(const ReminderPlan& plan);

    // The action "Добавить в расписание": true when a job was added. Errors
    // that stop it (nothing running, the lead) are thrown.
    bool onReminder();
    // The action "Настройка расписания": true on OK.
    bool onReminderSettings();

private:
    // The job's program and its quoted command for the plan's programme.
    void fillCommand(ReminderPlan& plan) const;

    Viewer& viewer_;
    Notifier& notifier_;
    ScheduleDialogs& dialogs_;
    TaskLibrary& library_;
    NetScheduler& net_;
    std::string programPath_;
};

}  // namespace orbisk
