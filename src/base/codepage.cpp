#include "base/codepage.h"
#include "base/cp1251.h"

#include <cstdint>
#include <cstring>

namespace orbisk {
namespace {
#include "base/codepage_tables.inc"

inline unsigned char map(const unsigned char (&table)[128], unsigned char c) {
    return c < 0x80 ? c : table[c - 0x80];
}

// All 256 bytes, so that a whole text maps without a branch per character.
struct FullTable {
    unsigned char to[256];
};
constexpr FullTable widen(const unsigned char (&table)[128]) {
    FullTable t{};
    for (int i = 0; i < 256; ++i) t.to[i] = i < 0x80 ? static_cast<unsigned char>(i) : table[i - 0x80];
    return t;
}

std::string mapAll(std::string_view s, const FullTable& table) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(table.to[static_cast<unsigned char>(c)]);
    return out;
}

constexpr FullTable kOemToAnsiFull = widen(kOemToAnsi);
constexpr FullTable kAnsiToOemFull = widen(kAnsiToOem);
constexpr FullTable kKoi8ToAnsiFull = widen(kKoi8ToAnsi);

// 866 keeps its Cyrillic letters in two runs, A..p at 0x80 and r..ja at
// 0xE0, which 1251 keeps in one from 0xC0: what oemLetters relies on.
constexpr bool lettersAreTwoRuns() {
    for (int c = 0; c < 256; ++c) {
        const int to = kOemToAnsiFull.to[c];
        if (c < 0x80 && to != c) return false;
        if (c >= 0x80 && c < 0xB0 && to != c + 0x40) return false;
        if (c >= 0xE0 && c < 0xF0 && to != c + 0x10) return false;
    }
    return true;
}
static_assert(lettersAreTwoRuns());

// 16 bytes of ASCII and Cyrillic letters by arithmetic on one vector, with
// no look-up per byte; false, with nothing written, when the block holds
// anything else.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

inline bool oemLetters(unsigned char* dst, const unsigned char* src) {
    Bytes16 c;
    std::memcpy(&c, src, 16);
    const Bytes16 other = reinterpret_cast<Bytes16>(static_cast<Bytes16>(c - 0xB0) < 0x30) |
                          reinterpret_cast<Bytes16>(c >= 0xF0);
    std::uint64_t halves[2];
    std::memcpy(halves, &other, 16);
    if ((halves[0] | halves[1]) != 0) return false;
    const Bytes16 late = reinterpret_cast<Bytes16>(c >= 0xE0);
    const Bytes16 early = reinterpret_cast<Bytes16>(c >= 0x80) & ~late;
    c += (late & 0x10) | (early & 0x40);
    std::memcpy(dst, &c, 16);
    return true;
}

char16_t toUnicode(unsigned char c) { return c < 0x80 ? c : kAnsiToUnicode[c - 0x80]; }

char fromUnicode(char32_t u) {
    if (u < 0x80) return static_cast<char>(u);
    for (int i = 0; i < 128; ++i)
        if (kAnsiToUnicode[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}
}  // namespace

std::string oemToAnsi(std::string_view s) {
    std::string out(s.size(), '\0');
    oemToAnsiBytes(out.data(), s.data(), s.size());
    return out;
}
std::string ansiToOem(std::string_view s) { return mapAll(s, kAnsiToOemFull); }
char ansiToOemChar(char c) { return static_cast<char>(map(kAnsiToOem, static_cast<unsigned char>(c))); }
void oemToAnsiInPlace(std::string& s) { oemToAnsiBytes(s.data(), s.data(), s.size()); }

void oemToAnsiBytes(char* dst, const char* src, std::size_t n) {
    auto* d = reinterpret_cast<unsigned char*>(dst);
    const auto* p = reinterpret_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
        if (!oemLetters(d + i, p + i))
            for (std::size_t k = i; k < i + 16; ++k) d[k] = kOemToAnsiFull.to[p[k]];
    for (; i < n; ++i) d[i] = kOemToAnsiFull.to[p[i]];
}
char oemToAnsiChar(char c) { return static_cast<char>(map(kOemToAnsi, static_cast<unsigned char>(c))); }
std::string koi8BytesToAnsi(std::string_view s) { return mapAll(s, kKoi8ToAnsiFull); }

std::string ansiToKoi8(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) continue;
        char koi = '?';
        for (int i = 0; i < 128; ++i)
            if (kKoi8ToAnsi[i] == u) {
                koi = static_cast<char>(0x80 + i);
                break;
            }
        c = koi;
    }
    return out;
}

std::u16string ansiToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (char c : s) out.push_back(toUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string ansiToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char c : s) {
        char16_t u = toUnicode(static_cast<unsigned char>(c));
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::string utf16ToAnsi(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;  // one "?" per pair
        out.push_back(fromUnicode(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u));
    }
    return out;
}

namespace {

// Latin letters with marks, U+00C0 ... U+017F, as their plain letters; "?"
// where no letter comes close. U+00D7 and U+00F7 are the signs × and ÷.
constexpr std::string_view kLatinBase =
    "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo:ouuuuyty"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

char lookalike(char32_t u) {
    if (u >= 0xC0 && u <= 0x17F) return kLatinBase[u - 0xC0];
    switch (u) {
        case 0x2010: case 0x2011: case 0x2012: case 0x2043: case 0x2212:
            return '-';
        case 0x2032: case 0x02B9: case 0x02BC:
            return '\'';
        case 0x2033: case 0x02BA:
            return '"';
        case 0x2002: case 0x2003: case 0x2009: case 0x200A: case 0x202F: case 0x2007: case 0x2008:
            return ' ';
        case 0x2024:
            return '.';
        case 0x2044: case 0x2215:
            return '/';
        case 0x00B4:
            return '\'';
        case 0x00B2:
            return '2';
        case 0x00B3:
            return '3';
        case 0x00B9:
            return '1';
        default:
            return '?';
    }
}

template <typename FromUnicode>
std::string utf8ToAnsiWith(std::string_view s, FromUnicode fromCodePoint) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + extra >= s.size()) {
            out.push_back('?');
            ++i;
            continue;
        }
        char32_t u = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) { ok = false; break; }
            u = (u << 6) | (cb & 0x3F);
        }
        if (!ok) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.push_back(fromCodePoint(u));
        i += extra + 1;
    }
    return out;
}

}  // namespace

std::string utf8ToAnsi(std::string_view s) { return utf8ToAnsiWith(s, fromUnicode); }

std::string utf8ToAnsiLookalike(std::string_view s) {
    return utf8ToAnsiWith(s, [](char32_t u) {
        const char c = fromUnicode(u);
        return c == '?' && u != '?' ? lookalike(u) : c;
    });
}

char ansiUpperChar(char c) { return static_cast<char>(kAnsiUpper[static_cast<unsigned char>(c)]); }
char ansiLowerChar(char c) { return static_cast<char>(kAnsiLower[static_cast<unsigned char>(c)]); }

std::string ansiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ansiUpperChar(c);
    return out;
}

std::string ansiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ansiLowerChar(c);
    return out;
}

int ansiCompareText(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Compare as Unicode so that "Ё" sorts next to "Е" rather than below "А".
        char16_t x = toUnicode(kAnsiLower[static_cast<unsigned char>(a[i])]);
        char16_t y = toUnicode(kAnsiLower[static_cast<unsigned char>(b[i])]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string fileNameToAnsi(std::string_view fileName) {
    return utf8ToAnsi(fileName);
}

std::string ansiToFileName(std::string_view ansi) {
    return ansiToUtf8(ansi);
}

bool fileNameFitsAnsi(std::string_view fileName) {
    return ansiToFileName(fileNameToAnsi(fileName)) == fileName;
}

std::u16string fileNameToUtf16(std::string_view fileName) {
    std::u16string out;
    out.reserve(fileName.size());
    std::size_t i = 0;
    while (i < fileName.size()) {
        const auto b = static_cast<unsigned char>(fileName[i]);
        const int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
        char32_t u = extra <= 0 ? b : (b & (0x3F >> extra));
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < fileName.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(fileName[i + static_cast<std::size_t>(k)]);
            ok = (cb & 0xC0) == 0x80;
            u = (u << 6) | (cb & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        ok = ok && u >= kLeast[extra] && u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (u >= 0x10000) {
            u -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (u >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (u & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(u));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string utf16ToFileName(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else if (u < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (u >> 18)));
            out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

}  // namespace orbisk
