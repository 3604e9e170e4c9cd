#include "export/printtext.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "export_fixture.h"

namespace orbisk {
namespace {

using test::WeekFixture;

std::string broken(const std::string& line) {
    std::string out;
    appendProgrammeLine(out, line);
    return out;
}

TEST(PrintLines, BreakAtTheLastBlankOrHard) {
    const std::string x80(80, 'x');
    EXPECT_EQ(broken(x80), x80 + "\r\n");
    EXPECT_EQ(broken(x80 + "y"), x80 + "\r\n        y\r\n");

    // A blank at position 75 and none after it.
    const std::string blank75 = std::string(74, 'a') + " " + std::string(25, 'b');
    EXPECT_EQ(broken(blank75), std::string(74, 'a') + " \r\n        " + std::string(25, 'b') + "\r\n");

    const std::string x100(100, 'x');
    EXPECT_EQ(broken(x100), std::string(80, 'x') + "\r\n        " + std::string(20, 'x') + "\r\n");

    // Later pieces are 72 wide: 80 + 72 + rest, each broken at its last blank.
    std::string words;
    while (words.size() < 250) words += "word" + std::to_string(words.size() % 7) + " ";
    const std::string out = broken(words);
    std::string joined;
    std::size_t pos = 0, lines = 0;
    while (pos < out.size()) {
        const std::size_t end = out.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = out.substr(pos, end - pos);
        EXPECT_LE(line.size(), 80u) << line;
        if (lines > 0) {
            ASSERT_EQ(line.compare(0, 8, "        "), 0) << line;
            line.erase(0, 8);
        }
        if (end + 2 < out.size()) {
            EXPECT_EQ(line.back(), ' ') << "broken inside a word: " << line;
        }
        joined += line;
        ++lines;
        pos = end + 2;
    }
    EXPECT_EQ(joined, words);
    EXPECT_GE(lines, 4u);
}

TEST(PrintLines, HeadersAreCentredInEightyColumns) {
    EXPECT_EQ(centerLine("abcd"), std::string(38, ' ') + "abcd" + std::string(38, ' '));
    // Odd length: 40 - 5 / 2 = 38 in front, 37 behind.
    EXPECT_EQ(centerLine("abcde"), std::string(38, ' ') + "abcde" + std::string(37, ' '));
    EXPECT_EQ(centerLine(std::string(80, 'h')), std::string(80, 'h'));
    EXPECT_EQ(centerLine(std::string(95, 'h')), std::string(95, 'h'));
}

constexpr const char* kFirst = "Первый канал"_cp1251;
constexpr const char* kCulture = "Культура"_cp1251;

std::map<int, test::DayBlocks> fullWeek() {
    std::map<int, test::DayBlocks> days;
    for (int slot = 0; slot < 7; ++slot)
        days[slot] = {{kFirst, "06.00 Day " + std::to_string(slot), "21.00 " + std::string(kCulture)},
                      {"Hidden", "07.00 Never printed"},
                      {"Two", "08.00 " + std::string(90, 'z')}};
    return days;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(PrintText, FromTheDayShownToSundayInCodePage866) {
    WeekFixture week(fullWeek(), "[Channels]\r\n1=Hidden\r\n[Channel1]\r\nHide=1\r\n");
    Viewer& viewer = week.viewer;
    const std::string hyphens = std::string(80, '-') + "\r\n";

    ASSERT_TRUE(viewer.showDay(week.day(0)) || viewer.shownDate() == week.day(0));
    const std::string monday = buildPrintText(viewer);
    EXPECT_EQ(count(monday, hyphens), 7u);
    EXPECT_EQ(count(monday, "Never printed"), 0u);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(count(monday, "06.00 Day " + std::to_string(d) + "\r\n"), 1u) << d;

    viewer.showDay(week.day(6));
    const std::string sunday = buildPrintText(viewer);
    // In code page 866, centred.
    const std::string header = ansiToOem("13 декабря, Воскресенье. Первый канал"_cp1251);
    ASSERT_EQ(header.size(), 37u);
    const std::string expected = std::string(22, ' ') + header + std::string(21, ' ') + "\r\n" +
                                 "06.00 Day 6\r\n" +
                                 ansiToOem("21.00 Культура\r\n"_cp1251) +
                                 "\r\n\r\n" +
                                 std::string(26, ' ') + ansiToOem("13 декабря, Воскресенье. Two"_cp1251) +
                                 std::string(26, ' ') + "\r\n" +
                                 // The only blank within the first 80 columns ends the first piece.
                                 "08.00 \r\n" + "        " + std::string(72, 'z') + "\r\n" + "        " +
                                 std::string(18, 'z') + "\r\n" + "\r\n\r\n" + hyphens;
    EXPECT_EQ(sunday, expected);
}

TEST(PrintText, DaysWithoutTextAreLeftOutAndTheShownListComesBack) {
    // Monday and Thursday only; the shown Tuesday has no text.
    WeekFixture week({{0, {{"One", "06.00 Monday"}}}, {3, {{"One", "06.00 Thursday"}, {"Two", "09.00 Other"}}}});
    Viewer& viewer = week.viewer;
    viewer.showDay(week.day(0));
    viewer.channels().select(0);
    viewer.showDay(week.day(1));
    const ChannelList* before = &viewer.channels();
    ASSERT_EQ(before->count(), 1);  // still Monday's list

    const std::string text = buildPrintText(viewer);
    EXPECT_EQ(count(text, std::string(80, '-')), 1u);
    EXPECT_EQ(count(text, "06.00 Thursday"), 1u);
    EXPECT_EQ(count(text, "Monday"), 0u);
    EXPECT_EQ(&viewer.channels(), before);
    EXPECT_EQ(viewer.channels().current(), &viewer.channels().items(0));
    EXPECT_EQ(viewer.shownDate(), week.day(1));

    // Wednesday shown with Thursday's list selected on its second channel:
    // the same object and selection after the build.
    viewer.showDay(week.day(3));
    viewer.channels().select(1);
    const ChannelList* thursday = &viewer.channels();
    buildPrintText(viewer);
    EXPECT_EQ(&viewer.channels(), thursday);
    EXPECT_EQ(viewer.channels().current(), &viewer.channels().items(1));
}

}  // namespace
}  // namespace orbisk
