#include "schedule/scheduler.h"

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/timetext.h"
#include "schedule/queuedreminders.h"
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
constexpr const char* kFiresText = ". Напоминание сработает "_cp1251;
constexpr const char* kAtText = " в "_cp1251;

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
    fillCommand(plan);
    return plan;
}

void ReminderScheduler::fillCommand(ReminderPlan& plan) const {
    const Config& config = viewer_.settings();
    // Both back-ends get the program apart from its arguments: its path is
    // file-system bytes that 1251 may not hold, while the run line with the
    // path in it is only what the settings dialog shows.
    plan.program = config.runMe() ? programPath_ : std::string();
    plan.command = expandReminderMacros(plan.programme.title, plan.programme.timeText, plan.programme.channel,
                                        config.scheduleMessage(),
                                        getRunLine(config.runMe(), false, config.externalCommandLine(), {}));
}

ReminderPlan ReminderScheduler::plan(int leadMinutes) const {
    ReminderPlan plan = prepare();
    plan.day = viewer_.shownDate();
    plan.run = reminderRunTime(plan.day, plan.programme.time, leadMinutes);
    return plan;
}

ReminderPlan ReminderScheduler::planFor(const Showing& showing, int leadMinutes) const {
    const Config& config = viewer_.settings();
    // A channel of its own holding the one line: the programme is read from
    // it exactly as from the day view.
    Channel channel;
    channel.desc = showing.channel;
    channel.name = showing.name;
    channel.timeSeparator = config.format().timeSeparator;
    channel.lines = {showing.line};
    channel.times = {showing.time};
    DateTime start = 0;
    tryStrToTime(showing.time, channel.timeSeparator, start);
    ReminderPlan plan;
    plan.programme = pickProgramme(&channel, start, config.format());
    fillCommand(plan);
    plan.day = showing.date;
    plan.run = reminderRunTime(plan.day, plan.programme.time, leadMinutes);
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

SubmitOutcome ReminderScheduler::submitJob(const ReminderPlan& plan) {
    const Config& config = viewer_.settings();
    const RunMoment& r = plan.run;
    SubmitOutcome outcome;
    // `at` would run a passed moment at once and the network record would
    // wait for the same day of next month: both for a programme that is over.
    if (r.date + r.time <= viewer_.clock().now()) {
        outcome.failure = kPassedText;
        return outcome;
    }
    const ReminderTagScope tag(
        {plan.day, plan.programme.timeText, plan.programme.channel, plan.programme.title, r.date + r.time});
    if (config.nt40Scheduler()) {
        std::uint32_t jobId = 0;
        std::string answer;
        const std::uint32_t status = net_.jobAdd(fillAtInfo(r, plan.program, plan.command), jobId, answer);
        if (status == kNerrSuccess) {
            outcome.added = true;
            outcome.jobId = std::to_string(jobId);
            return outcome;
        }
        // The queue's own answer says more than a guess about the service.
        outcome.failure = kAddFailedText;
        outcome.failure +=
            answer.empty() ? std::string(kNotRunningTail) + " (" + std::to_string(status) + ")" : ":\n" + answer;
        return outcome;
    }
    if (library_.addTask(plan.program, plan.command, r.year, r.month, r.day, r.hour, r.minute) != 0) {
        outcome.added = true;
        return outcome;
    }
    outcome.failure = std::string(kAddFailedText) + kNotRunningTail;
    const std::string answer = library_.lastAnswer();
    if (!answer.empty()) outcome.failure += "\n" + answer;
    return outcome;
}

bool ReminderScheduler::submit(const ReminderPlan& plan) {
    const Config& config = viewer_.settings();
    const RunMoment& r = plan.run;
    if (r.date + r.time <= viewer_.clock().now()) {
        notifier_.show(kPassedText, kScheduleCaption, MsgIcon::Error);
        return false;
    }
    if (!config.nt40Scheduler() && !libraryReady()) return false;
    const SubmitOutcome outcome = submitJob(plan);
    if (!outcome.added) {
        notifier_.show(outcome.failure, kScheduleCaption, MsgIcon::Error);
        return false;
    }
    std::string text = kAddedText;
    if (!outcome.jobId.empty()) text += kWithIndexText + outcome.jobId;
    text += kFiresText + formatDateTime("dd.mm.yyyy", r.date, config.format()) + kAtText +
            formatTime(r.time, config.format());
    notifier_.show(text, kScheduleCaption, MsgIcon::Information);
    return true;
}

bool ReminderScheduler::onReminder() {
    const Config& config = viewer_.settings();
    if (!config.nt40Scheduler() && !libraryReady()) return false;
    ReminderPlan plan = prepare();
    int minutes = config.timeShift();
    if (!dialogs_.askLeadTime(reminderPrompt(plan.programme), minutes)) return false;
    plan.day = viewer_.shownDate();
    plan.run = reminderRunTime(plan.day, plan.programme.time, minutes);
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
