#pragma once
// The "network" back-end: a job record with the time of day, a day-of-month
// bit and the command, submitted to the `at` queue for the next date with
// that day of the month.
#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "schedule/atjob.h"

namespace orbisk {

class Clock;
struct RunMoment;

struct AtInfo {
    std::uint32_t jobTime = 0;      // milliseconds after midnight
    std::uint32_t daysOfMonth = 0;  // bit 0 = the 1st ... bit 30 = the 31st
    std::uint8_t daysOfWeek = 0;
    std::uint8_t flags = 0;  // 0: a one-time job
    std::u16string command;  // at most kAtCommandMax characters
};

inline constexpr std::size_t kAtCommandMax = 254;

// Status codes of netScheduleJobAdd.
inline constexpr std::uint32_t kNerrSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorBadNetPath = 53;
// The queue refused the job (at missing, atd not running, at.deny...).
inline constexpr std::uint32_t kNerrServiceNotInstalled = 2184;

// The record for a run moment and a command (Windows-1251). A job that
// starts a program gets `program` first, quoted, in the file system's own
// bytes: a folder 1251 cannot name ("josé") still runs.
AtInfo fillAtInfo(const RunMoment& run, const std::string& commandAnsi);
AtInfo fillAtInfo(const RunMoment& run, const std::string& program, const std::string& commandAnsi);

// The first date on or after the date of `now` whose day of the month has
// its bit in `daysOfMonth` and whose `jobTime` (to the minute) is not yet
// past; false when the mask names no day.
bool nextJobDate(DateTime now, std::uint32_t jobTime, std::uint32_t daysOfMonth, DateTime& date);

// Submits `info` for the local machine (`serverName` null or empty) at the
// next date its daysOfMonth names, counted from `clock`'s now. 0 and the
// job number `at` gave in `jobId`; else a status above, with the reason
// (Windows-1251) in `answer`. A command over kAtCommandMax characters is
// refused, not cut, since a cut could split a quoted word.
std::uint32_t netScheduleJobAdd(const char16_t* serverName, const AtInfo& info, std::uint32_t& jobId,
                                std::string& answer, const Clock& clock, const AtTools& tools = {});

// The start-up probe: this back-end can work (the `at` command is there).
bool netSchedulerAvailable(const AtTools& tools = {});

}  // namespace orbisk
