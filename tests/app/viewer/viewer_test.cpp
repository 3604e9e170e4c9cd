#include "app/viewer/viewer.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::kDayNames;
using test::kMonthNames;
using test::TempDir;
using test::WriteFile;

class RecordingNotifier : public Notifier {
public:
    void Show(const std::string& text, const std::string& caption, MsgIcon) override {
        shown.push_back(caption + ": " + text);
    }
    Answer Ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

class NoPrompts : public ConfigPrompts {
public:
    bool EditMessageBase(Config&) override { return false; }
    bool EditMessageParams(Config&) override {
        ++asked;
        return false;
    }
    int asked = 0;
};

TDateTime At(int y, int mo, int d, int h, int mi) { return EncodeDate(y, mo, d) + EncodeTime(h, mi); }

// A text file for one day: day name (1 = Sunday), day of December 2026 and
// caption blocks of "channel|line|line..." each.
std::string DayFile(int dayName, int day, const std::vector<std::vector<std::string>>& channels) {
    std::string text = "[tv.all]\r\n";
    for (const auto& block : channels) {
        text += "======\r\n" + std::string(kDayNames[dayName]) + ". " + std::to_string(day) + " " + kMonthNames[12] +
                ". " + block[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < block.size(); ++i) text += block[i] + "\r\n";
    }
    return AnsiToKoi8(text);
}

// Monday to Wednesday of the week of 7 December 2026, and the Thursday of
// the week after (a second week, whose file is out of sequence).
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "1.txt", DayFile(2, 7, {{"One", "06.00 Monday"}}));
        WriteFile(dir / "2.txt", DayFile(3, 8, {{"One", "06.00 Tuesday"}}));
        WriteFile(dir / "3.txt",
                  DayFile(4, 9,
                          {{"One", "06.00 Morning", "19.30 \"Film\"", "21.00 News", "23.30 Late", "01.00 Night"},
                           {"Two", "07.00 Cartoons", "22.00 Show"},
                           {"Three", "06.00 Hidden"},
                           {"Four", "20.00 Start"}}));
        WriteFile(dir / "4.txt", DayFile(5, 17, {{"Five", "06.00 Thursday"}}));
        // Channel "Three" is hidden, "Two" has a display name.
        test::WriteListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Channels]\r\n1=Three\r\n2=Two\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=Second\r\n");
    }

    TempDir dir;
    RecordingNotifier notifier;
    FixedClock clock{At(2026, 12, 9, 21, 10)};
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
};

TEST_F(ViewerTest, RefreshShowsTodayAndMarksTheRunningProgramme) {
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    EXPECT_EQ(viewer.Weeks().Items.size(), 2u);
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 9));
    EXPECT_EQ(viewer.ShownDayIndex(), 2);
    EXPECT_TRUE(viewer.ShownDayHasText());
    // "09 декабря, Среда"
    EXPECT_EQ(viewer.DayCaptions()[2], std::string("09 ") + kMonthNames[12] + ", " + kDayNames[4]);
    EXPECT_EQ(viewer.DayCaptions()[0], std::string("07 ") + kMonthNames[12] + ", " + kDayNames[2]);
    EXPECT_EQ(viewer.DayCaptions()[3], kNoProgrammeText);
    EXPECT_EQ(viewer.DayCaptions()[6], kNoProgrammeText);
    EXPECT_FALSE(viewer.PrevWeekEnabled());
    EXPECT_TRUE(viewer.NextWeekEnabled());

    ASSERT_EQ(viewer.Channels().Count(), 4);
    EXPECT_EQ(viewer.Channels().Current()->Name, "One");
    EXPECT_EQ(viewer.CurrentIndex(), 2);  // 21.00 News
    EXPECT_EQ(viewer.ShowTime(), EncodeTime(21, 0));
    EXPECT_EQ(viewer.ShowTimeEntry(), 2);
    EXPECT_EQ(viewer.VisibleChannels(), (std::vector<int>{0, 1, 3}));

    // The second week's Thursday was out of sequence: one warning per run.
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].rfind(kStructureWarningCaption, 0), 0u);
    EXPECT_TRUE(viewer.StructureWarningShown());
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    EXPECT_EQ(notifier.shown.size(), 1u);
}

TEST_F(ViewerTest, RefreshBeforeDayStartAndWithArguments) {
    clock.Set(At(2026, 12, 10, 2, 0));
    ASSERT_TRUE(viewer.RefreshListings(prompts, true));
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 9));
    EXPECT_EQ(viewer.CurrentIndex(), 4);  // 01.00 Night still runs
    EXPECT_EQ(viewer.ShowTime(), 0.0);    // started with arguments: not marked
    EXPECT_EQ(viewer.ListingToday(), EncodeDate(2026, 12, 9));
    EXPECT_TRUE(viewer.ShowToday());      // the calendar date, no 04:30 rule
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 10));
}

TEST_F(ViewerTest, ShowDayAndWeeks) {
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    EXPECT_FALSE(viewer.ShowDay(EncodeDate(2026, 12, 9) + 0.5));  // already shown

    // A day without text: captions change, the channels stay.
    ASSERT_TRUE(viewer.ShowDay(EncodeDate(2026, 12, 10)));
    EXPECT_FALSE(viewer.ShownDayHasText());
    EXPECT_EQ(viewer.ShownDayIndex(), 3);
    EXPECT_EQ(viewer.Channels().Count(), 4);

    ASSERT_TRUE(viewer.NextWeek());
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 17));
    EXPECT_TRUE(viewer.ShownDayHasText());
    EXPECT_EQ(viewer.DayCaptions()[0], kNoProgrammeText);
    EXPECT_EQ(viewer.DayCaptions()[3], std::string("17 ") + kMonthNames[12] + ", " + kDayNames[5]);
    EXPECT_TRUE(viewer.PrevWeekEnabled());
    EXPECT_FALSE(viewer.NextWeekEnabled());
    ASSERT_EQ(viewer.Channels().Count(), 1);
    EXPECT_EQ(viewer.Channels().Items(0).Name, "Five");

    ASSERT_TRUE(viewer.ShowWeekDay(6));
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 20));
    ASSERT_TRUE(viewer.PrevWeek());
    EXPECT_EQ(viewer.ShownDate(), EncodeDate(2026, 12, 13));
    EXPECT_TRUE(viewer.NextWeekEnabled());
    EXPECT_FALSE(viewer.PrevWeekEnabled());
    ASSERT_TRUE(viewer.ShowWeekDay(0));
    EXPECT_EQ(viewer.Channels().Items(0).Lines, (std::vector<std::string>{"06.00 Monday"}));
    EXPECT_FALSE(viewer.ShowWeekDay(7));
}

TEST_F(ViewerTest, ChannelsTabsAndPickedTime) {
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    EXPECT_EQ(viewer.CurrentTab(), 0);
    EXPECT_EQ(viewer.PrevTab(), 2);  // wraps to the last tab
    EXPECT_EQ(viewer.NextTab(), 1);

    viewer.SelectChannel(1);  // "Two": 07.00 runs until 22.00
    EXPECT_EQ(viewer.CurrentIndex(), 0);
    EXPECT_EQ(viewer.ShowTime(), EncodeTime(7, 0));
    viewer.SelectChannel(3);  // "Four", third tab
    EXPECT_EQ(viewer.CurrentTab(), 2);
    EXPECT_EQ(viewer.NextTab(), 0);
    viewer.SelectChannel(2);  // hidden: no tab
    EXPECT_EQ(viewer.CurrentTab(), -1);

    viewer.SelectChannel(0);
    EXPECT_EQ(viewer.ShowTime(), EncodeTime(21, 0));
    const MarkedEntries marked = viewer.MarkShowTime(EncodeTime(19, 45));
    EXPECT_EQ(marked.Old, 2);
    EXPECT_EQ(marked.New, 1);
    EXPECT_EQ(viewer.MarkShowTime(EncodeTime(5, 0)).New, -1);
    EXPECT_EQ(viewer.ShowTime(), EncodeTime(5, 0));
}

TEST_F(ViewerTest, FilmRowsAtFixedTimes) {
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    auto rows = viewer.FilmRows(EncodeTime(21, 10));
    ASSERT_EQ(rows.size(), 3u);  // the hidden channel has no row
    EXPECT_EQ(rows[0].Desc, "One");
    EXPECT_EQ(rows[0].Title, "News");
    EXPECT_EQ(rows[0].Time, "21.00-23.30");
    EXPECT_EQ(rows[1].Desc, "Second");
    EXPECT_EQ(rows[1].Channel, 1);
    EXPECT_EQ(rows[1].Time, "07.00-22.00");
    EXPECT_EQ(rows[2].Desc, "Four");
    EXPECT_EQ(rows[2].Channel, 3);
    EXPECT_EQ(rows[2].Time, "20.00-???");

    rows = viewer.FilmRows(EncodeTime(0, 20));
    EXPECT_EQ(rows[0].Title, "Late");
    EXPECT_EQ(rows[0].Time, "23.30-01.00");
    EXPECT_EQ(rows[1].Time, "22.00-???");

    rows = viewer.FilmRows(EncodeTime(19, 30));
    EXPECT_EQ(rows[0].Title, "\"Film\"");
    EXPECT_EQ(rows[2].Entry, -1);  // "Four" starts at 20.00
    EXPECT_EQ(rows[2].Title, "");
    EXPECT_EQ(rows[2].Time, "");

    rows = viewer.FilmRows(EncodeTime(5, 0));  // the next morning: nothing runs
    for (const auto& row : rows) EXPECT_EQ(row.Entry, -1) << row.Desc;

    // Rebuilt when the minute or the day changes.
    EXPECT_TRUE(viewer.FilmGridStale(EncodeTime(21, 10)));
    EXPECT_FALSE(viewer.FilmGridStale(EncodeTime(21, 10) + 20.0 / 86400));
    EXPECT_TRUE(viewer.FilmGridStale(EncodeTime(21, 11)));
    viewer.ShowDay(EncodeDate(2026, 12, 8));
    EXPECT_TRUE(viewer.FilmGridStale(EncodeTime(21, 11)));
}

TEST_F(ViewerTest, ProgressStripAndGridBar) {
    clock.Set(At(2026, 12, 10, 0, 20));
    ASSERT_TRUE(viewer.RefreshListings(prompts, false));
    auto strip = viewer.Progress();
    ASSERT_TRUE(strip.has_value());
    EXPECT_EQ(strip->StartText, "23.30");
    EXPECT_EQ(strip->StopText, "01.00");
    EXPECT_EQ(strip->Minimum, 1410);
    EXPECT_EQ(strip->Maximum, 1500);
    EXPECT_EQ(strip->Position, 1460);

    clock.Set(At(2026, 12, 10, 2, 0));
    viewer.UpdateCurrentIndex();
    strip = viewer.Progress();
    ASSERT_TRUE(strip.has_value());
    EXPECT_EQ(strip->StopText, "???");
    EXPECT_EQ(strip->Maximum, 1800);
    EXPECT_EQ(strip->Minimum, 1500);
    EXPECT_EQ(strip->Position, 0);

    clock.Set(At(2026, 12, 10, 5, 0));
    EXPECT_EQ(viewer.UpdateCurrentIndex(), -1);
    EXPECT_FALSE(viewer.Progress().has_value());

    const TDateTime at0020 = EncodeTime(0, 20);
    EXPECT_DOUBLE_EQ(*Viewer::FilmProgress("23.30-01.00", at0020, '.'), 5.0 / 9.0);
    EXPECT_DOUBLE_EQ(*Viewer::FilmProgress("19.30-21.00", EncodeTime(20, 15) + 29.0 / 86400, '.'), 0.5);
    EXPECT_FALSE(Viewer::FilmProgress("20.00-???", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::FilmProgress("", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::FilmProgress("2x.00-23.00", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::FilmProgress("21.00-21.00", at0020, '.').has_value());
}

TEST_F(ViewerTest, RefreshFailures) {
    // Incomplete message parameters and their dialog cancelled.
    test::WriteListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[MSG]\r\nTimeFormat=\r\n");
    EXPECT_FALSE(viewer.RefreshListings(prompts, false));
    EXPECT_EQ(prompts.asked, 1);
    EXPECT_TRUE(viewer.Weeks().Items.empty());

    // An area that does not open ends the refresh with its error.
    test::WriteListingIni(dir / "Orbisk.ini", "Z" + dir.str());
    try {
        viewer.RefreshListings(prompts, false);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotOpenBaseText);
    }
    EXPECT_TRUE(viewer.Weeks().Items.empty());
    EXPECT_EQ(viewer.ShownDate(), 0.0);
    EXPECT_EQ(viewer.Channels().Count(), 0);
}

}  // namespace
}  // namespace orbisk
