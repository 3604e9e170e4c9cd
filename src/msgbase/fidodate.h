#pragma once
// The date forms the message bases store: Julian day numbers, Unix seconds
// (no time zone applied) and DOS packed date-time. None of them raises.
#include <cstdint>

#include "base/datetime.h"

namespace orbisk {

class Clock;

// 1970-01-01 -> 2440588.
std::int32_t dateToJulianDay(DateTime t);
void julianDayToDate(std::int32_t j, int& y, int& m, int& d);
// Seconds since 1970-01-01 00:00:00. The stored fields are unsigned 32-bit,
// so dates up to 2106 read right; 0 when the result is no valid date.
DateTime unixToDateTime(std::uint32_t secs);
// Seconds since 1970-01-01 00:00:00 in 32-bit wrap-around arithmetic.
std::uint32_t dateTimeToUnix(DateTime t);
// High word date (day | month << 5 | (year - 1980) << 9), low word time
// (seconds / 2 | minutes << 5 | hours << 11); 0 outside 1980..2099.
std::uint32_t dateTimeToDosDate(DateTime t);
// The inverse; 0 when the packed value is no valid date and time.
DateTime dosDateToDateTime(std::uint32_t dos);
// The year of a two-digit year field (*.MSG and Hudson headers): 80..99 are
// 19YY, 00..79 20YY. Fixed rather than moving with the clock, so that a
// message reads the same in both kinds and on every day.
int expandTwoDigitYear(int yy);
std::uint32_t nowDosDate();                   // local time
std::uint32_t nowDosDate(const Clock& clock);

}  // namespace orbisk
