#include "base/timetext.h"

#include <cstdint>
#include <cstdio>

#include "base/error.h"

namespace orbisk {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void SkipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && s[i] == ' ') ++i;
}

// One to four digits; a fifth digit is left for the caller to reject.
bool ScanNumber(std::string_view s, std::size_t& i, int& value) {
    const std::size_t start = i;
    value = 0;
    while (i < s.size() && i - start < 4 && IsDigit(s[i])) value = value * 10 + (s[i++] - '0');
    return i > start;
}

// The separator counts only when a number follows it.
bool ScanSeparatedNumber(std::string_view s, std::size_t& i, char separator, int& value) {
    if (i + 1 < s.size() && s[i] == separator && IsDigit(s[i + 1])) {
        ++i;
        return ScanNumber(s, i, value);
    }
    return false;
}

}  // namespace

bool TryStrToTime(std::string_view s, char separator, TDateTime& out) {
    std::size_t i = 0;
    SkipBlanks(s, i);
    int hour = 0, minute = 0, second = 0;
    if (!ScanNumber(s, i, hour)) return false;
    if (ScanSeparatedNumber(s, i, separator, minute)) ScanSeparatedNumber(s, i, separator, second);

    enum { kNone, kAm, kPm } marker = kNone;
    std::size_t j = i;
    SkipBlanks(s, j);
    if (j + 1 < s.size() && AsciiUpper(s[j + 1]) == 'M') {
        const char c = AsciiUpper(s[j]);
        if (c == 'A' || c == 'P') {
            marker = c == 'A' ? kAm : kPm;
            i = j + 2;
        }
    }
    SkipBlanks(s, i);
    if (i != s.size()) return false;

    if (marker != kNone) {
        if (hour < 1 || hour > 12) return false;
        hour %= 12;
        if (marker == kPm) hour += 12;
    }
    return TryEncodeTime(hour, minute, second, 0, out);
}

TDateTime StrToTime(std::string_view text, char separator) {
    TDateTime t;
    if (!TryStrToTime(text, separator, t)) throw Error("'" + std::string(text) + "' is not a valid time");
    return t;
}

namespace {

void AppendNumber(std::string& out, long long value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", digits, value);
    out += buf;
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& settings) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);

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
        char token = AsciiUpper(c);
        if (token < 'A' || token > 'Z') {
            out += token == ':' ? settings.timeSeparator : c;
            ++i;
            continue;
        }
        std::size_t count = 1;
        while (i + count < format.size() && AsciiUpper(format[i + count]) == token) ++count;
        if (token == 'M' && lastLetter == 'H') token = 'N';
        lastLetter = token;
        const int width = count >= 2 ? 2 : 1;
        switch (token) {
            case 'Y':
                if (count <= 2)
                    AppendNumber(out, year % 100, 2);
                else
                    AppendNumber(out, year, 4);
                break;
            case 'M':
                if (count <= 2)
                    AppendNumber(out, month, width);
                else
                    out += settings.longMonthNames[month];
                break;
            case 'D':
                if (count <= 2)
                    AppendNumber(out, day, width);
                else
                    out += settings.longDayNames[DayOfWeek(value)];
                break;
            case 'H':
                AppendNumber(out, hour, width);
                break;
            case 'N':
                AppendNumber(out, minute, width);
                break;
            case 'S':
                AppendNumber(out, second, width);
                break;
            default:
                out.append(format.substr(i, count));
                break;
        }
        i += count;
    }
    return out;
}

std::string FormatTime(TDateTime time, const FormatSettings& settings) {
    return FormatDateTime(settings.longTimeFormat, time, settings);
}

std::string FormatShortDate(TDateTime date, const FormatSettings& settings) {
    return FormatDateTime(settings.shortDateFormat, date, settings);
}

namespace {

constexpr std::int64_t kDayStartMSecs = std::int64_t{kDayStartMinutes} * 60'000;

std::int64_t ListingMSecs(TDateTime t) {
    const auto ms = TimeMSecs(t);
    return ms < kDayStartMSecs ? ms + kMSecsPerDay : ms;
}

}  // namespace

bool IsBeforeDayStart(TDateTime t) { return TimeMSecs(t) < kDayStartMSecs; }

TDateTime ListingDate(TDateTime moment) { return DateOf(moment) - (IsBeforeDayStart(moment) ? 1 : 0); }

TDateTime ListingTime(TDateTime t) { return TimeOf(t) + (IsBeforeDayStart(t) ? 1 : 0); }

int CompareListingTimes(TDateTime a, TDateTime b) {
    const auto x = ListingMSecs(a), y = ListingMSecs(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

int MinutesOfDay(TDateTime t) { return static_cast<int>(TimeMSecs(t) / 60'000); }

int ToListingMinutes(int minutesOfDay) {
    return minutesOfDay < kDayStartMinutes ? minutesOfDay + kMinutesPerDay : minutesOfDay;
}

}  // namespace orbisk
