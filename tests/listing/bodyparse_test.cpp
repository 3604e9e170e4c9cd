#include "listing/bodyparse.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "listing/channellist.h"

namespace orbisk {
namespace {

// Day names as the captions write them (Windows-1251).
const char* const kMonday = "Понедельник"_cp1251;
const char* const kMondayUpper = "ПОНЕДЕЛЬНИК"_cp1251;
const char* const kThursday = "Четверг"_cp1251;
const char* const kSunday = "Воскресенье"_cp1251;
const char* const kNews = "Новости"_cp1251;

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon icon) override {
        shown.push_back(text);
        captions.push_back(caption);
        icons.push_back(icon);
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    std::vector<std::string> shown, captions;
    std::vector<MsgIcon> icons;
};

DayLayout testLayout() {
    DayLayout l;
    l.days[1] = kSunday;
    l.days[2] = kMonday;
    l.days[3] = "Вторник"_cp1251;
    l.days[4] = "Среда"_cp1251;
    l.days[5] = kThursday;
    l.days[6] = "Пятница"_cp1251;
    l.days[7] = "Суббота"_cp1251;
    return l;
}

// A caption block for a channel on a day.
StringList block(const std::string& dayName, const std::string& channel, StringList programmes) {
    StringList b = {"======", dayName + ". 5 jun. " + channel, "-----------------"};
    b.insert(b.end(), programmes.begin(), programmes.end());
    return b;
}

// A message body as the week index holds it: header lines, blocks, trailer.
StringList message(int part, const std::string& dayName) {
    StringList m = {"h1", "h2", "h3", "h4", "h5"};
    if (part == 1) m = {"preamble"};
    for (auto& l : block(dayName, "CH", {"06.00 Part " + std::to_string(part)})) m.push_back(l);
    m.push_back("--- tearline");
    m.push_back(" * Origin");
    return m;
}

ListingMessage desc(int part, StringList lines) {
    ListingMessage d;
    d.isListing = true;
    d.partNo = part;
    d.partCount = 7;
    d.msgNum = 100 + part;
    d.lines = std::move(lines);
    return d;
}

const char* const kDayNames[7] = {kMonday,
                                  "Вторник"_cp1251,
                                  "Среда"_cp1251,
                                  kThursday,
                                  "Пятница"_cp1251,
                                  "Суббота"_cp1251,
                                  kSunday};

TEST(SplitLines, LineBreaksAsTheListsReadThem) {
    EXPECT_EQ(splitLines(""), StringList{});
    EXPECT_EQ(splitLines("a\r\nb\nc\rd\r\n"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("\r\n\r\nx"), (StringList{"", "", "x"}));
    EXPECT_EQ(splitLines("\n--=m\r\n"), (StringList{"", "--=m"}));
}

TEST(BuildDays, SevenPartsInOrderFillMondayToSunday) {
    const DayLayout layout = testLayout();
    Week week(encodeDate(2024, 6, 5));
    // Read out of order; the parts are sorted first.
    for (int part : {3, 1, 2, 7, 4, 5, 6}) week.messages.push_back(desc(part, message(part, kDayNames[part - 1])));
    RecordingNotifier notifier;
    bool shown = false;
    StructureWarning warning(notifier, true, shown);
    week.buildDays(layout, &warning);
    ASSERT_EQ(week.days.size(), 7u);
    for (int d = 0; d < 7; ++d) {
        // delFromBegin took the five header lines, delFromEnd the trailer.
        EXPECT_EQ(week.days[d], block(kDayNames[d], "CH", {"06.00 Part " + std::to_string(d + 1)})) << d;
    }
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(warning.raisedCount(), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(week.messages[i].partNo, i + 1);
        EXPECT_EQ(week.messages[i].msgNum, 101 + i);
        EXPECT_FALSE(week.messages[i].lines.has_value());
    }
    // A second build changes nothing.
    week.buildDays(layout, &warning);
    EXPECT_EQ(week.days[0], block(kMonday, "CH", {"06.00 Part 1"}));
}

TEST(BuildDays, MissingPartFollowsItsCaptionAndWarnsOncePerRun) {
    const DayLayout layout = testLayout();
    RecordingNotifier notifier;
    bool shown = false;
    for (int run = 0; run < 2; ++run) {
        Week week(encodeDate(2024, 6, 5));
        for (int part : {1, 2, 4, 5}) {
            // Part 4 carries Thursday's listing, part 5 Friday's.
            week.messages.push_back(desc(part, message(part, kDayNames[part - 1])));
        }
        StructureWarning warning(notifier, true, shown);
        week.buildDays(layout, &warning);
        EXPECT_EQ(warning.raisedCount(), 1);
        EXPECT_TRUE(week.days[2].empty());
        EXPECT_EQ(week.days[3], block(kThursday, "CH", {"06.00 Part 4"}));
        EXPECT_EQ(week.days[4], block(kDayNames[4], "CH", {"06.00 Part 5"}));
    }
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.captions[0], "Ошибка рассылки"_cp1251);
    EXPECT_EQ(notifier.icons[0], MsgIcon::Warning);
    EXPECT_EQ(notifier.shown[0].substr(0, 9), "Нарушение"_cp1251);
    EXPECT_TRUE(shown);

    // enableWarning false: silent, and the flag stays clear.
    RecordingNotifier quiet;
    bool quietShown = false;
    StructureWarning off(quiet, false, quietShown);
    Week week(encodeDate(2024, 6, 5));
    week.messages.push_back(desc(2, message(2, kDayNames[1])));
    week.buildDays(layout, &off);
    EXPECT_TRUE(quiet.shown.empty());
    EXPECT_FALSE(quietShown);
    EXPECT_EQ(off.raisedCount(), 1);
}

TEST(BuildDays, OutOfSequenceDayNameIgnoresCase) {
    const DayLayout layout = testLayout();
    Week week(encodeDate(2024, 6, 5));
    // No part 1: the first message, cut to its caption, is placed by it and
    // keeps its first block.
    week.messages.push_back(desc(3, {"junk", "======", std::string(kThursday) + ". x", "---", "06.00 A", "t1", "t2"}));
    week.messages.push_back(
        desc(9, {"lost before caption", "======", std::string(" ") + kMondayUpper + " . x", "---", "07.00 B", "t1", "t2"}));
    week.messages.push_back(desc(20, {"======", "Unknown. x", "---", "08.00 C", "t1", "t2"}));
    week.buildDays(layout, nullptr);
    EXPECT_EQ(week.days[3], (StringList{"======", std::string(kThursday) + ". x", "---", "06.00 A"}));
    EXPECT_EQ(week.days[0], (StringList{"======", std::string(" ") + kMondayUpper + " . x", "---", "07.00 B"}));
    // A caption that names no day leaves the slot where it was.
    EXPECT_EQ(week.days[1], (StringList{"======", "Unknown. x", "---", "08.00 C"}));
}

TEST(BuildDays, LastDayRowSplitsAMessageOverTwoDays) {
    const DayLayout layout = testLayout();
    Week week(encodeDate(2024, 6, 5));
    StringList first = block(kMonday, "A", {"06.00 Mon"});
    first.push_back("--=tobra-attach part 2");
    first.push_back("text after the marker");
    for (auto& l : block(kDayNames[1], "A", {"06.00 Tue"})) first.push_back(l);
    first.push_back("t1");
    first.push_back("t2");
    week.messages.push_back(desc(1, first));
    StringList second = {"h1", "h2", "h3", "h4", "h5"};
    for (auto& l : block(kDayNames[2], "A", {"06.00 Wed"})) second.push_back(l);
    second.push_back("--=tobra-attach");  // no caption after it
    second.push_back("x");
    second.push_back("t1");
    second.push_back("t2");
    week.messages.push_back(desc(2, second));
    week.buildDays(layout, nullptr);
    EXPECT_EQ(week.days[0], block(kMonday, "A", {"06.00 Mon"}));
    EXPECT_EQ(week.days[1], block(kDayNames[1], "A", {"06.00 Tue"}));
    EXPECT_EQ(week.days[2], block(kDayNames[2], "A", {"06.00 Wed"}));
    EXPECT_EQ(week.days[3], (StringList{"", "--=tobra-attach", "x"}));
    EXPECT_TRUE(week.days[4].empty());
}

TEST(BuildDays, SundayMarkerAndTooManyPartsStopTheWeek) {
    const DayLayout layout = testLayout();
    Week week(encodeDate(2024, 6, 5));
    for (int part = 1; part <= 60; ++part) {
        StringList m = message(part, kDayNames[(part - 1) % 7]);
        if (part == 7) m.insert(m.end() - 2, {"--=tobra-attach", "======", "dropped"});
        week.messages.push_back(desc(part, m));
    }
    week.buildDays(layout, nullptr);
    EXPECT_EQ(week.days[6], block(kSunday, "CH", {"06.00 Part 7"}));
    for (const auto& m : week.messages) EXPECT_FALSE(m.lines.has_value());

    // Without the marker, part 8 would go past Sunday: it and the rest are left out.
    Week full(encodeDate(2024, 6, 5));
    for (int part = 1; part <= 60; ++part) full.messages.push_back(desc(part, message(part, kDayNames[(part - 1) % 7])));
    full.buildDays(layout, nullptr);
    EXPECT_EQ(full.days[6], block(kSunday, "CH", {"06.00 Part 7"}));
    EXPECT_EQ(full.messages.back().partNo, 60);
    EXPECT_FALSE(full.messages.back().lines.has_value());
}

TEST(BuildDays, DuplicatePartAndTrimmingEdges) {
    DayLayout layout = testLayout();
    Week week(encodeDate(2024, 6, 5));
    week.messages.push_back(desc(1, message(1, kMonday)));
    week.messages.push_back(desc(1, message(1, kMonday)));  // posted twice
    week.messages.push_back(desc(2, {"h1"}));                 // shorter than delFromBegin
    RecordingNotifier notifier;
    bool shown = false;
    StructureWarning warning(notifier, true, shown);
    week.buildDays(layout, &warning);
    EXPECT_EQ(warning.raisedCount(), 1);  // the second part 1
    // The repeat names Monday again, so it joins Monday's text.
    StringList monday = block(kMonday, "CH", {"06.00 Part 1"});
    StringList twice = monday;
    twice.insert(twice.end(), monday.begin(), monday.end());
    EXPECT_EQ(week.days[0], twice);
    EXPECT_TRUE(week.days[1].empty());

    // Negative settings delete nothing; no caption at all empties the first message.
    layout.delFromBegin = -3;
    layout.delFromEnd = -1;
    Week odd(encodeDate(2024, 6, 5));
    odd.messages.push_back(desc(1, {"no", "caption"}));
    odd.messages.push_back(desc(2, {"kept", "lines"}));
    odd.buildDays(layout, nullptr);
    EXPECT_TRUE(odd.days[0].empty());
    EXPECT_EQ(odd.days[1], (StringList{"kept", "lines"}));

    Week none(encodeDate(2024, 6, 5));
    none.buildDays(layout, nullptr);
    EXPECT_EQ(none.days.size(), 7u);
}

TEST(BuildDays, TextFileWeeksAreNotTrimmed) {
    const DayLayout layout = testLayout();
    RecordingNotifier notifier;
    bool shown = false;
    StructureWarning warning(notifier, true, shown);
    Week week(encodeDate(2024, 6, 5));
    week.addFileDay(3, block(kDayNames[2], "A", {"06.00 Wed", "a", "b", "c", "d", "e"}));
    week.addFileDay(1, block(kMonday, "A", {"06.00 Mon", "tail1", "tail2"}));
    EXPECT_TRUE(week.fromFiles);
    week.buildDays(layout, &warning);
    EXPECT_EQ(week.days[0], block(kMonday, "A", {"06.00 Mon", "tail1", "tail2"}));
    EXPECT_EQ(week.days[2], block(kDayNames[2], "A", {"06.00 Wed", "a", "b", "c", "d", "e"}));
    EXPECT_EQ(notifier.shown.size(), 1u);  // file 2 is missing
}

TEST(NormalizeTime, RepairsAndTerminates) {
    EXPECT_EQ(normalizeTime("1930"), "19.30");
    EXPECT_EQ(normalizeTime("19"), "19.00");
    EXPECT_EQ(normalizeTime("9.30"), "09.30");
    EXPECT_EQ(normalizeTime(".30"), "00.30");
    EXPECT_EQ(normalizeTime("9 30"), "93.00");  // blanks go first: "930"
    EXPECT_EQ(normalizeTime("19..30"), "19.30");
    EXPECT_EQ(normalizeTime("9...3"), "09..3");  // no rescan of replaced text
    EXPECT_EQ(normalizeTime("9."), "09.00");
    // No point to place: the blank-free prefix comes back.
    EXPECT_EQ(normalizeTime("H"), "H");
    EXPECT_EQ(normalizeTime("193000"), "193000");
    EXPECT_EQ(normalizeTime("1 9 3 0 0 "), "19300");
    EXPECT_EQ(normalizeTime(""), "");
    EXPECT_EQ(normalizeTime("   "), "");
}

TEST(ParseDay, CaptionBlocksMakeChannels) {
    ChannelList channels(nullptr, "HH.MM", '.');
    StringList day = {"ignored before the first caption",
                      "======", std::string(kMonday) + ". 5 jun. First Channel  ", "-----",
                      "06.00 A", "07.00 B",
                      "======", "Short caption", "-----",
                      "======",  // right after the closing row: an entry
                      "08.00 C",
                      "======", "Mon. 5 jun. X"};  // block that ends the text
    parseDayText(channels, day, false, "======");
    ASSERT_EQ(channels.count(), 2);
    EXPECT_EQ(channels.items(0).name, "First Channel  ");
    EXPECT_EQ(channels.items(0).lines, (StringList{"06.00 A", "07.00 B"}));
    EXPECT_EQ(channels.items(1).name, "Short caption");
    // "======" has no time: joined with nothing before it, it is deleted.
    EXPECT_EQ(channels.items(1).lines, (StringList{"08.00 C"}));
    EXPECT_EQ(channels.items(1).times, (StringList{"08.00"}));

    ChannelList endsAtRow(nullptr, "HH.MM", '.');
    parseDayText(endsAtRow, {"======", "Mon. 5 jun. Y", "-----"}, false, "======");
    // No line after the closing row: the channel stays without entries.
    ASSERT_EQ(endsAtRow.count(), 1);
    EXPECT_EQ(endsAtRow.items(0).entryCount(), 0);

    ChannelList noCaptions(nullptr, "HH.MM", '.');
    parseDayText(noCaptions, {"06.00 A", "", "07.00 B"}, true, "======");
    EXPECT_EQ(noCaptions.count(), 0);

    ChannelList empty(nullptr, "HH.MM", '.');
    parseDayText(empty, StringList{}, false, "======");
    EXPECT_EQ(empty.count(), 0);
}

TEST(ParseDay, MessageWeekJoinsContinuationLines) {
    ChannelList channels(nullptr, "HH.MM", '.');
    parseDayText(channels,
                 block(kMonday, "CH",
                       {"continuation of nothing", "19.30 Film", "continuation", "more", "21.00 News", "9.30 x"}),
                 false, "======");
    ASSERT_EQ(channels.count(), 1);
    const Channel& c = channels.items(0);
    EXPECT_EQ(c.lines, (StringList{"19.30 Film continuation more", "21.00 News", "9.30 x"}));
    EXPECT_EQ(c.times, (StringList{"19.30", "21.00", "9.30 "}));
}

TEST(ParseDay, TextFileWeekRepairsStartTimes) {
    ChannelList channels(nullptr, "HH.MM", '.');
    const std::string news = kNews;
    parseDayText(channels,
                 block(kMonday, "CH",
                       {"9.30" + news, "1930 " + news, "9.30 " + news, "  \t ", "\t06.00 Trimmed \r",
                        "19 " + news, news, "12345 x", "7.15", "\t7.15", "20.00", "  "}),
                 true, "======");
    ASSERT_EQ(channels.count(), 1);
    const Channel& c = channels.items(0);
    EXPECT_EQ(c.lines, (StringList{"09.30 " + news, "19.30 " + news, "9.30 " + news, "06.00 Trimmed",
                                   "19.00 " + news, news, "12345 x", "7.15", "7.15", "20.00"}));
    // A short line's time comes from the trimmed line, as a longer one's does.
    EXPECT_EQ(c.times, (StringList{"09.30", "19.30", "9.30 ", "06.00", "19.00", news.substr(0, 5), "12345",
                                   "7.15", "7.15", "20.00"}));
}

}  // namespace
}  // namespace orbisk
