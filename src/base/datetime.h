#pragma once
// TDateTime: days since 1899-12-30 as a double, the fraction being the time
// of day. A date has no fraction, a time of day no whole part, and 0 stands
// for "no date". Day-of-week numbers: 1 = Sunday ... 7 = Saturday.
#include <cstdint>

namespace orbisk {

using TDateTime = double;

constexpr std::int64_t kMSecsPerDay = 86'400'000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Days since 1899-12-30 of a proleptic Gregorian date (no range check).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d);
void CivilFromDays(std::int64_t days, int& y, int& m, int& d);

bool TryEncodeDate(int y, int m, int d, TDateTime& out);  // years 1..9999
TDateTime EncodeDate(int y, int m, int d);                // throws "Invalid argument to date encode"
bool TryEncodeTime(int h, int m, int s, int ms, TDateTime& out);
TDateTime EncodeTime(int h, int m, int s = 0, int ms = 0);  // throws on a bad time

void DecodeDate(TDateTime t, int& y, int& m, int& d);
void DecodeTime(TDateTime t, int& h, int& m, int& s, int& ms);
int DayOfWeek(TDateTime t);  // 1 = Sunday
TDateTime DateOf(TDateTime t);
TDateTime TimeOf(TDateTime t);
// Milliseconds since midnight, rounded as the time is decoded.
std::int64_t TimeMSecs(TDateTime t);

}  // namespace orbisk
