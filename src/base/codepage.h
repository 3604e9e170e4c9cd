#pragma once
// The one place where text changes code page. Inside Orbisk every text is a
// Windows-1251 byte string; message bases store code page 866, internet
// listings arrive in KOI8-R, Qt and the terminal want UTF-16 / UTF-8.
// Single-byte conversions keep the length: a character the target page lacks
// becomes a look-alike or "?".
#include <string>
#include <string_view>

namespace orbisk {

std::string oemToAnsi(std::string_view s);   // 866 -> 1251
std::string ansiToOem(std::string_view s);   // 1251 -> 866
char ansiToOemChar(char c);
char oemToAnsiChar(char c);
// 866 -> 1251 in place, so a reused buffer keeps its capacity.
void oemToAnsiInPlace(std::string& s);
// n bytes from src to dst (the same place, or apart) from 866 to 1251.
void oemToAnsiBytes(char* dst, const char* src, std::size_t n);

// KOI8-R -> 1251 by code page only (no letter substitutions).
std::string koi8BytesToAnsi(std::string_view s);
// 1251 -> KOI8-R, for writing internet listings; a character KOI8-R lacks
// becomes "?".
std::string ansiToKoi8(std::string_view s);

std::u16string ansiToUtf16(std::string_view s);
std::string ansiToUtf8(std::string_view s);
// Code points outside Windows-1251 become "?"; malformed UTF-8 bytes too.
std::string utf16ToAnsi(std::u16string_view s);
std::string utf8ToAnsi(std::string_view s);
// As utf8ToAnsi, but a letter with marks becomes its plain letter (é -> e)
// and typographic dashes, primes and spaces their ASCII kin, for outside
// texts a user reads (guide titles); what has no look-alike is still "?".
std::string utf8ToAnsiLookalike(std::string_view s);

// File names cross between the settings' 1251 and the file system here,
// and only here. Linux file names are UTF-8 bytes, whatever the locale says,
// as Qt and the desktop read them.
std::string fileNameToAnsi(std::string_view fileName);
std::string ansiToFileName(std::string_view ansi);
// Whether a file name comes back unchanged from a trip through 1251
// (false for "josé"'s é, for bytes that are no UTF-8).
bool fileNameFitsAnsi(std::string_view fileName);
// A file name in UTF-16 and back, for records that carry UTF-16 (the
// reminder job's command); bytes that are no UTF-8 become U+FFFD.
std::u16string fileNameToUtf16(std::string_view fileName);
std::string utf16ToFileName(std::u16string_view s);

char ansiUpperChar(char c);
char ansiLowerChar(char c);
std::string ansiUpper(std::string_view s);
std::string ansiLower(std::string_view s);
// Case-insensitive comparison that knows Cyrillic: <0, 0, >0.
int ansiCompareText(std::string_view a, std::string_view b);
inline bool ansiSameText(std::string_view a, std::string_view b) { return ansiCompareText(a, b) == 0; }

}  // namespace orbisk
