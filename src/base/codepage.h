#pragma once
// The one place where text changes code page. Inside Orbisk every text is a
// Windows-1251 byte string; message bases store code page 866, internet
// listings arrive in KOI8-R, Qt and the terminal want UTF-16 / UTF-8.
// Single-byte conversions keep the length: a character the target page lacks
// becomes a look-alike or "?".
#include <string>
#include <string_view>

namespace orbisk {

std::string OemToAnsi(std::string_view s);   // 866 -> 1251
std::string AnsiToOem(std::string_view s);   // 1251 -> 866
char AnsiToOemChar(char c);
char OemToAnsiChar(char c);

// KOI8-R -> 1251 by code page only (no letter substitutions).
std::string Koi8BytesToAnsi(std::string_view s);
// 1251 -> KOI8-R, for writing internet listings; a character KOI8-R lacks
// becomes "?".
std::string AnsiToKoi8(std::string_view s);

std::u16string AnsiToUtf16(std::string_view s);
std::string AnsiToUtf8(std::string_view s);
// Code points outside Windows-1251 become "?"; malformed UTF-8 bytes too.
std::string Utf16ToAnsi(std::u16string_view s);
std::string Utf8ToAnsi(std::string_view s);

char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpper(std::string_view s);
std::string AnsiLower(std::string_view s);
// Case-insensitive comparison that knows Cyrillic: <0, 0, >0.
int AnsiCompareText(std::string_view a, std::string_view b);
inline bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

}  // namespace orbisk
