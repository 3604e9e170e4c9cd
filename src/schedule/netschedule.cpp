#include "schedule/netschedule.h"

#include "base/codepage.h"
#include "base/ui.h"
#include "schedule/reminder.h"

namespace orbisk {

namespace {
// "Строка запуска длиннее 254 символов"
constexpr char kCommandTooLongText[] =
    "\xD1\xF2\xF0\xEE\xEA\xE0 \xE7\xE0\xEF\xF3\xF1\xEA\xE0 \xE4\xEB\xE8\xED\xED\xE5\xE5 254 "
    "\xF1\xE8\xEC\xE2\xEE\xEB\xEE\xE2";
constexpr std::uint32_t kMSecsPerMinute = 60'000;
}  // namespace

AT_INFO FillAtInfo(const RunMoment& run, const std::string& commandAnsi) {
    AT_INFO info;
    info.JobTime = static_cast<std::uint32_t>(run.Hour) * 3'600'000u + static_cast<std::uint32_t>(run.Minute) * 60'000u +
                   static_cast<std::uint32_t>(run.Second) * 1'000u;
    info.DaysOfMonth = DaysOfMonthMask(run.Day);
    info.Command = AnsiToUtf16(commandAnsi);
    return info;
}

bool NextJobDate(TDateTime now, std::uint32_t jobTime, std::uint32_t daysOfMonth, TDateTime& date) {
    if ((daysOfMonth & 0x7FFF'FFFFu) == 0) return false;
    const std::int64_t today = static_cast<std::int64_t>(DateOf(now));
    const std::int64_t nowMinute = TimeMSecs(now) / kMSecsPerMinute;
    const std::int64_t jobMinute = jobTime / kMSecsPerMinute;
    // Every day of the month comes round within a year and two months.
    for (std::int64_t d = today; d < today + 430; ++d) {
        int y, m, day;
        DecodeDate(static_cast<TDateTime>(d), y, m, day);
        if (!(daysOfMonth & DaysOfMonthMask(day))) continue;
        if (d == today && jobMinute < nowMinute) continue;
        date = static_cast<TDateTime>(d);
        return true;
    }
    return false;
}

std::uint32_t NetScheduleJobAdd(const char16_t* serverName, const AT_INFO& info, std::uint32_t& jobId,
                                std::string& answer, const Clock& clock, const AtTools& tools) {
    jobId = 0;
    answer.clear();
    if (serverName && *serverName) return kErrorBadNetPath;
    if (info.Command.size() > kAtCommandMax) {
        answer = kCommandTooLongText;
        return kErrorInvalidParameter;
    }
    TDateTime date = 0;
    if (info.JobTime >= kMSecsPerDay || info.Flags != 0 || info.DaysOfWeek != 0 ||
        !NextJobDate(clock.Now(), info.JobTime, info.DaysOfMonth, date))
        return kErrorInvalidParameter;
    int y, m, d;
    DecodeDate(date, y, m, d);
    const int hour = static_cast<int>(info.JobTime / 3'600'000u);
    const int minute = static_cast<int>(info.JobTime / kMSecsPerMinute % 60);
    const AtAnswer a = SubmitAtJob(y, m, d, hour, minute, AnsiToUtf8(Utf16ToAnsi(info.Command)), tools);
    answer = Utf8ToAnsi(a.Text);
    if (!a.Added) return kNerrServiceNotInstalled;
    jobId = static_cast<std::uint32_t>(a.JobId);
    return kNerrSuccess;
}

bool NetSchedulerAvailable(const AtTools& tools) { return ProgramAvailable(tools.At); }

}  // namespace orbisk
