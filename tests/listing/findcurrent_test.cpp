// The running programme of a day whose first entry is before 04:30, and the
// guarantee that every other day is answered as the plain steps answer it.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "base/datetime.h"
#include "base/timetext.h"
#include "listing/channellist.h"

namespace orbisk {
namespace {

Channel entries(const std::vector<std::string>& times) {
    Channel c;
    for (const auto& t : times) {
        c.lines.push_back(t + " Programme");
        c.times.push_back(t);
    }
    return c;
}

// The steps as first written: the moment is moved a day on only while it
// is before both 04:30 and the first start.
int plainSteps(const Channel& c, DateTime t) {
    if (c.times.empty()) return -1;
    const std::int64_t day = kMSecsPerDay, b = timeMSecs(dayStartTime);
    auto ms = [&](const std::string& s) { return timeMSecs(strToTime(s, '.')); };
    std::int64_t now = timeMSecs(t), first = ms(c.times.front()), last = ms(c.times.back());
    if (first > last) last += day;
    if (first > now && now < b) now += day;
    if (now < first) return -1;
    if (now > last && now < b) return -1;
    for (std::size_t i = 0; i < c.times.size(); ++i) {
        std::int64_t s = ms(c.times[i]);
        if (s < b) s += day;
        if (s > now) return static_cast<int>(i) - 1;
    }
    return static_cast<int>(c.times.size()) - 1;
}

std::string timeText(int minutes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d", minutes / 60, minutes % 60);
    return buf;
}

TEST(FindCurrent, DayStartingAfterMidnight) {
    const Channel night = entries({"01.00", "02.00"});
    EXPECT_EQ(night.findCurrent(encodeTime(0, 59)), -1);
    EXPECT_EQ(night.findCurrent(encodeTime(1, 0)), 0);
    EXPECT_EQ(night.findCurrent(encodeTime(1, 30)), 0);  // the steps as written gave -1 here
    EXPECT_EQ(night.findCurrent(encodeTime(2, 0)), 1);
    EXPECT_EQ(night.findCurrent(encodeTime(4, 29)), 1);
    EXPECT_EQ(night.findCurrent(encodeTime(4, 30)), -1);
    EXPECT_EQ(night.findCurrent(encodeTime(23, 0)), -1);

    // A first entry at midnight on the dot.
    const Channel midnight = entries({"00.00", "03.00"});
    EXPECT_EQ(midnight.findCurrent(encodeTime(0, 0)), 0);
    EXPECT_EQ(midnight.findCurrent(encodeTime(2, 59)), 0);
    EXPECT_EQ(midnight.findCurrent(encodeTime(3, 10)), 1);
    EXPECT_EQ(midnight.findCurrent(encodeTime(12, 0)), -1);
}

TEST(FindCurrent, SameAnswersWheneverTheDayStartsAtOrAfterTheBoundary) {
    std::mt19937 rng(20240610);
    std::uniform_int_distribution<int> anyMinute(0, 24 * 60 - 1), count(1, 6);
    std::uniform_int_distribution<int> dayMinute(4 * 60 + 30, 24 * 60 - 1);
    for (int round = 0; round < 400; ++round) {
        // Unsorted lists too: the guarantee is for any list whose first
        // entry is at or after 04:30.
        std::vector<std::string> times = {timeText(round == 0 ? 270 : dayMinute(rng))};
        for (int n = count(rng); n > 1; --n) times.push_back(timeText(anyMinute(rng)));
        const Channel c = entries(times);
        for (int m = 0; m < 24 * 60; m += 7) {
            const DateTime t = encodeTime(m / 60, m % 60);
            ASSERT_EQ(c.findCurrent(t), plainSteps(c, t)) << "list starting " << times[0] << " at " << timeText(m);
        }
    }
}

}  // namespace
}  // namespace orbisk
