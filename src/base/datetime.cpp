#include "base/datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/error.h"
#include "base/ui.h"

namespace orbisk {

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return kDays[m - 1] + (m == 2 && isLeapYear(y) ? 1 : 0);
}

// Howard Hinnant's civil-day algorithms, shifted to the 1899-12-30 epoch.
constexpr std::int64_t kEpochShift = 25569;  // 1970-01-01 as a day number

std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kEpochShift;
}

void civilFromDays(std::int64_t days, int& y, int& m, int& d) {
    const std::int64_t z = days - kEpochShift + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool tryEncodeDate(int y, int m, int d, DateTime& out) {
    if (y < 1 || y > 9999 || d < 1 || d > daysInMonth(y, m)) return false;
    out = static_cast<DateTime>(daysFromCivil(y, m, d));
    return true;
}

DateTime encodeDate(int y, int m, int d) {
    DateTime t;
    if (!tryEncodeDate(y, m, d, t)) throw Error("Invalid argument to date encode");
    return t;
}

bool tryEncodeTime(int h, int m, int s, int ms, DateTime& out) {
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
    out = ((h * 3600.0 + m * 60.0 + s) * 1000.0 + ms) / kMSecsPerDay;
    return true;
}

DateTime encodeTime(int h, int m, int s, int ms) {
    DateTime t;
    if (!tryEncodeTime(h, m, s, ms, t)) throw Error("Invalid argument to time encode");
    return t;
}

DateTime dateOf(DateTime t) { return std::trunc(t); }
DateTime timeOf(DateTime t) { return std::fabs(t - std::trunc(t)); }

std::int64_t timeMSecs(DateTime t) {
    auto ms = std::llround(timeOf(t) * kMSecsPerDay);
    return ms >= kMSecsPerDay ? kMSecsPerDay - 1 : ms;
}

void decodeDate(DateTime t, int& y, int& m, int& d) {
    civilFromDays(static_cast<std::int64_t>(std::trunc(t)), y, m, d);
}

std::string isoDate(DateTime t) {
    int y, m, d;
    decodeDate(t, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

void decodeTime(DateTime t, int& h, int& m, int& s, int& ms) {
    auto total = timeMSecs(t);
    h = static_cast<int>(total / 3'600'000);
    m = static_cast<int>(total / 60'000 % 60);
    s = static_cast<int>(total / 1000 % 60);
    ms = static_cast<int>(total % 1000);
}

int dayOfWeek(DateTime t) {
    // 1899-12-30 was a Saturday (7).
    auto days = static_cast<std::int64_t>(std::trunc(t));
    auto r = ((days + 6) % 7 + 7) % 7;  // 0 = Sunday
    return static_cast<int>(r) + 1;
}

DateTime SystemClock::now() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    return encodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           encodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(ts.tv_nsec / 1'000'000));
}

}  // namespace orbisk
