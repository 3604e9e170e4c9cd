#include "base/datetime.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace orbisk {
namespace {

TEST(DateTime, EpochAndKnownDays) {
    EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(encodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(encodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(encodeDate(1899, 12, 29), -1.0);
    int y, m, d;
    for (std::int64_t day : {-700000, -1, 0, 59, 60, 36526, 46000, 2900000}) {
        civilFromDays(day, y, m, d);
        EXPECT_EQ(daysFromCivil(y, m, d), day);
    }
    decodeDate(encodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
}

TEST(DateTime, InvalidDatesAreRejected) {
    DateTime t;
    EXPECT_FALSE(tryEncodeDate(2023, 2, 29, t));
    EXPECT_FALSE(tryEncodeDate(2024, 13, 1, t));
    EXPECT_FALSE(tryEncodeDate(2024, 4, 31, t));
    EXPECT_FALSE(tryEncodeDate(0, 1, 1, t));
    EXPECT_FALSE(tryEncodeDate(2024, 1, 0, t));
    EXPECT_THROW(encodeDate(1900, 2, 29), Error);
    try {
        encodeDate(2025, 6, 31);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
}

TEST(DateTime, TimeOfDayAndWeekday) {
    DateTime t = encodeDate(2026, 12, 7) + encodeTime(4, 30);
    int h, m, s, ms;
    decodeTime(t, h, m, s, ms);
    EXPECT_EQ(h * 100 + m, 430);
    EXPECT_EQ(dateOf(t), encodeDate(2026, 12, 7));
    EXPECT_EQ(dayOfWeek(encodeDate(2026, 12, 7)), 2);  // Monday
    EXPECT_EQ(dayOfWeek(encodeDate(2026, 12, 13)), 1);  // Sunday
    EXPECT_EQ(dayOfWeek(0), 7);
    EXPECT_EQ(timeMSecs(encodeTime(23, 59, 59, 999)), kMSecsPerDay - 1);
    DateTime bad;
    EXPECT_FALSE(tryEncodeTime(24, 0, 0, 0, bad));
}

}  // namespace
}  // namespace orbisk
