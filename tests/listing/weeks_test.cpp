#include "listing/weeks.h"

#include <gtest/gtest.h>

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
    std::string ReadTextLineNoKludge(std::uint16_t maxLen) override {
        if (pos_ >= lines_.size()) return "";
        return lines_[pos_++].substr(0, maxLen);
    }
    bool AtTextEnd() override { return pos_ >= lines_.size(); }
    std::string GetSubject() override { return subject_; }
    MsgNumber GetMessageNumber() override { return number_; }
    std::size_t Position() const { return pos_; }

private:
    MsgNumber number_;
    std::string subject_;
    StringList lines_;
    std::size_t pos_ = 0;
};

class RecordingNotifier : public Notifier {
public:
    void Show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer Ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    std::vector<std::string> shown;
};

const FixedClock kJune2024(EncodeDate(2024, 6, 10));

StringList Body(const std::string& datingDay, StringList rest) {
    StringList body = {"header", "Subject: =?koi8-r?B?0JvQuNGB0YI=?= " + datingDay + ".06.2024"};
    body.insert(body.end(), rest.begin(), rest.end());
    return body;
}

TEST(Weeks, WeekStartsOnTheMondayOnOrBefore) {
    const TWeek fromSunday(EncodeDate(2024, 6, 9));
    EXPECT_EQ(fromSunday.StartDate, EncodeDate(2024, 6, 3));
    EXPECT_EQ(fromSunday.EndDate, EncodeDate(2024, 6, 9));
    EXPECT_EQ(TWeek(EncodeDate(2024, 6, 3)).StartDate, EncodeDate(2024, 6, 3));
    EXPECT_EQ(TWeek(EncodeDate(2024, 6, 8)).StartDate, EncodeDate(2024, 6, 3));
    EXPECT_EQ(TWeek(0).StartDate, -5);  // the zero date is a Saturday

    TWeek week(EncodeDate(2024, 6, 5));
    EXPECT_EQ(week.GetDay(EncodeDate(2024, 6, 5)), nullptr);  // days not built yet
    EXPECT_FALSE(week.DayHasText(EncodeDate(2024, 6, 5)));
    week.BuildDays(DayLayout{}, nullptr);
    week.Days[6].push_back("sunday");
    EXPECT_EQ(week.GetDay(EncodeDate(2024, 6, 9)), &week.Days[6]);
    EXPECT_EQ(week.GetDay(EncodeDate(2024, 6, 3)), &week.Days[0]);
    EXPECT_EQ(week.GetDay(EncodeDate(2024, 6, 10)), nullptr);
    EXPECT_EQ(week.GetDay(EncodeDate(2024, 6, 2)), nullptr);
    EXPECT_TRUE(week.DayHasText(EncodeDate(2024, 6, 9)));
    EXPECT_FALSE(week.DayHasText(EncodeDate(2024, 6, 8)));
}

TEST(Weeks, MessagesAreFiledUnderTheirWeeks) {
    TWeeks weeks;
    FakeArea tuesday(10, "Listing [2/7]", Body("04", {"line a", "line b"}));
    FakeArea nextWeek(11, "Listing [1/7]", Body("12", {"x"}));
    FakeArea thursday(12, "Listing [2/7]", Body("06", {"line c"}));
    FakeArea undated(13, "Listing [3/7]", {"no", "dating", "line"});
    EXPECT_TRUE(weeks.AddMessage(tuesday, {}, kJune2024));
    EXPECT_TRUE(weeks.AddMessage(nextWeek, {}, kJune2024));
    EXPECT_TRUE(weeks.AddMessage(thursday, {}, kJune2024));
    EXPECT_FALSE(weeks.AddMessage(undated, {}, kJune2024));
    EXPECT_TRUE(undated.AtTextEnd());

    ASSERT_EQ(weeks.Items.size(), 2u);
    const TWeek& first = *weeks.Items[0];
    EXPECT_EQ(first.StartDate, EncodeDate(2024, 6, 3));
    EXPECT_EQ(weeks.Items[1]->StartDate, EncodeDate(2024, 6, 10));
    ASSERT_EQ(first.Messages.size(), 2u);
    EXPECT_EQ(first.Messages[0].MsgNum, 10);
    EXPECT_EQ(first.Messages[1].MsgNum, 12);
    EXPECT_EQ(first.Messages[0].PartNo, 2);
    EXPECT_EQ(first.Messages[1].PartNo, 2);  // posted twice: both kept
    EXPECT_EQ(first.Messages[0].PartCount, 7);
    EXPECT_EQ(*first.Messages[0].Lines, (StringList{"line a", "line b"}));
    EXPECT_EQ(weeks.FindWeek(EncodeDate(2024, 6, 9)), weeks.Items[0].get());
    EXPECT_EQ(weeks.FindWeek(EncodeDate(2024, 6, 17)), nullptr);
    EXPECT_FALSE(weeks.DayHasText(EncodeDate(2024, 6, 17)));
    EXPECT_EQ(weeks.GetDay(EncodeDate(2024, 6, 17)), nullptr);

    weeks.BuildAll(DayLayout{}, nullptr);
    for (const auto& week : weeks.Items) {
        EXPECT_EQ(week->Days.size(), 7u);
        for (const auto& m : week->Messages) {
            EXPECT_FALSE(m.Lines.has_value());
            EXPECT_NE(m.MsgNum, 0);
        }
    }
    EXPECT_EQ(weeks.Items[0]->Messages[1].PartNo, 2);
    weeks.Clear();
    EXPECT_TRUE(weeks.Items.empty());
}

TEST(Weeks, BadDatingLineEndsTheLoad) {
    TWeeks weeks;
    FakeArea noDate(1, "L [1/2]", {"=?koi8-r? 31.02"});
    EXPECT_THROW(weeks.AddMessage(noDate, {}, kJune2024), Error);
    FakeArea badNumber(2, "L [1/2]", {"=?koi8-r? xx.06"});
    try {
        weeks.AddMessage(badNumber, {}, kJune2024);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'xx' is not a valid integer value");
    }
    EXPECT_TRUE(weeks.Items.empty());
    EXPECT_THROW(TMSGDesc::Create(5, "L ]/2]"), Error);
}

TEST(Weeks, KludgeLinesAreSkippedWithExactCase) {
    const StringList kludges = {"SEEN-BY", "PATH:", ""};
    EXPECT_TRUE(IsKludgeLine("SEEN-BY: 5020/1", kludges));
    EXPECT_TRUE(IsKludgeLine("PATH: 5020/1", kludges));
    EXPECT_FALSE(IsKludgeLine("seen-by: 5020/1", kludges));
    EXPECT_FALSE(IsKludgeLine("plain", kludges));  // the empty prefix matches nothing
    EXPECT_FALSE(IsKludgeLine("", {""}));

    FakeArea area(7, "L [1/1]", {"SEEN-BY: 1", "PATH: 2", "text", "SEEN-BY: 3", "", "PATH: 4", "seen-by: 5", "PATH: last"});
    EXPECT_EQ(ReadBodyLine(area, 255, kludges), "text");
    EXPECT_EQ(ReadBodyLine(area, 255, kludges), "");  // an empty line stops the skipping
    EXPECT_EQ(ReadBodyLine(area, 255, kludges), "seen-by: 5");
    EXPECT_EQ(ReadBodyLine(area, 255, kludges), "PATH: last");  // the text's last line
    EXPECT_TRUE(area.AtTextEnd());

    FakeArea longLine(8, "L [1/1]", {std::string(5000, 'x')});
    EXPECT_EQ(ReadBodyLine(longLine, 255, {}).size(), 255u);

    // Kludges before the dating line and in the body.
    TWeeks weeks;
    FakeArea message(9, "L [1/1]", {"PATH: =?koi8-r? 99.99", "=?koi8-r? 05.06", "PATH: x", "kept"});
    ASSERT_TRUE(weeks.AddMessage(message, kludges, kJune2024));
    EXPECT_EQ(*weeks.Items[0]->Messages[0].Lines, StringList{"kept"});
}

TEST(Weeks, DescriptorsOfMessagesAndFiles) {
    const TMSGDesc listing = TMSGDesc::Create(42, "TV [2/7]");
    EXPECT_TRUE(listing.IsListing);
    EXPECT_EQ(listing.PartNo, 2);
    EXPECT_EQ(listing.PartCount, 7);
    EXPECT_EQ(listing.MsgNum, 42);
    EXPECT_FALSE(listing.Lines.has_value());
    const TMSGDesc other = TMSGDesc::Create(43, "\xD2\xC2. [2/7]");  // "ТВ. [2/7]"
    EXPECT_FALSE(other.IsListing);
    EXPECT_EQ(other.PartNo, 0);
    EXPECT_EQ(other.PartCount, 0);
    const TMSGDesc file = TMSGDesc::CreateForFile(3);
    EXPECT_TRUE(file.IsListing);
    EXPECT_EQ(file.PartNo, 3);
    EXPECT_EQ(file.PartCount, 7);
    EXPECT_EQ(file.MsgNum, 3);
}

TEST(Weeks, TextFilesFormOneWeek) {
    TMonths months;
    for (int i = 1; i <= 12; ++i) months[i] = "m" + std::to_string(i);
    RecordingNotifier notifier;
    TWeeks weeks;
    for (int n = 1; n <= 7; ++n) {
        const StringList lines = {"======", "Day. " + std::to_string(2 + n) + " m6 CH", "----", "06.00 A"};
        weeks.AddFileDay(n, lines, months, notifier, kJune2024);
    }
    // A file with no date in its second line, and one without a second line.
    weeks.AddFileDay(1, {"======", "Day. 3 June CH"}, months, notifier, kJune2024);
    weeks.AddFileDay(2, {"======"}, months, notifier, kJune2024);
    ASSERT_EQ(weeks.Items.size(), 2u);
    const TWeek& week = *weeks.Items[0];
    EXPECT_TRUE(week.FromFiles);
    EXPECT_EQ(week.StartDate, EncodeDate(2024, 6, 3));
    ASSERT_EQ(week.Messages.size(), 7u);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(week.Messages[n - 1].PartNo, n);
        EXPECT_EQ(week.Messages[n - 1].MsgNum, n);
    }
    EXPECT_TRUE(weeks.Items[1]->Contains(0));
    EXPECT_EQ(weeks.Items[1]->Messages.size(), 2u);
    EXPECT_EQ(notifier.shown.size(), 2u);

    weeks.BuildAll(DayLayout{}, nullptr);
    EXPECT_EQ(*weeks.GetDay(EncodeDate(2024, 6, 9)), (StringList{"======", "Day. 9 m6 CH", "----", "06.00 A"}));
    EXPECT_TRUE(weeks.DayHasText(EncodeDate(2024, 6, 3)));
}

}  // namespace
}  // namespace orbisk
