#include "base/codepage.h"
#include "base/cp1251.h"

#include <gtest/gtest.h>

namespace orbisk {
namespace {

// "НТВ Новости" in code page 866 and in Windows-1251.
const std::string kOem = "\x8D\x92\x82 \x8D\xAE\xA2\xAE\xE1\xE2\xA8";
const std::string kAnsi = "НТВ Новости"_cp1251;

TEST(CodePage, OemAndAnsiRoundTripCyrillic) {
    EXPECT_EQ(oemToAnsi(kOem), kAnsi);
    EXPECT_EQ(ansiToOem(kAnsi), kOem);
    EXPECT_EQ(oemToAnsi("\xF0\xF1"), "Ёё"_cp1251);  // Ё ё in 866
    EXPECT_EQ(ansiToOemChar('\xC0'), '\x80');      // А
}

TEST(CodePage, EveryByteKeepsTheLength) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(oemToAnsi(all).size(), 256u);
    EXPECT_EQ(ansiToOem(all).size(), 256u);
    EXPECT_EQ(koi8BytesToAnsi(all).size(), 256u);
    EXPECT_EQ(oemToAnsi(all).substr(0, 128), all.substr(0, 128));
    EXPECT_EQ(ansiToUtf16(all).size(), 256u);
    EXPECT_EQ(utf16ToAnsi(ansiToUtf16(all)), all);
    EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
}

// Long texts convert sixteen bytes at a time by arithmetic when they hold
// only letters: each byte, wherever it stands in such a block, must convert
// as it does alone.
TEST(CodePage, LongTextsConvertAsEachByteAlone) {
    for (int c = 0; c < 256; ++c) {
        for (std::size_t at : {0u, 7u, 15u, 16u, 31u, 40u}) {
            std::string oem(41, '\xA0');  // "а" in 866
            oem[at] = static_cast<char>(c);
            std::string expected(41, '\xE0');
            expected[at] = oemToAnsiChar(static_cast<char>(c));
            ASSERT_EQ(oemToAnsi(oem), expected) << "byte " << c << " at " << at;
            std::string inPlace = oem;
            oemToAnsiInPlace(inPlace);
            ASSERT_EQ(inPlace, expected) << "byte " << c << " at " << at;
        }
    }
}

TEST(CodePage, MissingCharactersBecomeLookAlikes) {
    EXPECT_EQ(oemToAnsi("\xC4\xB3\xC5"), "-|+");  // box drawing
    EXPECT_EQ(ansiToOem("—«»"_cp1251), "-\"\"");  // dash and guillemets
    EXPECT_EQ(koi8BytesToAnsi("\x80"), "-");
}

TEST(CodePage, Koi8ToAnsiByCodePage) {
    EXPECT_EQ(koi8BytesToAnsi("\xCE\xD4\xD7"), "нтв"_cp1251);  // "нтв" in KOI8-R
    EXPECT_EQ(koi8BytesToAnsi("\xEE\xF4\xF7"), "НТВ"_cp1251);  // "НТВ" in KOI8-R
}

TEST(CodePage, Utf8) {
    EXPECT_EQ(ansiToUtf8(kAnsi), "НТВ Новости");
    EXPECT_EQ(utf8ToAnsi("НТВ Новости"), kAnsi);
    EXPECT_EQ(utf8ToAnsi("a\xFF" "b"), "a?b");
    EXPECT_EQ(utf8ToAnsi("\xD0"), "?");   // cut sequence
    EXPECT_EQ(utf8ToAnsi("😀x"), "?x");  // outside the page
    EXPECT_EQ(utf16ToAnsi(u"😀x"), "?x");
}

TEST(CodePage, CaseInsensitiveCyrillic) {
    EXPECT_TRUE(ansiSameText("Понедельник"_cp1251, "пОНЕДЕЛЬНИК"_cp1251));
    EXPECT_TRUE(ansiSameText("Ё"_cp1251, "ё"_cp1251));
    EXPECT_FALSE(ansiSameText("Е"_cp1251, "Ё"_cp1251));
    EXPECT_LT(ansiCompareText("А"_cp1251, "б"_cp1251), 0);
    EXPECT_LT(ansiCompareText("ab", "ABC"), 0);
    EXPECT_EQ(ansiUpper("abcая"_cp1251), "ABCАЯ"_cp1251);
    EXPECT_EQ(ansiLower("ABCАЯ"_cp1251), "abcая"_cp1251);
}

// Source text is UTF-8; the literal yields the bytes the listings carry.
// File names travel through UTF-16 unchanged, whatever 1251 lacks; bytes
// that are no UTF-8 become U+FFFD rather than another name.
TEST(CodePage, FileNamesThroughUtf16) {
    struct Case {
        std::string name;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"/home/josé/orbisk", u"/home/josé/orbisk"},
        {"Фидо", u"Фидо"},
        {"📺 tv", u"📺 tv"},
        {"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileNameToUtf16(c.name), c.utf16) << c.name;
        EXPECT_EQ(utf16ToFileName(c.utf16), c.name) << c.name;
    }
    for (const std::string bad : {"a\xE9" "b", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_NE(fileNameToUtf16(bad).find(u'\uFFFD'), std::u16string::npos) << bad;
    EXPECT_EQ(utf16ToFileName(std::u16string{u'x', char16_t{0xD800}, u'y'}), "x\xEF\xBF\xBDy") << "a lone surrogate";
}

TEST(Cp1251Literal, SourceTextBecomesWindows1251Bytes) {
    EXPECT_EQ(std::string("Орбиск"_cp1251), "\xCE\xF0\xE1\xE8\xF1\xEA");
    EXPECT_EQ(std::string("Ёё №«»"_cp1251), "\xA8\xB8 \xB9\xAB\xBB");
    EXPECT_EQ(std::string("HH.MM \"x\""_cp1251), "HH.MM \"x\"");
    EXPECT_EQ(std::string(""_cp1251), "");
    // Every letter of the page survives the trip source -> 1251 -> UTF-8.
    const std::string alphabet = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"_cp1251;
    ASSERT_EQ(alphabet.size(), 64u);
    EXPECT_EQ(ansiToUtf8(alphabet), "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");
    static_assert("Я"_cp1251[0] == '\xDF' && "Я"_cp1251[1] == '\0');
}

}  // namespace
}  // namespace orbisk
