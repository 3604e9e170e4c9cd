#include "base/codepage.h"

#include <gtest/gtest.h>

namespace orbisk {
namespace {

// "НТВ Новости" in code page 866 and in Windows-1251.
const std::string kOem = "\x8D\x92\x82 \x8D\xAE\xA2\xAE\xE1\xE2\xA8";
const std::string kAnsi = "\xCD\xD2\xC2 \xCD\xEE\xE2\xEE\xF1\xF2\xE8";

TEST(CodePage, OemAndAnsiRoundTripCyrillic) {
    EXPECT_EQ(OemToAnsi(kOem), kAnsi);
    EXPECT_EQ(AnsiToOem(kAnsi), kOem);
    EXPECT_EQ(OemToAnsi("\xF0\xF1"), "\xA8\xB8");  // Ё ё
    EXPECT_EQ(AnsiToOemChar('\xC0'), '\x80');      // А
}

TEST(CodePage, EveryByteKeepsTheLength) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(OemToAnsi(all).size(), 256u);
    EXPECT_EQ(AnsiToOem(all).size(), 256u);
    EXPECT_EQ(Koi8BytesToAnsi(all).size(), 256u);
    EXPECT_EQ(OemToAnsi(all).substr(0, 128), all.substr(0, 128));
    EXPECT_EQ(AnsiToUtf16(all).size(), 256u);
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(CodePage, MissingCharactersBecomeLookAlikes) {
    EXPECT_EQ(OemToAnsi("\xC4\xB3\xC5"), "-|+");  // box drawing
    EXPECT_EQ(AnsiToOem("\x97\xAB\xBB"), "-\"\"");  // dash and guillemets
    EXPECT_EQ(Koi8BytesToAnsi("\x80"), "-");
}

TEST(CodePage, Koi8ToAnsiByCodePage) {
    // "нтв" and "НТВ" in KOI8-R
    EXPECT_EQ(Koi8BytesToAnsi("\xCE\xD4\xD7"), "\xED\xF2\xE2");
    EXPECT_EQ(Koi8BytesToAnsi("\xEE\xF4\xF7"), "\xCD\xD2\xC2");
}

TEST(CodePage, Utf8) {
    EXPECT_EQ(AnsiToUtf8(kAnsi), "НТВ Новости");
    EXPECT_EQ(Utf8ToAnsi("НТВ Новости"), kAnsi);
    EXPECT_EQ(Utf8ToAnsi("a\xFF" "b"), "a?b");
    EXPECT_EQ(Utf8ToAnsi("\xD0"), "?");   // cut sequence
    EXPECT_EQ(Utf8ToAnsi("😀x"), "?x");  // outside the page
    EXPECT_EQ(Utf16ToAnsi(u"😀x"), "?x");
}

TEST(CodePage, CaseInsensitiveCyrillic) {
    EXPECT_TRUE(AnsiSameText("\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA", "\xEF\xCE\xCD\xC5\xC4\xC5\xCB\xDC\xCD\xC8\xCA"));
    EXPECT_TRUE(AnsiSameText("\xA8", "\xB8"));
    EXPECT_FALSE(AnsiSameText("\xC5", "\xA8"));  // Е is not Ё
    EXPECT_LT(AnsiCompareText("\xC0", "\xE1"), 0);
    EXPECT_LT(AnsiCompareText("ab", "ABC"), 0);
    EXPECT_EQ(AnsiUpper("abc\xE0\xFF"), "ABC\xC0\xDF");
    EXPECT_EQ(AnsiLower("ABC\xC0\xDF"), "abc\xE0\xFF");
}

}  // namespace
}  // namespace orbisk
