#include <gtest/gtest.h>

#include "app/viewer/dayview.h"
#include "base/datetime.h"

namespace orbisk {
namespace {

TEST(DayText, OffsetsBoldAndQuotedRanges) {
    const DayText d = BuildDayText({"06.00 \"News\" and 'x\"", "7", "", "08.00 Say \"hi"}, 5);
    EXPECT_EQ(d.Text, "06.00 \"News\" and 'x\"\n7\n\n08.00 Say \"hi");
    EXPECT_EQ(d.LineStarts, (std::vector<int>{0, 21, 23, 24}));
    EXPECT_EQ(d.Line(1), (TextRange{21, 1}));
    EXPECT_EQ(d.Line(4), TextRange{});
    EXPECT_EQ(d.Prefix(1, 5), (TextRange{21, 1}));
    // The empty line has no bold range; the short one only its own length.
    EXPECT_EQ(d.Bold, (std::vector<TextRange>{{0, 5}, {21, 1}, {24, 5}}));
    // "News" and x (a ' closed by a "); the open quote of the last line colours nothing.
    EXPECT_EQ(d.Navy, (std::vector<TextRange>{{7, 4}, {18, 1}}));
    EXPECT_EQ(d.Text.substr(7, 4), "News");
    EXPECT_EQ(d.LineAt(0), 0);
    EXPECT_EQ(d.LineAt(20), 0);  // the break ends line 0
    EXPECT_EQ(d.LineAt(21), 1);
    EXPECT_EQ(d.LineAt(1000), 3);
    EXPECT_EQ(BuildDayText({}, 5).LineAt(0), -1);

    EXPECT_TRUE(QuotedRanges("a ' single quote").empty());
    EXPECT_TRUE(QuotedRanges("\"\" empty pair").empty());
    EXPECT_EQ(QuotedRanges("'a' \"bc\""), (std::vector<TextRange>{{1, 1}, {5, 2}}));
}

TEST(TimeAtLine, ScansUpwardsToAProgrammeLine) {
    const std::vector<std::string> lines = {"header", "06.00 A", "  more text", "99.99 no", "07.30 B", ""};
    EXPECT_EQ(TimeAtLine(lines, 2, 5, '.'), EncodeTime(6, 0));
    EXPECT_EQ(TimeAtLine(lines, 3, 5, '.'), EncodeTime(6, 0));  // 99.99 is no time
    EXPECT_EQ(TimeAtLine(lines, 5, 5, '.'), EncodeTime(7, 30));
    EXPECT_EQ(TimeAtLine(lines, 40, 5, '.'), EncodeTime(7, 30));
    EXPECT_FALSE(TimeAtLine(lines, 0, 5, '.'));
    EXPECT_FALSE(TimeAtLine({}, 0, 5, '.'));
    EXPECT_EQ(TimeAtLine({"19:45 X"}, 0, 5, ':'), EncodeTime(19, 45));
}

}  // namespace
}  // namespace orbisk
