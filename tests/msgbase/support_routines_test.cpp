#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "msgbase/address.h"
#include "msgbase/crc32.h"
#include "msgbase/fidodate.h"
#include "msgbase/msgstr.h"

namespace orbisk {
namespace {

TEST(MsgStrings, NumbersAndCase) {
    EXPECT_EQ(strToLongDef0(" 12 "), 12);
    EXPECT_EQ(strToLongDef0("\t-7"), -7);
    EXPECT_EQ(strToLongDef0("+5"), 5);
    for (const char* bad : {"1x", "", "  ", "+-1", "2147483648", "0x10", "1 2"}) EXPECT_EQ(strToLongDef0(bad), 0) << bad;
    std::int32_t v = 99;
    EXPECT_FALSE(tryStrToLong("abc", v));
    EXPECT_EQ(v, 99);
    EXPECT_EQ(longToStr(-31999), "-31999");
    EXPECT_EQ(upperStr("intl 2:5020/1 аб"_cp1251), "INTL 2:5020/1 аб"_cp1251);  // Cyrillic untouched
    EXPECT_EQ(lowerAscii('Q'), 'q');
    EXPECT_EQ(lowerAscii("А"_cp1251[0]), "А"_cp1251[0]);
}

TEST(MsgStrings, TrimPadAndPositions) {
    EXPECT_EQ(stripLeading("00120", '0'), "120");
    EXPECT_EQ(stripTrailing("00120", '0'), "0012");
    EXPECT_EQ(stripBoth("  a b  ", ' '), "a b");
    EXPECT_EQ(stripBoth("    ", ' '), "");
    EXPECT_EQ(padRight("ab", 4), "ab  ");
    EXPECT_EQ(padRight("abcdef", 3), "abc");
    EXPECT_EQ(lastPosOf('/', "a/b/c"), 4u);
    EXPECT_EQ(lastPosOf('x', "abc"), 0u);
    EXPECT_EQ(addBackslash(""), "");
    EXPECT_EQ(addBackslash("/fido"), "/fido/");
    EXPECT_EQ(addBackslash("/fido/"), "/fido/");
}

TEST(MsgStrings, ExtractWordKeepsSemicolonMark) {
    EXPECT_EQ(extractWord("a;b c", 1), "a");
    EXPECT_EQ(extractWord("a;b c", 2), ";b");
    EXPECT_EQ(extractWord("a;b c", 3), "c");
    EXPECT_EQ(extractWord("a;b c", 4), "");
    EXPECT_EQ(extractWord("  INTL\t2:5020/1  2:5020/2 ", 3), "2:5020/2");
    EXPECT_EQ(extractWord(";;x", 1), ";x");
    EXPECT_EQ(extractWord("x", 0), "");
}

TEST(MsgStrings, ReplyPrefixes) {
    EXPECT_EQ(stripReplyPrefixes("Re: RE:  News"), "News");
    EXPECT_EQ(stripReplyPrefixes("RE:RE:"), "");
    EXPECT_EQ(stripReplyPrefixes("Reply"), "Reply");
    EXPECT_EQ(stripReplyPrefixes("re:x re: y"), "x re: y");
    EXPECT_EQ(stripReplyPrefixes("RE"), "RE");
}

TEST(FidoDates, JulianDays) {
    EXPECT_EQ(dateToJulianDay(encodeDate(1970, 1, 1)), 2440588);
    EXPECT_EQ(dateToJulianDay(encodeDate(2000, 3, 1)), 2451605);
    EXPECT_EQ(dateToJulianDay(encodeDate(2000, 2, 29)), 2451604);
    int y = 0, m = 0, d = 0;
    julianDayToDate(2451605, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20000301);
    // Round trip over a stretch with leap days and century years.
    for (DateTime t = encodeDate(1899, 12, 1); t < encodeDate(2101, 3, 1); t += 13) {
        julianDayToDate(dateToJulianDay(t), y, m, d);
        int ey, em, ed;
        decodeDate(t, ey, em, ed);
        ASSERT_EQ(y * 10000 + m * 100 + d, ey * 10000 + em * 100 + ed);
    }
}

TEST(FidoDates, UnixSeconds) {
    EXPECT_EQ(dateTimeToUnix(encodeDate(1970, 1, 1)), 0u);
    EXPECT_EQ(dateTimeToUnix(encodeDate(2000, 1, 1)), 946684800u);
    EXPECT_EQ(dateTimeToUnix(encodeDate(2004, 2, 29) + encodeTime(13, 45, 59)), 1078062359u);
    // Before 1970 wraps around in 32 bits.
    EXPECT_EQ(dateTimeToUnix(encodeDate(1969, 12, 31) + encodeTime(23, 59, 59)), 0xFFFFFFFFu);
    EXPECT_EQ(unixToDateTime(0), encodeDate(1970, 1, 1));
    EXPECT_DOUBLE_EQ(unixToDateTime(1078062359u), encodeDate(2004, 2, 29) + encodeTime(13, 45, 59));
    // Unsigned: past 2038 still reads as a date.
    EXPECT_EQ(dateOf(unixToDateTime(0x80000000u)), encodeDate(2038, 1, 19));
    EXPECT_GT(unixToDateTime(0xFFFFFFFFu), encodeDate(2106, 1, 1));
}

TEST(FidoDates, DosPackedDates) {
    EXPECT_EQ(dateTimeToDosDate(encodeDate(1979, 12, 31) + encodeTime(23, 0, 0)), 0u);
    EXPECT_EQ(dateTimeToDosDate(encodeDate(1980, 1, 1)), 0x00210000u);
    EXPECT_EQ(dateTimeToDosDate(encodeDate(2100, 1, 1)), 0u);
    const DateTime t = encodeDate(2099, 12, 31) + encodeTime(23, 59, 58);
    const std::uint32_t dos = dateTimeToDosDate(t);
    EXPECT_EQ(dos, (31u | 12u << 5 | 119u << 9) << 16 | (29u | 59u << 5 | 23u << 11));
    EXPECT_DOUBLE_EQ(dosDateToDateTime(dos), t);
    EXPECT_EQ(dosDateToDateTime(0), 0);  // month 0 is no date
    FixedClock clock(encodeDate(2005, 6, 7) + encodeTime(8, 9, 10));
    EXPECT_EQ(nowDosDate(clock), dateTimeToDosDate(clock.now()));
    EXPECT_NE(nowDosDate(), 0u);
}

TEST(FidoAddresses, PrintAndParse) {
    EXPECT_EQ(addressToStr({2, 5020, 1, 0}), "2:5020/1");
    EXPECT_EQ(addressToStr({2, 5020, 1, 7}), "2:5020/1.7");
    EXPECT_EQ(addressToStr3D({2, 5020, 1, 7}), "2:5020/1");

    const FidoAddress def{2, 5020, 0, 0};
    FidoAddress a;
    EXPECT_TRUE(parseAddress(" 2:5020/1.3@fidonet ", def, a));
    EXPECT_EQ(a, (FidoAddress{2, 5020, 1, 3}));
    EXPECT_TRUE(parseAddress("1", def, a));
    EXPECT_EQ(a, (FidoAddress{2, 5020, 1, 0}));
    EXPECT_TRUE(parseAddress("463/68.x", {9, 9, 9, 9}, a));
    EXPECT_EQ(a, (FidoAddress{9, 463, 68, 0}));
    EXPECT_TRUE(parseAddress("2:5020/", {1, 1, 77, 1}, a));
    EXPECT_EQ(a, (FidoAddress{2, 5020, 77, 0}));

    a = {};
    EXPECT_FALSE(parseAddress("2:50x0/1", def, a));
    EXPECT_EQ(a.zone, 2);  // read before the bad net
    EXPECT_FALSE(parseAddress(":5020/1", def, a));
    EXPECT_FALSE(parseAddress("2:5020/abc", def, a));
}

TEST(Crc32, StepAndNameChecksum) {
    // Standard CRC-32 of "123456789" is 0xCBF43926 (register inverted at the end).
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : std::string("123456789")) crc = crc32Step(static_cast<std::uint8_t>(c), crc);
    EXPECT_EQ(~crc, 0xCBF43926u);
    // CRC-32("abc") = 0x352441C2; the name checksum leaves out the inversion.
    EXPECT_EQ(crc32LowerName("abc"), ~0x352441C2u);
    EXPECT_EQ(crc32LowerName("ABC"), crc32LowerName("abc"));
    EXPECT_EQ(crc32LowerName(""), 0xFFFFFFFFu);
    EXPECT_NE(crc32LowerName("А"_cp1251), crc32LowerName("а"_cp1251));  // only ASCII is folded
}

}  // namespace
}  // namespace orbisk
