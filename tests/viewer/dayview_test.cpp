#include <gtest/gtest.h>

#include "viewer/dayview.h"
#include "base/datetime.h"

namespace orbisk {
namespace {

TEST(DayText, OffsetsBoldAndQuotedRanges) {
    const DayText d = buildDayText({"06.00 \"News\" and 'x\"", "7", "", "08.00 Say \"hi"}, 5);
    EXPECT_EQ(d.text, "06.00 \"News\" and 'x\"\n7\n\n08.00 Say \"hi");
    EXPECT_EQ(d.lineStarts, (std::vector<int>{0, 21, 23, 24}));
    EXPECT_EQ(d.line(1), (TextRange{21, 1}));
    EXPECT_EQ(d.line(4), TextRange{});
    EXPECT_EQ(d.prefix(1, 5), (TextRange{21, 1}));
    // The empty line has no bold range; the short one only its own length.
    EXPECT_EQ(d.bold, (std::vector<TextRange>{{0, 5}, {21, 1}, {24, 5}}));
    // "News" and x (a ' closed by a "); the open quote of the last line colours nothing.
    EXPECT_EQ(d.navy, (std::vector<TextRange>{{7, 4}, {18, 1}}));
    EXPECT_EQ(d.text.substr(7, 4), "News");
    EXPECT_EQ(d.lineAt(0), 0);
    EXPECT_EQ(d.lineAt(20), 0);  // the break ends line 0
    EXPECT_EQ(d.lineAt(21), 1);
    EXPECT_EQ(d.lineAt(1000), 3);
    EXPECT_EQ(buildDayText({}, 5).lineAt(0), -1);

    EXPECT_TRUE(quotedRanges("a ' single quote").empty());
    EXPECT_TRUE(quotedRanges("\"\" empty pair").empty());
    EXPECT_EQ(quotedRanges("'a' \"bc\""), (std::vector<TextRange>{{1, 1}, {5, 2}}));
}

TEST(TimeAtLine, ScansUpwardsToAProgrammeLine) {
    const std::vector<std::string> lines = {"header", "06.00 A", "  more text", "99.99 no", "07.30 B", ""};
    EXPECT_EQ(timeAtLine(lines, 2, 5, '.'), encodeTime(6, 0));
    EXPECT_EQ(timeAtLine(lines, 3, 5, '.'), encodeTime(6, 0));  // 99.99 is no time
    EXPECT_EQ(timeAtLine(lines, 5, 5, '.'), encodeTime(7, 30));
    EXPECT_EQ(timeAtLine(lines, 40, 5, '.'), encodeTime(7, 30));
    EXPECT_FALSE(timeAtLine(lines, 0, 5, '.'));
    EXPECT_FALSE(timeAtLine({}, 0, 5, '.'));
    EXPECT_EQ(timeAtLine({"19:45 X"}, 0, 5, ':'), encodeTime(19, 45));
}

}  // namespace
}  // namespace orbisk
