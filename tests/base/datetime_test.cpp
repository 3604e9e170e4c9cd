#include "base/datetime.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace orbisk {
namespace {

TEST(DateTime, EpochAndKnownDays) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    int y, m, d;
    for (std::int64_t day : {-700000, -1, 0, 59, 60, 36526, 46000, 2900000}) {
        CivilFromDays(day, y, m, d);
        EXPECT_EQ(DaysFromCivil(y, m, d), day);
    }
    DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
}

TEST(DateTime, InvalidDatesAreRejected) {
    TDateTime t;
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, t));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, t));
    EXPECT_FALSE(TryEncodeDate(2024, 4, 31, t));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, t));
    EXPECT_FALSE(TryEncodeDate(2024, 1, 0, t));
    EXPECT_THROW(EncodeDate(1900, 2, 29), Error);
    try {
        EncodeDate(2025, 6, 31);
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
}

TEST(DateTime, TimeOfDayAndWeekday) {
    TDateTime t = EncodeDate(2026, 12, 7) + EncodeTime(4, 30);
    int h, m, s, ms;
    DecodeTime(t, h, m, s, ms);
    EXPECT_EQ(h * 100 + m, 430);
    EXPECT_EQ(DateOf(t), EncodeDate(2026, 12, 7));
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 7)), 2);  // Monday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 13)), 1);  // Sunday
    EXPECT_EQ(DayOfWeek(0), 7);
    EXPECT_EQ(TimeMSecs(EncodeTime(23, 59, 59, 999)), kMSecsPerDay - 1);
    TDateTime bad;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, bad));
}

}  // namespace
}  // namespace orbisk
