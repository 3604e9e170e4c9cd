#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orbisk {

// Integer text as the listings and the INI file write it: leading blanks, an
// optional sign, decimal digits, or hexadecimal after "$", "x" or "0x" (either
// case). Nothing may follow the digits; a value outside 32 bits is no integer.
bool tryStrToInt(std::string_view s, std::int32_t& out);
// The same, throwing Error("'<s>' is not a valid integer value").
std::int32_t strToInt(std::string_view s);
std::int32_t strToIntDef(std::string_view s, std::int32_t def);
// Decimal only: leading blanks, an optional sign and at least one digit,
// nothing after them, within 32 bits. For numbers written by people in
// message text, where "$1" or "x1" is a word and not a number.
bool tryDecimalToInt(std::string_view s, std::int32_t& out);

// Replaces every occurrence of `from`, case-sensitively, left to right,
// without rescanning inserted text. An empty `from` changes nothing.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace orbisk
