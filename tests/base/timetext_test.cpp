#include "base/timetext.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace orbisk {
namespace {

// Milliseconds since midnight of a text, or -1 when it is no time.
long long Read(std::string_view text, char separator = '.') {
    TDateTime t = -1;
    return TryStrToTime(text, separator, t) ? TimeMSecs(t) : -1;
}

constexpr long long Ms(int h, int m, int s = 0) { return ((h * 60LL + m) * 60 + s) * 1000; }

TEST(TimeText, ValidTexts) {
    EXPECT_EQ(Read("19.30"), Ms(19, 30));
    EXPECT_EQ(Read(" 9.5"), Ms(9, 5));
    EXPECT_EQ(Read("7"), Ms(7, 0));
    EXPECT_EQ(Read("0007.00"), Ms(7, 0));
    EXPECT_EQ(Read("19.30.59"), Ms(19, 30, 59));
    EXPECT_EQ(Read("00.00"), 0);
    EXPECT_EQ(Read("23.59  "), Ms(23, 59));
    EXPECT_EQ(Read("12.00 PM"), Ms(12, 0));
    EXPECT_EQ(Read("12.00 am"), 0);
    EXPECT_EQ(Read("1.15pm"), Ms(13, 15));
    EXPECT_EQ(Read("11 AM "), Ms(11, 0));
    EXPECT_EQ(Read("19:30", ':'), Ms(19, 30));
    // A blank separator that no number follows is a trailing blank.
    EXPECT_EQ(Read("19 30", ' '), Ms(19, 30));
    EXPECT_EQ(Read("19 ", ' '), Ms(19, 0));
}

TEST(TimeText, InvalidTexts) {
    for (const char* bad : {"", "   ", "24.00", "19.60", "19.30.60", "19.30 x", "13.00 PM", "0.30 AM", "00007",
                            "19.", "19.30.", ".30", "19. 30", "19 .30", "-1.00", "+1.00", "19.30 A", "19.30 PMX",
                            "19.3O", "19:30", "\t19.30", "AM", "19.30.00.00"})
        EXPECT_EQ(Read(bad), -1) << '"' << bad << '"';
    EXPECT_EQ(Read("19.30", ':'), -1);
}

TEST(TimeText, StrToTimeThrowsWithTheText) {
    EXPECT_EQ(TimeMSecs(StrToTime("06.00", '.')), Ms(6, 0));
    try {
        StrToTime("25.00", '.');
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'25.00' is not a valid time");
    }
}

FormatSettings Settings() {
    FormatSettings fs;
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 1; i <= 7; ++i) fs.longDayNames[i] = days[i - 1];
    for (int i = 1; i <= 12; ++i) fs.longMonthNames[i] = months[i - 1];
    return fs;
}

TEST(TimeText, Formatting) {
    FormatSettings fs = Settings();
    const TDateTime moment = EncodeDate(2024, 3, 5) + EncodeTime(19, 7, 9);  // a Tuesday
    EXPECT_EQ(FormatShortDate(moment, fs), "05 mar, Tue");
    EXPECT_EQ(FormatTime(moment, fs), "19.07");
    EXPECT_EQ(FormatTime(EncodeTime(4, 30), fs), "04.30");
    fs.longTimeFormat = "HH:MM";
    fs.timeSeparator = ':';
    EXPECT_EQ(FormatTime(moment, fs), "19:07");
    // ":" is the separator placeholder; "." and other marks are literal.
    fs.timeSeparator = '-';
    EXPECT_EQ(FormatDateTime("hh:nn:ss", moment, fs), "19-07-09");
    EXPECT_EQ(FormatDateTime("h.m d/m/yy", moment, fs), "19.7 5/3/24");
    EXPECT_EQ(FormatDateTime("dddd d mmmm yyyy 'at' hh", moment, fs), "Tue 5 mar 2024 at 19");
    EXPECT_EQ(FormatDateTime("\"dd\" dd", moment, fs), "dd 05");
    EXPECT_EQ(FormatDateTime("mm.dd", moment, fs), "03.05");
    EXPECT_EQ(FormatDateTime("x 'open", moment, fs), "x open");
    // The whole program round trip: formatted times read back.
    fs = Settings();
    TDateTime back = -1;
    ASSERT_TRUE(TryStrToTime(FormatTime(EncodeTime(0, 5), fs), fs.timeSeparator, back));
    EXPECT_EQ(TimeMSecs(back), Ms(0, 5));
}

TEST(TimeText, ListingDayBoundary) {
    const TDateTime day = EncodeDate(2024, 1, 1);
    EXPECT_EQ(ListingDate(day + EncodeTime(4, 29, 59)), day - 1);
    EXPECT_EQ(ListingDate(day + DayStartTime), day);
    EXPECT_EQ(ListingDate(day + EncodeTime(23, 59)), day);
    EXPECT_EQ(ListingDate(day), day - 1);

    EXPECT_TRUE(IsBeforeDayStart(EncodeTime(0, 0)));
    EXPECT_TRUE(IsBeforeDayStart(EncodeTime(4, 29)));
    EXPECT_FALSE(IsBeforeDayStart(EncodeTime(4, 30)));
    EXPECT_FALSE(IsBeforeDayStart(StrToTime("04.30", '.')));
    EXPECT_DOUBLE_EQ(ListingTime(EncodeTime(1, 0)), 1 + EncodeTime(1, 0));
    EXPECT_DOUBLE_EQ(ListingTime(day + EncodeTime(6, 0)), EncodeTime(6, 0));

    EXPECT_LT(CompareListingTimes(EncodeTime(23, 30), EncodeTime(1, 0)), 0);
    EXPECT_GT(CompareListingTimes(EncodeTime(4, 29), EncodeTime(4, 30)), 0);
    EXPECT_LT(CompareListingTimes(EncodeTime(4, 30), EncodeTime(5, 0)), 0);
    EXPECT_EQ(CompareListingTimes(StrToTime("19.30", '.'), day + EncodeTime(19, 30)), 0);

    // The progress strip at 00:20 between 23.30 and 01.00: 1410, 1500, 1460.
    EXPECT_EQ(ListingMinutes(StrToTime("23.30", '.')), 1410);
    EXPECT_EQ(ListingMinutes(StrToTime("01.00", '.')), 1500);
    EXPECT_EQ(ListingMinutes(day + EncodeTime(0, 20, 59)), 1460);
    EXPECT_EQ(ListingMinutes(EncodeTime(4, 30)), 270);
    EXPECT_EQ(MinutesOfDay(EncodeTime(4, 29, 59)), 269);
    EXPECT_EQ(ToListingMinutes(269), 1709);
    EXPECT_EQ(ToListingMinutes(1800), 1800);
}

}  // namespace
}  // namespace orbisk
