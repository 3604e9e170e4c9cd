#pragma once
// Time texts as the listings write them, date/time formatting with the
// configured names, and the listing day that runs from 04:30 to 04:30.
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/names.h"

namespace orbisk {

// ---- Reading time texts -------------------------------------------------
//
// A valid time text: optional blanks, an hour of one to four digits,
// optionally `separator` and the minutes, optionally `separator` again and
// the seconds, optionally "AM" or "PM" (any case, blanks allowed before it),
// then only blanks to the end. Minutes and seconds are one to four digits
// too. The hour is at most 23, or 1..12 with a marker (12 AM is midnight,
// 12 PM noon); minutes and seconds at most 59. Blanks are spaces only, and
// none may stand inside the number part ("19. 30" is no time).
// A separator not followed by a digit is not taken, so with a blank as the
// separator "19 " still reads as 19:00.
bool tryStrToTime(std::string_view text, char separator, DateTime& out);
// The same, throwing Error("'<text>' is not a valid time").
DateTime strToTime(std::string_view text, char separator);

// ---- Formatting -----------------------------------------------------------
//
// Format letters (case-insensitive: the built-in short date format
// "dd MMMM, DDDD" mixes cases, and MSG/TimeFormat of Orbisk.ini is "HH.MM"):
//   d / dd        day of the month / two digits
//   ddd, dddd     long day name from settings.longDayNames (no short names
//                 are configured, so three or more letters print the long
//                 name)
//   m / mm        month number / two digits; three or more: long month name
//   yy / yyyy     two-digit / four-digit year
//   h / hh        hour (24-hour clock) / two digits
//   n / nn        minutes / two digits; m or mm right after an h letter
//                 (other characters in between ignored) means minutes,
//                 so "HH.MM" prints "19.30"
//   s / ss        seconds / two digits
//   :             settings.timeSeparator
// Text in '...' or "..." is copied without its quotes. Every other character,
// "." included, is copied as it stands; other letters too. AM/PM forms are
// not supported: the program's formats never use them.
std::string formatDateTime(std::string_view format, DateTime value, const FormatSettings& settings);
// A time of day in settings.longTimeFormat (the timeFormat setting):
// "HH.MM" gives "19.30", "HH:MM" with the derived separator ':' "19:30".
std::string formatTime(DateTime time, const FormatSettings& settings);
// A date in settings.shortDateFormat ("dd MMMM, DDDD").
std::string formatShortDate(DateTime date, const FormatSettings& settings);

// ---- The listing day ------------------------------------------------------
//
// A listing day runs from dayStartTime (04:30) to 04:30 of the next calendar
// day: a time before 04:30 belongs to the night after the listed date.
inline constexpr DateTime dayStartTime = 0.1875;  // 4.5 / 24, exact in binary
inline constexpr int kDayStartMinutes = 270;
inline constexpr int kMinutesPerDay = 1440;

// True when the time of day of `t` (its fraction) is before 04:30.
bool isBeforeDayStart(DateTime t);
// The listing date of a moment: its date, or the previous date before 04:30.
DateTime listingDate(DateTime moment);
// The time of day of `t` as the listing orders it: one day later before
// 04:30, so 01:00 compares after 23:30.
DateTime listingTime(DateTime t);
// <0, 0, >0 comparing two times of day in listing order (to the millisecond).
int compareListingTimes(DateTime a, DateTime b);
// Whole minutes since midnight of the time of day of `t` (seconds dropped).
int minutesOfDay(DateTime t);
// Minutes since midnight with 1440 added below 270 (before 04:30).
int toListingMinutes(int minutesOfDay);
inline int listingMinutes(DateTime t) { return toListingMinutes(minutesOfDay(t)); }

}  // namespace orbisk
