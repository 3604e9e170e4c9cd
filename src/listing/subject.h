#pragma once
// The small text rules that recognise and date listings: the subject of a
// listing message and its part numbers, the dating line of its body, the
// caption date of an internet text file, the year of a day without one, the
// KOI8-R conversion of text files and the channel name of a caption line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/names.h"
#include "base/ui.h"

namespace orbisk {

// Word n (1-based) of a text: the n-th maximal run of characters that are
// not in `separators`. Empty when the text has fewer than n words.
std::string_view nthWord(std::string_view text, int n, std::string_view separators);
// Where word n starts, or std::string_view::npos when there is none.
std::size_t nthWordPosition(std::string_view text, int n, std::string_view separators);

// A listing subject holds "]", has its first "/" at the second character or
// later, nowhere holds "ТВ. ", and whose part texts (before and after the
// "/") are decimal integers. For one, `n` and `m` get the part number and the
// number of parts. Anything else returns false and leaves `n` and `m` alone.
// Never throws: any subject can be posted.
bool isListingSubject(std::string_view subject, std::int32_t& n, std::int32_t& m);

// The date of a dating line: day from the two characters before its first
// ".", month from the two after it (decimal), year from yearForMonth. No
// date when the line has no "." or fewer than two characters on a side, the
// texts are no numbers, or the day does not exist in that month and year.
// Never throws.
std::optional<DateTime> datingLineDate(std::string_view line, const Clock& clock);

// The date of a caption line: day from word 2 (blank-separated), month name
// from word 3 (blank- and "."-separated) matched exactly against `months`.
// Failures are shown through `notifier` (caption "Ошибка", error icon) and
// give 0, the missing date. Never throws.
DateTime parseCaptionDate(std::string_view line, const MonthNames& months, const Clock& clock, Notifier& notifier);

// The year of a day in `month` that carries no year, judged from today:
// January read in December is next year's, November or December read in
// January or February last year's.
int yearForMonth(int month, const Clock& clock);

// KOI8-R text to Windows-1251, length kept.
std::string koi8ToAnsi(std::string_view text);

// The channel name of a caption line: from its fourth blank-separated word
// to the end (trailing blanks kept), or the whole line with fewer words.
std::string captionTail(std::string_view line);

}  // namespace orbisk
