#include "schedule/scheduler.h"

#include "app/viewer/viewer.h"
#include "base/ui.h"

namespace orbisk {

namespace {

// "Не удается загрузить библиотеку <" ... ">. Служба расписания недоступна"
constexpr char kNoLibraryText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xE5\xF2\xF1\xFF \xE7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC "
    "\xE1\xE8\xE1\xEB\xE8\xEE\xF2\xE5\xEA\xF3 <";
// "Не удается загрузить функцию <AddTask> из библиотеки <"
constexpr char kNoFunctionText[] =
    "\xCD\xE5 \xF3\xE4\xE0\xE5\xF2\xF1\xFF \xE7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC \xF4\xF3\xED\xEA\xF6\xE8\xFE "
    "<AddTask> \xE8\xE7 \xE1\xE8\xE1\xEB\xE8\xEE\xF2\xE5\xEA\xE8 <";
// ">. Служба расписания недоступна"
constexpr char kUnavailableTail[] =
    ">. \xD1\xEB\xF3\xE6\xE1\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF "
    "\xED\xE5\xE4\xEE\xF1\xF2\xF3\xEF\xED\xE0";
// "Добавлена новая задача"
constexpr char kAddedText[] = "\xC4\xEE\xE1\xE0\xE2\xEB\xE5\xED\xE0 \xED\xEE\xE2\xE0\xFF \xE7\xE0\xE4\xE0\xF7\xE0";
// " с индексом "
constexpr char kWithIndexText[] = " \xF1 \xE8\xED\xE4\xE5\xEA\xF1\xEE\xEC ";
// "Ошибка добавления в расписание"
constexpr char kAddFailedText[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xEE\xE1\xE0\xE2\xEB\xE5\xED\xE8\xFF \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5";
// ". Возможно, служба расписания не запущена"
constexpr char kNotRunningTail[] =
    ". \xC2\xEE\xE7\xEC\xEE\xE6\xED\xEE, \xF1\xEB\xF3\xE6\xE1\xE0 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xFF "
    "\xED\xE5 \xE7\xE0\xEF\xF3\xF9\xE5\xED\xE0";

}  // namespace

ReminderScheduler::ReminderScheduler(Viewer& viewer, Notifier& notifier, ScheduleDialogs& dialogs,
                                     TaskLibrary& library, NetScheduler& net, std::string programPath)
    : viewer_(viewer),
      notifier_(notifier),
      dialogs_(dialogs),
      library_(library),
      net_(net),
      programPath_(std::move(programPath)) {}

ReminderPlan ReminderScheduler::Prepare() const {
    const Config& config = viewer_.Settings();
    ReminderPlan plan;
    plan.Programme = PickProgramme(viewer_.Channels().Current(), viewer_.ShowTime(), config.Format());
    plan.Command = ExpandReminderMacros(plan.Programme.Title, plan.Programme.TimeText, plan.Programme.Channel,
                                        config.ScheduleMessage(), GetRunLine(config, programPath_));
    return plan;
}

ReminderPlan ReminderScheduler::Plan(int leadMinutes) const {
    ReminderPlan plan = Prepare();
    plan.Run = ReminderRunTime(viewer_.ShownDate(), plan.Programme.Time, leadMinutes);
    return plan;
}

bool ReminderScheduler::LibraryReady() {
    switch (library_.Load()) {
        case TaskLibrary::Status::Loaded:
            return true;
        case TaskLibrary::Status::NoLibrary:
            notifier_.Show(kNoLibraryText + library_.FileName() + kUnavailableTail, kErrorCaption, MsgIcon::Error);
            return false;
        case TaskLibrary::Status::NoFunction:
            notifier_.Show(kNoFunctionText + library_.FileName() + kUnavailableTail, kErrorCaption, MsgIcon::Error);
            return false;
    }
    return false;
}

bool ReminderScheduler::Submit(const ReminderPlan& plan) {
    const Config& config = viewer_.Settings();
    const RunMoment& r = plan.Run;
    if (config.NT40Scheduler()) {
        std::uint32_t jobId = 0;
        std::string answer;
        const std::uint32_t status = net_.JobAdd(FillAtInfo(r, plan.Command), jobId, answer);
        if (status == kNerrSuccess) {
            notifier_.Show(kAddedText + std::string(kWithIndexText) + std::to_string(jobId), kScheduleCaption,
                           MsgIcon::Information);
            return true;
        }
        // The queue's own answer says more than a guess about the service.
        std::string text = kAddFailedText;
        text += answer.empty() ? std::string(kNotRunningTail) + " (" + std::to_string(status) + ")" : ":\n" + answer;
        notifier_.Show(text, kScheduleCaption, MsgIcon::Error);
        return false;
    }
    if (!LibraryReady()) return false;
    // The program path is the job's program only while the job starts this
    // program; an external run line is a whole command of its own.
    const std::string program = config.RunMe() ? programPath_ : std::string();
    if (library_.AddTask(program, plan.Command, r.Year, r.Month, r.Day, r.Hour, r.Minute) != 0) {
        notifier_.Show(kAddedText, kScheduleCaption, MsgIcon::Information);
        return true;
    }
    std::string text = std::string(kAddFailedText) + kNotRunningTail;
    const std::string answer = library_.LastAnswer();
    if (!answer.empty()) text += "\n" + answer;
    notifier_.Show(text, kScheduleCaption, MsgIcon::Error);
    return false;
}

bool ReminderScheduler::aSchedulExecute() {
    const Config& config = viewer_.Settings();
    if (!config.NT40Scheduler() && !LibraryReady()) return false;
    ReminderPlan plan = Prepare();
    int minutes = config.TimeShift();
    if (!dialogs_.AskLeadTime(ReminderPrompt(plan.Programme), minutes)) return false;
    plan.Run = ReminderRunTime(viewer_.ShownDate(), plan.Programme.Time, minutes);
    return Submit(plan);
}

bool ReminderScheduler::aSchedulPropertyExecute() {
    Config& config = viewer_.Settings();
    int lead = config.TimeShift();
    std::string message = config.ScheduleMessage();
    bool runMe = config.RunMe();
    std::string runLine = GetRunLine(config, programPath_);
    if (!dialogs_.EditScheduleSettings(lead, message, runMe, runLine)) return false;
    config.SetTimeShift(lead);
    config.SetScheduleMessage(message);
    config.SetRunMe(runMe);
    // The run line is the user's own command only while this program is
    // not used; the built-in one is never stored.
    if (!runMe && runLine != config.ExternalCommandLine()) config.SetExternalCommandLine(runLine);
    return true;
}

}  // namespace orbisk
