#include "schedule/netschedule.h"

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "schedule/reminder.h"

namespace orbisk {

namespace {
constexpr const char* kCommandTooLongText = "Строка запуска длиннее 254 символов"_cp1251;
constexpr std::uint32_t kMSecsPerMinute = 60'000;
}  // namespace

AtInfo fillAtInfo(const RunMoment& run, const std::string& commandAnsi) {
    AtInfo info;
    info.jobTime = static_cast<std::uint32_t>(run.hour) * 3'600'000u + static_cast<std::uint32_t>(run.minute) * 60'000u +
                   static_cast<std::uint32_t>(run.second) * 1'000u;
    info.daysOfMonth = daysOfMonthMask(run.day);
    info.command = ansiToUtf16(commandAnsi);
    return info;
}

AtInfo fillAtInfo(const RunMoment& run, const std::string& program, const std::string& commandAnsi) {
    AtInfo info = fillAtInfo(run, commandAnsi);
    if (program.empty()) return info;
    std::u16string line = fileNameToUtf16(shellQuote(program));
    if (!commandAnsi.empty()) line += u' ' + info.command;
    info.command = std::move(line);
    return info;
}

bool nextJobDate(DateTime now, std::uint32_t jobTime, std::uint32_t daysOfMonth, DateTime& date) {
    if ((daysOfMonth & 0x7FFF'FFFFu) == 0) return false;
    const std::int64_t today = static_cast<std::int64_t>(dateOf(now));
    const std::int64_t nowMinute = timeMSecs(now) / kMSecsPerMinute;
    const std::int64_t jobMinute = jobTime / kMSecsPerMinute;
    // Every day of the month comes round within a year and two months.
    for (std::int64_t d = today; d < today + 430; ++d) {
        int y, m, day;
        decodeDate(static_cast<DateTime>(d), y, m, day);
        if (!(daysOfMonth & daysOfMonthMask(day))) continue;
        if (d == today && jobMinute < nowMinute) continue;
        date = static_cast<DateTime>(d);
        return true;
    }
    return false;
}

std::uint32_t netScheduleJobAdd(const char16_t* serverName, const AtInfo& info, std::uint32_t& jobId,
                                std::string& answer, const Clock& clock, const AtTools& tools) {
    jobId = 0;
    answer.clear();
    if (serverName && *serverName) return kErrorBadNetPath;
    if (info.command.size() > kAtCommandMax) {
        answer = kCommandTooLongText;
        return kErrorInvalidParameter;
    }
    DateTime date = 0;
    if (info.jobTime >= kMSecsPerDay || info.flags != 0 || info.daysOfWeek != 0 ||
        !nextJobDate(clock.now(), info.jobTime, info.daysOfMonth, date))
        return kErrorInvalidParameter;
    int y, m, d;
    decodeDate(date, y, m, d);
    const int hour = static_cast<int>(info.jobTime / 3'600'000u);
    const int minute = static_cast<int>(info.jobTime / kMSecsPerMinute % 60);
    const AtAnswer a = submitAtJob(y, m, d, hour, minute, utf16ToFileName(info.command), tools);
    answer = utf8ToAnsi(a.text);
    if (!a.added) return kNerrServiceNotInstalled;
    jobId = static_cast<std::uint32_t>(a.jobId);
    return kNerrSuccess;
}

bool netSchedulerAvailable(const AtTools& tools) { return programAvailable(tools.at); }

}  // namespace orbisk
