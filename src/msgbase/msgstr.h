#pragma once
// String routines of the message bases: control lines, paths and numbers.
// Byte strings; case rules are ASCII only. Code-page work is in
// base/codepage.h (oemToAnsi, ansiToOem, ansiToOemChar).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orbisk {

// Appends the path separator "/" unless s is empty or already ends with it.
std::string addBackslash(std::string_view s);
// Decimal integer after trimming blanks (bytes up to 0x20) at both ends; an
// optional sign is allowed; 0 when the text is not a 32-bit integer.
std::int32_t strToLongDef0(std::string_view s);
// Like strToLongDef0 but tells whether the text was a number.
bool tryStrToLong(std::string_view s, std::int32_t& out);
std::string longToStr(std::int64_t n);
std::string upperStr(std::string_view s);  // a..z -> A..Z only
char lowerAscii(char c);                   // A..Z -> a..z only
std::string stripLeading(std::string_view s, char c);
std::string stripTrailing(std::string_view s, char c);
std::string stripBoth(std::string_view s, char c);
// Padded with blanks to width, or cut to width.
std::string padRight(std::string_view s, std::size_t width);
// 1-based position of the last c in s; 0 when absent.
std::size_t lastPosOf(char c, std::string_view s);
// The n-th (1-based) word; words are separated by runs of blanks, tabs and
// ";". A word that directly follows a ";" comes back with ";" in front:
// extractWord("a;b c", 2) == ";b". "" when there is no such word.
std::string extractWord(std::string_view s, int n);
// Removes "RE:" (any case) and the blanks after it, as long as the text
// starts with it: "Re: RE:  News" -> "News"; "Reply" stays.
std::string stripReplyPrefixes(std::string_view s);
// The same as a view into s.
std::string_view withoutReplyPrefixes(std::string_view s);

// Index of the first CR, LF or NUL in p[0, n), n when there is none. Eight
// bytes at a time: a word without any byte below 14 holds none of them.
inline std::size_t findLineEnd(const char* p, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + i, 8);
        if (((x - kOnes * 14) & ~x & kHigh) == 0) continue;
        for (std::size_t k = i; k < i + 8; ++k)
            if (p[k] == '\r' || p[k] == '\n' || p[k] == '\0') return k;
    }
    for (; i < n; ++i)
        if (p[i] == '\r' || p[i] == '\n' || p[i] == '\0') return i;
    return n;
}

}  // namespace orbisk
