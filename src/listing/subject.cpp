#include "listing/subject.h"

#include <algorithm>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"

namespace orbisk {

namespace {

constexpr auto npos = std::string_view::npos;

// The subject of the daily TV digest, which is no listing part.
constexpr std::string_view kTvMarker = "ТВ. "_cp1251;
constexpr const char* kErrorCaption = "Ошибка"_cp1251;
constexpr const char* kUnknownMonth = "Неопознанный месяц"_cp1251;
constexpr const char* kBadDate = "Не распознаваемая дата:"_cp1251;

// The text from `from` (inclusive) to `to` (exclusive); empty when `to`
// comes first.
std::string_view between(std::string_view s, std::size_t from, std::size_t to) {
    return to > from ? s.substr(from, to - from) : std::string_view{};
}

}  // namespace

std::size_t nthWordPosition(std::string_view text, int n, std::string_view separators) {
    std::size_t i = 0;
    for (int word = 1; n >= 1; ++word) {
        i = text.find_first_not_of(separators, i);
        if (i == npos) return npos;
        if (word == n) return i;
        i = text.find_first_of(separators, i);
        if (i == npos) return npos;
    }
    return npos;
}

std::string_view nthWord(std::string_view text, int n, std::string_view separators) {
    const auto start = nthWordPosition(text, n, separators);
    if (start == npos) return {};
    const auto end = text.find_first_of(separators, start);
    return text.substr(start, end == npos ? npos : end - start);
}

bool isListingSubject(std::string_view s, std::int32_t& n, std::int32_t& m) {
    const auto slash = s.find('/');
    const auto close = s.find(']');
    if (s.find(kTvMarker) != npos || close == npos || slash == npos || slash == 0) return false;
    const auto open = s.find('[');
    // Without "[" the part number is all the text before the "/".
    const std::size_t numberStart = open == npos ? 0 : open + 1;
    std::int32_t part = 0, parts = 0;
    // Chat in the echo writes "[OT] a/b" or "Re: a/b [photo]"; only numbers
    // make a part, anything else is an ordinary message.
    if (!tryDecimalToInt(between(s, numberStart, slash), part) || !tryDecimalToInt(between(s, slash + 1, close), parts))
        return false;
    n = part;
    m = parts;
    return true;
}

std::optional<DateTime> datingLineDate(std::string_view line, const Clock& clock) {
    const auto dot = line.find('.');
    // Take only what the line holds: a point too near either end leaves a
    // short text, which is no two-digit number.
    std::string_view dayText, monthText;
    if (dot != npos) {
        dayText = line.substr(dot >= 2 ? dot - 2 : 0, std::min<std::size_t>(dot, 2));
        monthText = line.substr(dot + 1, 2);
    }
    std::int32_t day = 0, month = 0;
    if (dayText.size() < 2 || monthText.size() < 2 || !tryDecimalToInt(dayText, day) ||
        !tryDecimalToInt(monthText, month) || month < 1 || month > 12)
        return std::nullopt;
    // The year is inferred, so a kept area meets 29 February in a year
    // without it: no date, like a listing without a dating line.
    DateTime date = 0;
    if (!tryEncodeDate(yearForMonth(month, clock), month, day, date)) return std::nullopt;
    return date;
}

DateTime parseCaptionDate(std::string_view line, const MonthNames& months, const Clock& clock, Notifier& notifier) {
    const auto dayText = nthWord(line, 2, " ");
    const auto monthName = nthWord(line, 3, " .");
    int month = 0;
    // An empty word never matches, not even a month name left empty in the
    // configuration: that would date the file by a month nobody named.
    for (int i = 1; i <= 12 && month == 0 && !monthName.empty(); ++i)
        if (months[i] == monthName) month = i;
    if (month == 0) {
        notifier.show(std::string(kUnknownMonth) + " \"" + std::string(monthName) + "\"", kErrorCaption,
                      MsgIcon::Error);
        return 0;
    }
    std::int32_t day = 0;
    DateTime date = 0;
    if (!tryStrToInt(dayText, day) || !tryEncodeDate(yearForMonth(month, clock), month, day, date)) {
        notifier.show(std::string(kBadDate) + " \"" + std::string(dayText) + " " + std::string(monthName) + "\"",
                      kErrorCaption, MsgIcon::Error);
        return 0;
    }
    return date;
}

int yearForMonth(int month, const Clock& clock) {
    int year = 0, today = 0, day = 0;
    decodeDate(clock.now(), year, today, day);
    if (today == 12 && month == 1) return year + 1;
    if ((today == 1 || today == 2) && (month == 11 || month == 12)) return year - 1;
    return year;
}

std::string koi8ToAnsi(std::string_view text) { return koi8BytesToAnsi(text); }

std::string captionTail(std::string_view line) {
    const auto start = nthWordPosition(line, 4, " ");
    return std::string(start == npos ? line : line.substr(start));
}

}  // namespace orbisk
