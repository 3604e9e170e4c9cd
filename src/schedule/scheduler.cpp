#include "schedule/scheduler.h"

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"

namespace orbisk {

namespace {

constexpr const char* kNoLibraryText = "Не удается загрузить библиотеку <"_cp1251;
constexpr const char* kNoFunctionText = "Не удается загрузить функцию <AddTask> из библиотеки <"_cp1251;
constexpr const char* kUnavailableTail = ">. Служба расписания недоступна"_cp1251;
constexpr const char* kAddedText = "Добавлена новая задача"_cp1251;
constexpr const char* kWithIndexText = " с индексом "_cp1251;
constexpr const char* kAddFailedText = "Ошибка добавления в расписание"_cp1251;
constexpr const char* kPassedText = "Время напоминания уже прошло"_cp1251;
constexpr const char* kNotRunningTail = ". Возможно, служба расписания не запущена"_cp1251;

}  // namespace

ReminderScheduler::ReminderScheduler(Viewer& viewer, Notifier& notifier, ScheduleDialogs& dialogs,
                                     TaskLibrary& library, NetScheduler& net, std::string programPath)
    : viewer_(viewer),
      notifier_(notifier),
      dialogs_(dialogs),
      library_(library),
      net_(net),
      programPath_(std::move(programPath)) {}

ReminderPlan ReminderScheduler::prepare() const {
    const Config& config = viewer_.settings();
    ReminderPlan plan;
    plan.programme = pickProgramme(viewer_.channels().current(), viewer_.showTime(), config.format());
    // Both back-ends get the program apart from its arguments: its path is
    // file-system bytes that 1251 may not hold, while the run line with the
    // path in it is only what the settings dialog shows.
    plan.program = config.runMe() ? programPath_ : std::string();
    plan.command = expandReminderMacros(plan.programme.title, plan.programme.timeText, plan.programme.channel,
                                        config.scheduleMessage(),
                                        getRunLine(config.runMe(), false, config.externalCommandLine(), {}));
    return plan;
}

ReminderPlan ReminderScheduler::plan(int leadMinutes) const {
    ReminderPlan plan = prepare();
    plan.run = reminderRunTime(viewer_.shownDate(), plan.programme.time, leadMinutes);
    return plan;
}

bool ReminderScheduler::libraryReady() {
    switch (library_.load()) {
        case TaskLibrary::Status::Loaded:
            return true;
        case TaskLibrary::Status::NoLibrary:
            notifier_.show(kNoLibraryText + library_.fileName() + kUnavailableTail, kErrorCaption, MsgIcon::Error);
            return false;
        case TaskLibrary::Status::NoFunction:
            notifier_.show(kNoFunctionText + library_.fileName() + kUnavailableTail, kErrorCaption, MsgIcon::Error);
            return false;
    }
    return false;
}

bool ReminderScheduler::submit(const ReminderPlan& plan) {
    const Config& config = viewer_.settings();
    const RunMoment& r = plan.run;
    // `at` would run a passed moment at once and the network record would
    // wait for the same day of next month: both for a programme that is over.
    if (r.date + r.time <= viewer_.clock().now()) {
        notifier_.show(kPassedText, kScheduleCaption, MsgIcon::Error);
        return false;
    }
    if (config.nt40Scheduler()) {
        std::uint32_t jobId = 0;
        std::string answer;
        const std::uint32_t status = net_.jobAdd(fillAtInfo(r, plan.program, plan.command), jobId, answer);
        if (status == kNerrSuccess) {
            notifier_.show(kAddedText + std::string(kWithIndexText) + std::to_string(jobId), kScheduleCaption,
                           MsgIcon::Information);
            return true;
        }
        // The queue's own answer says more than a guess about the service.
        std::string text = kAddFailedText;
        text += answer.empty() ? std::string(kNotRunningTail) + " (" + std::to_string(status) + ")" : ":\n" + answer;
        notifier_.show(text, kScheduleCaption, MsgIcon::Error);
        return false;
    }
    if (!libraryReady()) return false;
    if (library_.addTask(plan.program, plan.command, r.year, r.month, r.day, r.hour, r.minute) != 0) {
        notifier_.show(kAddedText, kScheduleCaption, MsgIcon::Information);
        return true;
    }
    std::string text = std::string(kAddFailedText) + kNotRunningTail;
    const std::string answer = library_.lastAnswer();
    if (!answer.empty()) text += "\n" + answer;
    notifier_.show(text, kScheduleCaption, MsgIcon::Error);
    return false;
}

bool ReminderScheduler::onReminder() {
    const Config& config = viewer_.settings();
    if (!config.nt40Scheduler() && !libraryReady()) return false;
    ReminderPlan plan = prepare();
    int minutes = config.timeShift();
    if (!dialogs_.askLeadTime(reminderPrompt(plan.programme), minutes)) return false;
    plan.run = reminderRunTime(viewer_.shownDate(), plan.programme.time, minutes);
    return submit(plan);
}

bool ReminderScheduler::onReminderSettings() {
    Config& config = viewer_.settings();
    int lead = config.timeShift();
    std::string message = config.scheduleMessage();
    bool runMe = config.runMe();
    const std::string shownLine = getRunLine(config, fileNameToAnsi(programPath_));
    std::string runLine = shownLine;
    if (!dialogs_.editScheduleSettings(lead, message, runMe, runLine)) return false;
    config.setTimeShift(lead);
    config.setScheduleMessage(message);
    config.setRunMe(runMe);
    // The run line is the user's own command only while this program is
    // not used and only when edited: a built-in line left as it was shown
    // would run the message text as a program.
    if (!runMe && runLine != shownLine && runLine != config.externalCommandLine())
        config.setExternalCommandLine(runLine);
    return true;
}

}  // namespace orbisk
