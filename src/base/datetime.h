#pragma once
// DateTime: days since 1899-12-30 as a double, the fraction being the time
// of day. A date has no fraction, a time of day no whole part, and 0 stands
// for "no date". Day-of-week numbers: 1 = Sunday ... 7 = Saturday.
#include <cstdint>
#include <string>

namespace orbisk {

using DateTime = double;

constexpr std::int64_t kMSecsPerDay = 86'400'000;

bool isLeapYear(int year);
int daysInMonth(int year, int month);  // 0 for a month outside 1..12

// Days since 1899-12-30 of a proleptic Gregorian date (no range check).
std::int64_t daysFromCivil(std::int64_t y, int m, int d);
void civilFromDays(std::int64_t days, int& y, int& m, int& d);

bool tryEncodeDate(int y, int m, int d, DateTime& out);  // years 1..9999
DateTime encodeDate(int y, int m, int d);                // throws "Invalid argument to date encode"
bool tryEncodeTime(int h, int m, int s, int ms, DateTime& out);
DateTime encodeTime(int h, int m, int s = 0, int ms = 0);  // throws on a bad time

void decodeDate(DateTime t, int& y, int& m, int& d);
// "YYYY-MM-DD", as the command line's JSON and the queued reminders write dates.
std::string isoDate(DateTime t);
void decodeTime(DateTime t, int& h, int& m, int& s, int& ms);
int dayOfWeek(DateTime t);  // 1 = Sunday
DateTime dateOf(DateTime t);
DateTime timeOf(DateTime t);
// Milliseconds since midnight, rounded as the time is decoded.
std::int64_t timeMSecs(DateTime t);

}  // namespace orbisk
