#include "msgbase/fidodate.h"

#include "base/ui.h"

namespace orbisk {

std::int32_t dateToJulianDay(DateTime t) {
    int y, m, d;
    decodeDate(t, y, m, d);
    if (m <= 2) {
        y -= 1;
        m += 12;
    }
    return (153 * m - 457) / 5 + d + (((y % 100) * 1461) >> 2) + (((y / 100) * 146097) >> 2) + 1721119;
}

void julianDayToDate(std::int32_t j, int& y, int& m, int& d) {
    // 32-bit as stored; unsigned where the arithmetic may wrap.
    const std::int32_t a = static_cast<std::int32_t>(4u * static_cast<std::uint32_t>(j - 1721119) - 1u);
    const std::int32_t b = (a % 146097) | 3;
    const std::int32_t c = 5 * (((b % 1461) + 4) >> 2) - 3;
    const std::int32_t mm = c / 153;
    y = b / 1461 + 100 * (a / 146097);
    if (mm >= 10) {
        y += 1;
        m = mm - 9;
    } else {
        m = mm + 3;
    }
    d = ((c % 153) + 5) / 5;
}

DateTime unixToDateTime(std::uint32_t secs) {
    int y, m, d;
    julianDayToDate(static_cast<std::int32_t>(secs / 86400 + 2440588), y, m, d);
    const std::uint32_t s = secs % 86400;
    DateTime date, time;
    if (!tryEncodeDate(y, m, d, date)) return 0;
    if (!tryEncodeTime(static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60), 0, time))
        return 0;
    return date + time;
}

std::uint32_t dateTimeToUnix(DateTime t) {
    int h, mi, s, ms;
    decodeTime(t, h, mi, s, ms);
    std::uint32_t r = static_cast<std::uint32_t>(dateToJulianDay(t)) * 86400u;
    r += static_cast<std::uint32_t>(h * 3600 + mi * 60 + s);
    return r - 2440588u * 86400u;
}

std::uint32_t dateTimeToDosDate(DateTime t) {
    int y, m, d, h, mi, s, ms;
    decodeDate(t, y, m, d);
    if (y < 1980 || y > 2099) return 0;
    decodeTime(t, h, mi, s, ms);
    const std::uint32_t time = static_cast<std::uint32_t>(s / 2 + mi * 32 + h * 2048);
    const std::uint32_t date = static_cast<std::uint32_t>(d + m * 32 + (y - 1980) * 512);
    return date << 16 | time;
}

DateTime dosDateToDateTime(std::uint32_t dos) {
    const std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    DateTime dd, tt;
    if (!tryEncodeDate(static_cast<int>(1980 + (date >> 9)), static_cast<int>(date >> 5 & 15),
                       static_cast<int>(date & 31), dd))
        return 0;
    if (!tryEncodeTime(static_cast<int>(time >> 11), static_cast<int>(time >> 5 & 63),
                       static_cast<int>((time & 31) * 2), 0, tt))
        return 0;
    return dd + tt;
}

std::uint32_t nowDosDate(const Clock& clock) { return dateTimeToDosDate(clock.now()); }

int expandTwoDigitYear(int yy) { return yy < 80 ? 2000 + yy : 1900 + yy; }

std::uint32_t nowDosDate() { return nowDosDate(SystemClock()); }

}  // namespace orbisk
