#pragma once
// Russian text is written in the source as UTF-8 and lives in the program as
// Windows-1251 bytes: "Орбиск"_cp1251 is converted while compiling. A
// character that 1251 lacks, or a malformed UTF-8 sequence, stops the build.
#include <array>
#include <cstddef>

namespace orbisk {

// Bytes 0x80..0xFF of Windows-1251 as Unicode (0x00..0x7F are themselves).
inline constexpr char16_t kAnsiToUnicode[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

namespace cp1251 {

constexpr char encode(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    for (int i = 0; i < 128; ++i)
        if (kAnsiToUnicode[i] == c) return static_cast<char>(0x80 + i);
    throw "a character that Windows-1251 lacks";
}

// The literal's bytes in 1251, NUL-terminated; never longer than the UTF-8.
template <char... utf8>
constexpr std::array<char, sizeof...(utf8) + 1> encodeUtf8() {
    constexpr std::size_t n = sizeof...(utf8);
    constexpr char in[n + 1] = {utf8..., '\0'};
    std::array<char, n + 1> out{};
    std::size_t o = 0;
    for (std::size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(in[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= n) throw "malformed UTF-8";
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) throw "malformed UTF-8";
            c = (c << 6) | (t & 0x3F);
        }
        out[o++] = encode(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

template <char... utf8>
inline constexpr auto kEncoded = encodeUtf8<utf8...>();

}  // namespace cp1251

// The character-pack form of the literal operator (a GNU extension that gcc
// and clang share): clang 14 crashes on a class-type template argument here.
#pragma GCC diagnostic push
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#else
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
template <typename Char, Char... utf8>
constexpr const char* operator""_cp1251() {
    static_assert(sizeof(Char) == 1, "a narrow (UTF-8) string literal");
    return cp1251::kEncoded<utf8...>.data();
}
#pragma GCC diagnostic pop

}  // namespace orbisk
