#include "base/timetext.h"

#include <cstdint>
#include <cstdio>

#include "base/error.h"

namespace orbisk {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void skipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && s[i] == ' ') ++i;
}

// One to four digits; a fifth digit is left for the caller to reject.
bool scanNumber(std::string_view s, std::size_t& i, int& value) {
    const std::size_t start = i;
    value = 0;
    while (i < s.size() && i - start < 4 && isDigit(s[i])) value = value * 10 + (s[i++] - '0');
    return i > start;
}

// The separator counts only when a number follows it.
bool scanSeparatedNumber(std::string_view s, std::size_t& i, char separator, int& value) {
    if (i + 1 < s.size() && s[i] == separator && isDigit(s[i + 1])) {
        ++i;
        return scanNumber(s, i, value);
    }
    return false;
}

}  // namespace

bool tryStrToTime(std::string_view s, char separator, DateTime& out) {
    std::size_t i = 0;
    skipBlanks(s, i);
    int hour = 0, minute = 0, second = 0;
    if (!scanNumber(s, i, hour)) return false;
    if (scanSeparatedNumber(s, i, separator, minute)) scanSeparatedNumber(s, i, separator, second);

    enum { kNone, kAm, kPm } marker = kNone;
    std::size_t j = i;
    skipBlanks(s, j);
    if (j + 1 < s.size() && asciiUpper(s[j + 1]) == 'M') {
        const char c = asciiUpper(s[j]);
        if (c == 'A' || c == 'P') {
            marker = c == 'A' ? kAm : kPm;
            i = j + 2;
        }
    }
    skipBlanks(s, i);
    if (i != s.size()) return false;

    if (marker != kNone) {
        if (hour < 1 || hour > 12) return false;
        hour %= 12;
        if (marker == kPm) hour += 12;
    }
    return tryEncodeTime(hour, minute, second, 0, out);
}

DateTime strToTime(std::string_view text, char separator) {
    DateTime t;
    if (!tryStrToTime(text, separator, t)) throw Error("'" + std::string(text) + "' is not a valid time");
    return t;
}

namespace {

void appendNumber(std::string& out, long long value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", digits, value);
    out += buf;
}

}  // namespace

std::string formatDateTime(std::string_view format, DateTime value, const FormatSettings& settings) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    decodeDate(value, year, month, day);
    decodeTime(value, hour, minute, second, msec);

    std::string out;
    char lastLetter = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '\'' || c == '"') {
            auto close = format.find(c, i + 1);
            if (close == std::string_view::npos) close = format.size();
            out.append(format.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        char token = asciiUpper(c);
        if (token < 'A' || token > 'Z') {
            out += token == ':' ? settings.timeSeparator : c;
            ++i;
            continue;
        }
        std::size_t count = 1;
        while (i + count < format.size() && asciiUpper(format[i + count]) == token) ++count;
        if (token == 'M' && lastLetter == 'H') token = 'N';
        lastLetter = token;
        const int width = count >= 2 ? 2 : 1;
        switch (token) {
            case 'Y':
                if (count <= 2)
                    appendNumber(out, year % 100, 2);
                else
                    appendNumber(out, year, 4);
                break;
            case 'M':
                if (count <= 2)
                    appendNumber(out, month, width);
                else
                    out += settings.longMonthNames[month];
                break;
            case 'D':
                if (count <= 2)
                    appendNumber(out, day, width);
                else
                    out += settings.longDayNames[dayOfWeek(value)];
                break;
            case 'H':
                appendNumber(out, hour, width);
                break;
            case 'N':
                appendNumber(out, minute, width);
                break;
            case 'S':
                appendNumber(out, second, width);
                break;
            default:
                out.append(format.substr(i, count));
                break;
        }
        i += count;
    }
    return out;
}

std::string formatTime(DateTime time, const FormatSettings& settings) {
    return formatDateTime(settings.longTimeFormat, time, settings);
}

std::string formatShortDate(DateTime date, const FormatSettings& settings) {
    return formatDateTime(settings.shortDateFormat, date, settings);
}

namespace {

constexpr std::int64_t kDayStartMSecs = std::int64_t{kDayStartMinutes} * 60'000;

std::int64_t listingMSecs(DateTime t) {
    const auto ms = timeMSecs(t);
    return ms < kDayStartMSecs ? ms + kMSecsPerDay : ms;
}

}  // namespace

bool isBeforeDayStart(DateTime t) { return timeMSecs(t) < kDayStartMSecs; }

DateTime listingDate(DateTime moment) { return dateOf(moment) - (isBeforeDayStart(moment) ? 1 : 0); }

DateTime listingTime(DateTime t) { return timeOf(t) + (isBeforeDayStart(t) ? 1 : 0); }

int compareListingTimes(DateTime a, DateTime b) {
    const auto x = listingMSecs(a), y = listingMSecs(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

int minutesOfDay(DateTime t) { return static_cast<int>(timeMSecs(t) / 60'000); }

int toListingMinutes(int minutesOfDay) {
    return minutesOfDay < kDayStartMinutes ? minutesOfDay + kMinutesPerDay : minutesOfDay;
}

}  // namespace orbisk
