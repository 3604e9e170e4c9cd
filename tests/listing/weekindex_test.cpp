#include "listing/weekindex.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "msgbase/messagearea.h"

namespace orbisk {
namespace {

// One message of an area: its text lines are handed out one by one.
class FakeArea : public MessageArea {
public:
    FakeArea(MsgNumber number, std::string subject, StringList lines)
        : number_(number), subject_(std::move(subject)), lines_(std::move(lines)) {}
    std::string readTextLineNoKludge(std::uint16_t maxLen) override {
        if (pos_ >= lines_.size()) return "";
        return lines_[pos_++].substr(0, maxLen);
    }
    bool atTextEnd() override { return pos_ >= lines_.size(); }
    std::string getSubject() override { return subject_; }
    MsgNumber getMessageNumber() override { return number_; }
    std::size_t position() const { return pos_; }

private:
    MsgNumber number_;
    std::string subject_;
    StringList lines_;
    std::size_t pos_ = 0;
};

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    std::vector<std::string> shown;
};

const FixedClock kJune2024(encodeDate(2024, 6, 10));

StringList body(const std::string& datingDay, StringList rest) {
    StringList body = {"header", "Subject: =?koi8-r?B?0JvQuNGB0YI=?= " + datingDay + ".06.2024"};
    body.insert(body.end(), rest.begin(), rest.end());
    return body;
}

TEST(Weeks, WeekStartsOnTheMondayOnOrBefore) {
    const Week fromSunday(encodeDate(2024, 6, 9));
    EXPECT_EQ(fromSunday.startDate, encodeDate(2024, 6, 3));
    EXPECT_EQ(fromSunday.endDate, encodeDate(2024, 6, 9));
    EXPECT_EQ(Week(encodeDate(2024, 6, 3)).startDate, encodeDate(2024, 6, 3));
    EXPECT_EQ(Week(encodeDate(2024, 6, 8)).startDate, encodeDate(2024, 6, 3));
    EXPECT_EQ(Week(0).startDate, -5);  // the zero date is a Saturday

    Week week(encodeDate(2024, 6, 5));
    EXPECT_EQ(week.getDay(encodeDate(2024, 6, 5)), nullptr);  // days not built yet
    EXPECT_FALSE(week.dayHasText(encodeDate(2024, 6, 5)));
    week.buildDays(DayLayout{}, nullptr);
    week.days[6] = StringList{"sunday"};
    EXPECT_EQ(week.getDay(encodeDate(2024, 6, 9)), &week.days[6]);
    EXPECT_EQ(week.getDay(encodeDate(2024, 6, 3)), &week.days[0]);
    EXPECT_EQ(week.getDay(encodeDate(2024, 6, 10)), nullptr);
    EXPECT_EQ(week.getDay(encodeDate(2024, 6, 2)), nullptr);
    EXPECT_TRUE(week.dayHasText(encodeDate(2024, 6, 9)));
    EXPECT_FALSE(week.dayHasText(encodeDate(2024, 6, 8)));
}

TEST(Weeks, MessagesAreFiledUnderTheirWeeks) {
    WeekIndex weeks;
    FakeArea tuesday(10, "Listing [2/7]", body("04", {"line a", "line b"}));
    FakeArea nextWeek(11, "Listing [1/7]", body("12", {"x"}));
    FakeArea thursday(12, "Listing [2/7]", body("06", {"line c"}));
    FakeArea undated(13, "Listing [3/7]", {"no", "dating", "line"});
    EXPECT_TRUE(weeks.addMessage(tuesday, {}, kJune2024));
    EXPECT_TRUE(weeks.addMessage(nextWeek, {}, kJune2024));
    EXPECT_TRUE(weeks.addMessage(thursday, {}, kJune2024));
    EXPECT_FALSE(weeks.addMessage(undated, {}, kJune2024));
    EXPECT_TRUE(undated.atTextEnd());

    ASSERT_EQ(weeks.items.size(), 2u);
    const Week& first = *weeks.items[0];
    EXPECT_EQ(first.startDate, encodeDate(2024, 6, 3));
    EXPECT_EQ(weeks.items[1]->startDate, encodeDate(2024, 6, 10));
    ASSERT_EQ(first.messages.size(), 2u);
    EXPECT_EQ(first.messages[0].msgNum, 10);
    EXPECT_EQ(first.messages[1].msgNum, 12);
    EXPECT_EQ(first.messages[0].partNo, 2);
    EXPECT_EQ(first.messages[1].partNo, 2);  // posted twice: both kept
    EXPECT_EQ(first.messages[0].partCount, 7);
    EXPECT_EQ(*first.messages[0].lines, (StringList{"line a", "line b"}));
    EXPECT_EQ(weeks.findWeek(encodeDate(2024, 6, 9)), weeks.items[0].get());
    EXPECT_EQ(weeks.findWeek(encodeDate(2024, 6, 17)), nullptr);
    EXPECT_FALSE(weeks.dayHasText(encodeDate(2024, 6, 17)));
    EXPECT_EQ(weeks.getDay(encodeDate(2024, 6, 17)), nullptr);

    weeks.buildAll(DayLayout{}, nullptr);
    for (const auto& week : weeks.items) {
        EXPECT_EQ(week->days.size(), 7u);
        for (const auto& m : week->messages) {
            EXPECT_FALSE(m.lines.has_value());
            EXPECT_NE(m.msgNum, 0);
        }
    }
    EXPECT_EQ(weeks.items[0]->messages[1].partNo, 2);
    weeks.clear();
    EXPECT_TRUE(weeks.items.empty());
}

TEST(Weeks, UndatableListingIsLeftOut) {
    WeekIndex weeks;
    for (const char* line : {"=?koi8-r? 31.02", "=?koi8-r? xx.06", "=?koi8-r? 0x.06"}) {
        FakeArea area(1, "L [1/2]", {line, "body"});
        EXPECT_FALSE(weeks.addMessage(area, {}, kJune2024)) << line;
    }
    EXPECT_TRUE(weeks.items.empty());
    EXPECT_FALSE(ListingMessage::create(5, "L ]/2]").isListing);
}

TEST(Weeks, KludgeLinesAreSkippedWithExactCase) {
    const StringList kludges = {"SEEN-BY", "PATH:", ""};
    EXPECT_TRUE(isKludgeLine("SEEN-BY: 5020/1", kludges));
    EXPECT_TRUE(isKludgeLine("PATH: 5020/1", kludges));
    EXPECT_FALSE(isKludgeLine("seen-by: 5020/1", kludges));
    EXPECT_FALSE(isKludgeLine("plain", kludges));  // the empty prefix matches nothing
    EXPECT_FALSE(isKludgeLine("", {""}));

    FakeArea area(7, "L [1/1]", {"SEEN-BY: 1", "PATH: 2", "text", "SEEN-BY: 3", "", "PATH: 4", "seen-by: 5", "PATH: last"});
    EXPECT_EQ(readBodyLine(area, 255, kludges), "text");
    EXPECT_EQ(readBodyLine(area, 255, kludges), "");  // an empty line stops the skipping
    EXPECT_EQ(readBodyLine(area, 255, kludges), "seen-by: 5");
    EXPECT_EQ(readBodyLine(area, 255, kludges), "PATH: last");  // the text's last line
    EXPECT_TRUE(area.atTextEnd());

    FakeArea longLine(8, "L [1/1]", {std::string(5000, 'x')});
    EXPECT_EQ(readBodyLine(longLine, 255, {}).size(), 255u);

    // Kludges before the dating line and in the body.
    WeekIndex weeks;
    FakeArea message(9, "L [1/1]", {"PATH: =?koi8-r? 99.99", "=?koi8-r? 05.06", "PATH: x", "kept"});
    ASSERT_TRUE(weeks.addMessage(message, kludges, kJune2024));
    EXPECT_EQ(*weeks.items[0]->messages[0].lines, StringList{"kept"});
}

TEST(Weeks, DescriptorsOfMessagesAndFiles) {
    const ListingMessage listing = ListingMessage::create(42, "TV [2/7]");
    EXPECT_TRUE(listing.isListing);
    EXPECT_EQ(listing.partNo, 2);
    EXPECT_EQ(listing.partCount, 7);
    EXPECT_EQ(listing.msgNum, 42);
    EXPECT_FALSE(listing.lines.has_value());
    const ListingMessage other = ListingMessage::create(43, "ТВ. [2/7]"_cp1251);
    EXPECT_FALSE(other.isListing);
    EXPECT_EQ(other.partNo, 0);
    EXPECT_EQ(other.partCount, 0);
    const ListingMessage file = ListingMessage::createForFile(3);
    EXPECT_TRUE(file.isListing);
    EXPECT_EQ(file.partNo, 3);
    EXPECT_EQ(file.partCount, 7);
    EXPECT_EQ(file.msgNum, 3);
}

TEST(Weeks, TextFilesFormOneWeek) {
    MonthNames months;
    for (int i = 1; i <= 12; ++i) months[i] = "m" + std::to_string(i);
    RecordingNotifier notifier;
    WeekIndex weeks;
    for (int n = 1; n <= 7; ++n) {
        const StringList lines = {"======", "Day. " + std::to_string(2 + n) + " m6 CH", "----", "06.00 A"};
        weeks.addFileDay(n, lines, months, notifier, kJune2024);
    }
    // A file with no date in its second line, and one without a second line.
    weeks.addFileDay(1, {"======", "Day. 3 June CH"}, months, notifier, kJune2024);
    weeks.addFileDay(2, {"======"}, months, notifier, kJune2024);
    ASSERT_EQ(weeks.items.size(), 2u);
    const Week& week = *weeks.items[0];
    EXPECT_TRUE(week.fromFiles);
    EXPECT_EQ(week.startDate, encodeDate(2024, 6, 3));
    ASSERT_EQ(week.messages.size(), 7u);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(week.messages[n - 1].partNo, n);
        EXPECT_EQ(week.messages[n - 1].msgNum, n);
    }
    EXPECT_TRUE(weeks.items[1]->contains(0));
    EXPECT_EQ(weeks.items[1]->messages.size(), 2u);
    EXPECT_EQ(notifier.shown.size(), 2u);

    weeks.buildAll(DayLayout{}, nullptr);
    EXPECT_EQ(*weeks.getDay(encodeDate(2024, 6, 9)), (StringList{"======", "Day. 9 m6 CH", "----", "06.00 A"}));
    EXPECT_TRUE(weeks.dayHasText(encodeDate(2024, 6, 3)));
}

// A message's lines are kept as one text, each line followed by CR LF, and
// the days are cut from runs of it.
TEST(Weeks, BodyLinesCutRunsOfTheJoinedText) {
    struct Case {
        StringList lines;
        std::size_t from, to;
        std::string run;
    };
    const Case cases[] = {
        {{}, 0, 0, ""},
        {{""}, 0, 1, "\r\n"},
        {{"a", "", "b c"}, 0, 3, "a\r\n\r\nb c\r\n"},
        {{"a", "", "b c"}, 1, 3, "\r\nb c\r\n"},
        {{"a", "", "b c"}, 2, 2, ""},
        {{"a", "", "b c"}, 3, 1, ""},
    };
    for (const auto& c : cases) {
        const BodyLines body(c.lines);
        EXPECT_EQ(body.size(), c.lines.size());
        EXPECT_EQ(body, c.lines);
        EXPECT_EQ(body.toList(), c.lines);
        EXPECT_EQ(body.joined(c.from, c.to), c.run);
    }
    BodyLines grown;
    for (const char* line : {"x", "", "yz"}) grown.push_back(line);
    EXPECT_EQ(grown, (StringList{"x", "", "yz"}));
    EXPECT_FALSE(grown == (StringList{"x", "", "y"}));
}

// A day holds pieces of its messages' texts: they stay readable after the
// messages are gone, each piece splits on its own, and a message that grows
// after sharing its text does not change what the day shows.
TEST(Weeks, DayLinesKeepPiecesOfSharedTexts) {
    DayLines day;
    {
        BodyLines body(StringList{"a", "b"});  // short enough to sit inside the string object
        const auto text = body.share();
        day.append(text, body.joined(0, 2));
        day.append(text, body.joined(1, 1));  // empty: no line
        body.push_back("c");
        EXPECT_EQ(body, (StringList{"a", "b", "c"}));
        EXPECT_EQ(*text, "a\r\nb\r\n");
    }
    day.append(std::string("x\ny\rz\r\n\r\n"));
    const StringList expected{"a", "b", "x", "y", "z", ""};
    EXPECT_EQ(day, expected);
    EXPECT_EQ(day.size(), expected.size());
    EXPECT_EQ(day.toList(), expected);
    EXPECT_EQ(DayLines(expected), expected);
    EXPECT_TRUE(DayLines().empty());
    EXPECT_TRUE(DayLines(StringList{}).empty());
}

}  // namespace
}  // namespace orbisk
