#include "base/timetext.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace orbisk {
namespace {

// Milliseconds since midnight of a text, or -1 when it is no time.
long long readTime(std::string_view text, char separator = '.') {
    DateTime t = -1;
    return tryStrToTime(text, separator, t) ? timeMSecs(t) : -1;
}

constexpr long long ms(int h, int m, int s = 0) { return ((h * 60LL + m) * 60 + s) * 1000; }

TEST(TimeText, ValidTexts) {
    EXPECT_EQ(readTime("19.30"), ms(19, 30));
    EXPECT_EQ(readTime(" 9.5"), ms(9, 5));
    EXPECT_EQ(readTime("7"), ms(7, 0));
    EXPECT_EQ(readTime("0007.00"), ms(7, 0));
    EXPECT_EQ(readTime("19.30.59"), ms(19, 30, 59));
    EXPECT_EQ(readTime("00.00"), 0);
    EXPECT_EQ(readTime("23.59  "), ms(23, 59));
    EXPECT_EQ(readTime("12.00 PM"), ms(12, 0));
    EXPECT_EQ(readTime("12.00 am"), 0);
    EXPECT_EQ(readTime("1.15pm"), ms(13, 15));
    EXPECT_EQ(readTime("11 AM "), ms(11, 0));
    EXPECT_EQ(readTime("19:30", ':'), ms(19, 30));
    // A blank separator that no number follows is a trailing blank.
    EXPECT_EQ(readTime("19 30", ' '), ms(19, 30));
    EXPECT_EQ(readTime("19 ", ' '), ms(19, 0));
}

TEST(TimeText, InvalidTexts) {
    for (const char* bad : {"", "   ", "24.00", "19.60", "19.30.60", "19.30 x", "13.00 PM", "0.30 AM", "00007",
                            "19.", "19.30.", ".30", "19. 30", "19 .30", "-1.00", "+1.00", "19.30 A", "19.30 PMX",
                            "19.3O", "19:30", "\t19.30", "AM", "19.30.00.00"})
        EXPECT_EQ(readTime(bad), -1) << '"' << bad << '"';
    EXPECT_EQ(readTime("19.30", ':'), -1);
}

TEST(TimeText, StrToTimeThrowsWithTheText) {
    EXPECT_EQ(timeMSecs(strToTime("06.00", '.')), ms(6, 0));
    try {
        strToTime("25.00", '.');
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'25.00' is not a valid time");
    }
}

FormatSettings settings() {
    FormatSettings fs;
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 1; i <= 7; ++i) fs.longDayNames[i] = days[i - 1];
    for (int i = 1; i <= 12; ++i) fs.longMonthNames[i] = months[i - 1];
    return fs;
}

TEST(TimeText, Formatting) {
    FormatSettings fs = settings();
    const DateTime moment = encodeDate(2024, 3, 5) + encodeTime(19, 7, 9);  // a Tuesday
    EXPECT_EQ(formatShortDate(moment, fs), "05 mar, Tue");
    EXPECT_EQ(formatTime(moment, fs), "19.07");
    EXPECT_EQ(formatTime(encodeTime(4, 30), fs), "04.30");
    fs.longTimeFormat = "HH:MM";
    fs.timeSeparator = ':';
    EXPECT_EQ(formatTime(moment, fs), "19:07");
    // ":" is the separator placeholder; "." and other marks are literal.
    fs.timeSeparator = '-';
    EXPECT_EQ(formatDateTime("hh:nn:ss", moment, fs), "19-07-09");
    EXPECT_EQ(formatDateTime("h.m d/m/yy", moment, fs), "19.7 5/3/24");
    EXPECT_EQ(formatDateTime("dddd d mmmm yyyy 'at' hh", moment, fs), "Tue 5 mar 2024 at 19");
    EXPECT_EQ(formatDateTime("\"dd\" dd", moment, fs), "dd 05");
    EXPECT_EQ(formatDateTime("mm.dd", moment, fs), "03.05");
    EXPECT_EQ(formatDateTime("x 'open", moment, fs), "x open");
    // The whole program round trip: formatted times read back.
    fs = settings();
    DateTime back = -1;
    ASSERT_TRUE(tryStrToTime(formatTime(encodeTime(0, 5), fs), fs.timeSeparator, back));
    EXPECT_EQ(timeMSecs(back), ms(0, 5));
}

TEST(TimeText, ListingDayBoundary) {
    const DateTime day = encodeDate(2024, 1, 1);
    EXPECT_EQ(listingDate(day + encodeTime(4, 29, 59)), day - 1);
    EXPECT_EQ(listingDate(day + dayStartTime), day);
    EXPECT_EQ(listingDate(day + encodeTime(23, 59)), day);
    EXPECT_EQ(listingDate(day), day - 1);

    EXPECT_TRUE(isBeforeDayStart(encodeTime(0, 0)));
    EXPECT_TRUE(isBeforeDayStart(encodeTime(4, 29)));
    EXPECT_FALSE(isBeforeDayStart(encodeTime(4, 30)));
    EXPECT_FALSE(isBeforeDayStart(strToTime("04.30", '.')));
    EXPECT_DOUBLE_EQ(listingTime(encodeTime(1, 0)), 1 + encodeTime(1, 0));
    EXPECT_DOUBLE_EQ(listingTime(day + encodeTime(6, 0)), encodeTime(6, 0));

    EXPECT_LT(compareListingTimes(encodeTime(23, 30), encodeTime(1, 0)), 0);
    EXPECT_GT(compareListingTimes(encodeTime(4, 29), encodeTime(4, 30)), 0);
    EXPECT_LT(compareListingTimes(encodeTime(4, 30), encodeTime(5, 0)), 0);
    EXPECT_EQ(compareListingTimes(strToTime("19.30", '.'), day + encodeTime(19, 30)), 0);

    // The progress strip at 00:20 between 23.30 and 01.00: 1410, 1500, 1460.
    EXPECT_EQ(listingMinutes(strToTime("23.30", '.')), 1410);
    EXPECT_EQ(listingMinutes(strToTime("01.00", '.')), 1500);
    EXPECT_EQ(listingMinutes(day + encodeTime(0, 20, 59)), 1460);
    EXPECT_EQ(listingMinutes(encodeTime(4, 30)), 270);
    EXPECT_EQ(minutesOfDay(encodeTime(4, 29, 59)), 269);
    EXPECT_EQ(toListingMinutes(269), 1709);
    EXPECT_EQ(toListingMinutes(1800), 1800);
}

}  // namespace
}  // namespace orbisk
