#pragma once
// String routines of the message bases: control lines, paths and numbers.
// Byte strings; case rules are ASCII only. Code-page work is in
// base/codepage.h (OemToAnsi, AnsiToOem, AnsiToOemChar).
#include <cstdint>
#include <string>
#include <string_view>

namespace orbisk {

// Appends the path separator "/" unless s is empty or already ends with it.
std::string AddBackslash(std::string_view s);
// Decimal integer after trimming blanks (bytes up to 0x20) at both ends; an
// optional sign is allowed; 0 when the text is not a 32-bit integer.
std::int32_t StrToLongDef0(std::string_view s);
// Like StrToLongDef0 but tells whether the text was a number.
bool TryStrToLong(std::string_view s, std::int32_t& out);
std::string LongToStr(std::int64_t n);
std::string UpperStr(std::string_view s);  // a..z -> A..Z only
char LowerAscii(char c);                   // A..Z -> a..z only
std::string StripLeading(std::string_view s, char c);
std::string StripTrailing(std::string_view s, char c);
std::string StripBoth(std::string_view s, char c);
// Padded with blanks to width, or cut to width.
std::string PadRight(std::string_view s, std::size_t width);
// 1-based position of the last c in s; 0 when absent.
std::size_t LastPosOf(char c, std::string_view s);
// The n-th (1-based) word; words are separated by runs of blanks, tabs and
// ";". A word that directly follows a ";" comes back with ";" in front:
// ExtractWord("a;b c", 2) == ";b". "" when there is no such word.
std::string ExtractWord(std::string_view s, int n);
// Removes "RE:" (any case) and the blanks after it, as long as the text
// starts with it: "Re: RE:  News" -> "News"; "Reply" stays.
std::string StripReplyPrefixes(std::string_view s);

}  // namespace orbisk
