#include "viewer/viewer.h"

#include <gtest/gtest.h>

#include <thread>

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
using test::writeFile;

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        shown.push_back(caption + ": " + text);
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override {
        ++asked;
        return false;
    }
    int asked = 0;
};

DateTime at(int y, int mo, int d, int h, int mi) {
    return encodeDate(y, mo, d) + encodeTime(h, mi);
}

// A text file for one day: day name (1 = Sunday), day of December 2026 and
// caption blocks of "channel|line|line..." each.
std::string dayFile(int dayName, int day, const std::vector<std::vector<std::string>>& channels) {
    std::string text = "[tv.all]\r\n";
    for (const auto& block : channels) {
        text += "======\r\n" + std::string(kDayNames[dayName]) + ". " + std::to_string(day) + " " + kMonthNames[12] +
                ". " + block[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < block.size(); ++i) text += block[i] + "\r\n";
    }
    return ansiToKoi8(text);
}

// Monday to Wednesday of the week of 7 December 2026, and the Thursday of
// the week after (a second week, whose file is out of sequence).
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "1.txt", dayFile(2, 7, {{"One", "06.00 Monday"}}));
        writeFile(dir / "2.txt", dayFile(3, 8, {{"One", "06.00 Tuesday"}}));
        writeFile(dir / "3.txt",
                  dayFile(4, 9,
                          {{"One", "06.00 Morning", "19.30 \"Film\"", "21.00 News", "23.30 Late", "01.00 Night"},
                           {"Two", "07.00 Cartoons", "22.00 Show"},
                           {"Three", "06.00 Hidden"},
                           {"Four", "20.00 Start"}}));
        writeFile(dir / "4.txt", dayFile(5, 17, {{"Five", "06.00 Thursday"}}));
        // Channel "Three" is hidden, "Two" has a display name.
        test::writeListingIni(
            dir / "Orbisk.ini", "I" + dir.str(),
            "[Channels]\r\n1=Three\r\n2=Two\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=Second\r\n");
    }

    TempDir dir;
    RecordingNotifier notifier;
    FixedClock clock{at(2026, 12, 9, 21, 10)};
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
};

TEST_F(ViewerTest, RefreshShowsTodayAndMarksTheRunningProgramme) {
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    EXPECT_EQ(viewer.weeks().items.size(), 2u);
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 9));
    EXPECT_EQ(viewer.shownDayIndex(), 2);
    EXPECT_TRUE(viewer.shownDayHasText());
    // "09 декабря, Среда"
    EXPECT_EQ(viewer.dayCaptions()[2], std::string("09 ") + kMonthNames[12] + ", " + kDayNames[4]);
    EXPECT_EQ(viewer.dayCaptions()[0], std::string("07 ") + kMonthNames[12] + ", " + kDayNames[2]);
    EXPECT_EQ(viewer.dayCaptions()[3], kNoProgrammeText);
    EXPECT_EQ(viewer.dayCaptions()[6], kNoProgrammeText);
    EXPECT_FALSE(viewer.prevWeekEnabled());
    EXPECT_TRUE(viewer.nextWeekEnabled());

    ASSERT_EQ(viewer.channels().count(), 4);
    EXPECT_EQ(viewer.channels().current()->name, "One");
    EXPECT_EQ(viewer.currentIndex(), 2);  // 21.00 News
    EXPECT_EQ(viewer.showTime(), encodeTime(21, 0));
    EXPECT_EQ(viewer.showTimeEntry(), 2);
    EXPECT_EQ(viewer.visibleChannels(), (std::vector<int>{0, 1, 3}));

    // The second week's Thursday was out of sequence: one warning per run.
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].rfind(kStructureWarningCaption, 0), 0u);
    EXPECT_TRUE(viewer.structureWarningShown());
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    EXPECT_EQ(notifier.shown.size(), 1u);
}

TEST_F(ViewerTest, RefreshBeforeDayStartAndWithArguments) {
    clock.set(at(2026, 12, 10, 2, 0));
    ASSERT_TRUE(viewer.refreshListings(prompts, true));
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 9));
    EXPECT_EQ(viewer.currentIndex(), 4);  // 01.00 Night still runs
    EXPECT_EQ(viewer.showTime(), 0.0);    // started with arguments: not marked
    EXPECT_EQ(viewer.listingToday(), encodeDate(2026, 12, 9));
    EXPECT_TRUE(viewer.showToday());  // the calendar date, no 04:30 rule
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 10));
}

TEST_F(ViewerTest, ShowDayAndWeeks) {
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    EXPECT_FALSE(viewer.showDay(encodeDate(2026, 12, 9) + 0.5));  // already shown

    // A day without text: captions change, the channels stay.
    ASSERT_TRUE(viewer.showDay(encodeDate(2026, 12, 10)));
    EXPECT_FALSE(viewer.shownDayHasText());
    EXPECT_EQ(viewer.shownDayIndex(), 3);
    EXPECT_EQ(viewer.channels().count(), 4);

    ASSERT_TRUE(viewer.nextWeek());
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 17));
    EXPECT_TRUE(viewer.shownDayHasText());
    EXPECT_EQ(viewer.dayCaptions()[0], kNoProgrammeText);
    EXPECT_EQ(viewer.dayCaptions()[3], std::string("17 ") + kMonthNames[12] + ", " + kDayNames[5]);
    EXPECT_TRUE(viewer.prevWeekEnabled());
    EXPECT_FALSE(viewer.nextWeekEnabled());
    ASSERT_EQ(viewer.channels().count(), 1);
    EXPECT_EQ(viewer.channels().items(0).name, "Five");

    ASSERT_TRUE(viewer.showWeekDay(6));
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 20));
    ASSERT_TRUE(viewer.prevWeek());
    EXPECT_EQ(viewer.shownDate(), encodeDate(2026, 12, 13));
    EXPECT_TRUE(viewer.nextWeekEnabled());
    EXPECT_FALSE(viewer.prevWeekEnabled());
    ASSERT_TRUE(viewer.showWeekDay(0));
    EXPECT_EQ(viewer.channels().items(0).lines, (std::vector<std::string>{"06.00 Monday"}));
    EXPECT_FALSE(viewer.showWeekDay(7));
}

TEST_F(ViewerTest, ChannelsTabsAndPickedTime) {
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    EXPECT_EQ(viewer.currentTab(), 0);
    EXPECT_EQ(viewer.prevTab(), 2);  // wraps to the last tab
    EXPECT_EQ(viewer.nextTab(), 1);

    viewer.selectChannel(1);  // "Two": 07.00 runs until 22.00
    EXPECT_EQ(viewer.currentIndex(), 0);
    EXPECT_EQ(viewer.showTime(), encodeTime(7, 0));
    viewer.selectChannel(3);  // "Four", third tab
    EXPECT_EQ(viewer.currentTab(), 2);
    EXPECT_EQ(viewer.nextTab(), 0);
    viewer.selectChannel(2);  // hidden: no tab
    EXPECT_EQ(viewer.currentTab(), -1);

    viewer.selectChannel(0);
    EXPECT_EQ(viewer.showTime(), encodeTime(21, 0));
    const MarkedEntries marked = viewer.markShowTime(encodeTime(19, 45));
    EXPECT_EQ(marked.oldEntry, 2);
    EXPECT_EQ(marked.newEntry, 1);
    EXPECT_EQ(viewer.markShowTime(encodeTime(5, 0)).newEntry, -1);
    EXPECT_EQ(viewer.showTime(), encodeTime(5, 0));
}

// A reminder, a row of the grid and the command line open a channel by its
// display name at a time.
TEST_F(ViewerTest, OpenChannelByDisplayName) {
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    struct Case {
        const char* desc;
        DateTime time;
        bool found;
        int channel;  // current afterwards
        int entry;    // showTimeEntry afterwards
    };
    const Case cases[] = {
        {"Second", encodeTime(22, 30), true, 1, 1},  // "Two" by its display name: 22.00 Show
        {"Four", encodeTime(5, 0), true, 3, -1},     // nothing runs at 05:00 yet
        {"One", encodeTime(0, 20), true, 0, 3},      // after midnight: 23.30 Late
        {"Two", encodeTime(12, 0), false, 0, 3},     // the caption name is not the display name
        {"Three", encodeTime(12, 0), false, 0, 3},   // hidden
        {"", encodeTime(12, 0), false, 0, 3},
    };
    DateTime picked = viewer.showTime();
    for (const Case& c : cases) {
        EXPECT_EQ(viewer.openChannel(c.desc, c.time), c.found) << c.desc;
        if (c.found) picked = c.time;
        EXPECT_EQ(viewer.channels().current()->index, c.channel) << c.desc;
        EXPECT_EQ(viewer.showTime(), picked) << c.desc;
        EXPECT_EQ(viewer.showTimeEntry(), c.entry) << c.desc;
    }
    // The tab that follows the opened channel.
    ASSERT_TRUE(viewer.openChannel("Four", encodeTime(20, 0)));
    EXPECT_EQ(viewer.currentTab(), 2);
}

// A time given as text reads with the separator of the configured format.
TEST_F(ViewerTest, OpenChannelWithTimeText) {
    writeFile(dir / "3.txt", dayFile(4, 9, {{"One", "06:00 Morning", "19:30 Film", "21:00 News"}, {"Two", "07:00 A"}}));
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[MSG]\r\nTimeFormat=HH:MM\r\n");
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    EXPECT_EQ(viewer.timeSeparator(), ':');
    ASSERT_EQ(viewer.showTime(), encodeTime(21, 0));
    // An unreadable text still opens the channel; the picked time stays.
    for (const char* text : {"19.45", "xx", ""}) {
        ASSERT_TRUE(viewer.openChannel("Two", std::string_view(text))) << text;
        EXPECT_EQ(viewer.channels().current()->name, "Two") << text;
        EXPECT_EQ(viewer.showTime(), encodeTime(21, 0)) << text;
    }
    ASSERT_TRUE(viewer.openChannel("One", std::string_view("19:45")));
    EXPECT_EQ(viewer.showTime(), encodeTime(19, 45));
    EXPECT_EQ(viewer.showTimeEntry(), 1);
    EXPECT_FALSE(viewer.openChannel("Three", std::string_view("06:00")));
}

// A hidden channel 0 gives way to the first shown one after a parse; after
// a refresh the picked time follows it to its running programme.
TEST_F(ViewerTest, HiddenFirstChannelGivesWay) {
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                          "[Channels]\r\n1=One\r\n2=Three\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nHide=1\r\n");
    for (const bool pickRunning : {true, false}) {
        ASSERT_TRUE(viewer.refreshListings(prompts, false));
        ASSERT_EQ(viewer.channels().current()->index, 0);
        EXPECT_EQ(viewer.currentTab(), -1);
        EXPECT_EQ(viewer.showTime(), encodeTime(21, 0));  // One's 21.00 News

        viewer.skipHiddenChannel(pickRunning);
        EXPECT_EQ(viewer.channels().current()->name, "Two") << pickRunning;
        EXPECT_EQ(viewer.currentTab(), 0) << pickRunning;
        // Two's 07.00 Cartoons runs until 22.00.
        EXPECT_EQ(viewer.showTime(), pickRunning ? encodeTime(7, 0) : encodeTime(21, 0)) << pickRunning;

        // A shown current channel stays.
        viewer.selectChannel(3);
        viewer.skipHiddenChannel(pickRunning);
        EXPECT_EQ(viewer.channels().current()->name, "Four") << pickRunning;
    }

    // With every channel hidden the hidden one stays current.
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[Channels]\r\n1=Five\r\n[Channel1]\r\nHide=1\r\n");
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    ASSERT_TRUE(viewer.showDay(encodeDate(2026, 12, 17)));
    ASSERT_EQ(viewer.channels().current()->name, "Five");
    viewer.skipHiddenChannel(true);
    EXPECT_EQ(viewer.channels().current()->name, "Five");
}

TEST_F(ViewerTest, FilmRowsAtFixedTimes) {
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    auto rows = viewer.filmRows(encodeTime(21, 10));
    ASSERT_EQ(rows.size(), 3u);  // the hidden channel has no row
    EXPECT_EQ(rows[0].desc, "One");
    EXPECT_EQ(rows[0].title, "News");
    EXPECT_EQ(rows[0].time, "21.00-23.30");
    EXPECT_EQ(rows[1].desc, "Second");
    EXPECT_EQ(rows[1].channel, 1);
    EXPECT_EQ(rows[1].time, "07.00-22.00");
    EXPECT_EQ(rows[2].desc, "Four");
    EXPECT_EQ(rows[2].channel, 3);
    EXPECT_EQ(rows[2].time, "20.00-???");

    rows = viewer.filmRows(encodeTime(0, 20));
    EXPECT_EQ(rows[0].title, "Late");
    EXPECT_EQ(rows[0].time, "23.30-01.00");
    EXPECT_EQ(rows[1].time, "22.00-???");

    rows = viewer.filmRows(encodeTime(19, 30));
    EXPECT_EQ(rows[0].title, "\"Film\"");
    EXPECT_EQ(rows[2].entry, -1);  // "Four" starts at 20.00
    EXPECT_EQ(rows[2].title, "");
    EXPECT_EQ(rows[2].time, "");

    rows = viewer.filmRows(encodeTime(5, 0));  // the next morning: nothing runs
    for (const auto& row : rows) EXPECT_EQ(row.entry, -1) << row.desc;

    // Rebuilt when the minute or the day changes.
    EXPECT_TRUE(viewer.filmGridStale(encodeTime(21, 10)));
    EXPECT_FALSE(viewer.filmGridStale(encodeTime(21, 10) + 20.0 / 86400));
    EXPECT_TRUE(viewer.filmGridStale(encodeTime(21, 11)));
    viewer.showDay(encodeDate(2026, 12, 8));
    EXPECT_TRUE(viewer.filmGridStale(encodeTime(21, 11)));
}

TEST_F(ViewerTest, ProgressStripAndGridBar) {
    clock.set(at(2026, 12, 10, 0, 20));
    ASSERT_TRUE(viewer.refreshListings(prompts, false));
    auto strip = viewer.progress();
    ASSERT_TRUE(strip.has_value());
    EXPECT_EQ(strip->startText, "23.30");
    EXPECT_EQ(strip->stopText, "01.00");
    EXPECT_EQ(strip->minimum, 1410);
    EXPECT_EQ(strip->maximum, 1500);
    EXPECT_EQ(strip->position, 1460);

    clock.set(at(2026, 12, 10, 2, 0));
    viewer.updateCurrentIndex();
    strip = viewer.progress();
    ASSERT_TRUE(strip.has_value());
    EXPECT_EQ(strip->stopText, "???");
    EXPECT_EQ(strip->maximum, 1800);
    EXPECT_EQ(strip->minimum, 1500);
    EXPECT_EQ(strip->position, 0);

    clock.set(at(2026, 12, 10, 5, 0));
    EXPECT_EQ(viewer.updateCurrentIndex(), -1);
    EXPECT_FALSE(viewer.progress().has_value());

    const DateTime at0020 = encodeTime(0, 20);
    EXPECT_DOUBLE_EQ(*Viewer::filmProgress("23.30-01.00", at0020, '.'), 5.0 / 9.0);
    EXPECT_DOUBLE_EQ(*Viewer::filmProgress("19.30-21.00", encodeTime(20, 15) + 29.0 / 86400, '.'), 0.5);
    EXPECT_FALSE(Viewer::filmProgress("20.00-???", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::filmProgress("", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::filmProgress("2x.00-23.00", at0020, '.').has_value());
    EXPECT_FALSE(Viewer::filmProgress("21.00-21.00", at0020, '.').has_value());
}

TEST_F(ViewerTest, RefreshFailures) {
    // Incomplete message parameters and their dialog cancelled.
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), "[MSG]\r\nTimeFormat=\r\n");
    EXPECT_FALSE(viewer.refreshListings(prompts, false));
    EXPECT_EQ(prompts.asked, 1);
    EXPECT_TRUE(viewer.weeks().items.empty());

    // An area that does not open ends the refresh with its error.
    test::writeListingIni(dir / "Orbisk.ini", "Z" + dir.str());
    try {
        viewer.refreshListings(prompts, false);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kCannotOpenBaseText);
    }
    EXPECT_TRUE(viewer.weeks().items.empty());
    EXPECT_EQ(viewer.shownDate(), 0.0);
    EXPECT_EQ(viewer.channels().count(), 0);
}

// The window loads on a thread of its own: the viewer hands the load out
// and takes it back; what it then shows equals a refresh in one piece, and
// the load's boxes reach the viewer's notifier only when it is taken back.
TEST_F(ViewerTest, LoadOnAnotherThreadShowsWhatARefreshShows) {
    RecordingNotifier otherNotifier;
    Viewer whole{dir / "Orbisk.ini", otherNotifier, clock};
    ASSERT_TRUE(whole.refreshListings(prompts, false));

    std::unique_ptr<ListingLoad> load = viewer.beginRefresh(prompts);
    ASSERT_TRUE(load);
    std::thread([&] { load->run(); }).join();
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(load->progress().done.load(), 7);
    EXPECT_EQ(load->progress().total.load(), 7);
    viewer.finishRefresh(*load, false);

    EXPECT_EQ(notifier.shown, otherNotifier.shown);
    EXPECT_TRUE(viewer.structureWarningShown());
    EXPECT_TRUE(viewer.listingsLoaded());
    ASSERT_EQ(viewer.weeks().items.size(), whole.weeks().items.size());
    for (std::size_t w = 0; w < whole.weeks().items.size(); ++w)
        EXPECT_EQ(viewer.weeks().items[w]->days, whole.weeks().items[w]->days);
    EXPECT_EQ(viewer.shownDate(), whole.shownDate());
    EXPECT_EQ(viewer.dayCaptions(), whole.dayCaptions());
    EXPECT_EQ(viewer.showTime(), whole.showTime());
    EXPECT_EQ(viewer.currentIndex(), whole.currentIndex());

    // A load that fails throws when it is taken back, and nothing counts as loaded.
    test::writeListingIni(dir / "Orbisk.ini", "Z" + dir.str());
    load = viewer.beginRefresh(prompts);
    ASSERT_TRUE(load);
    load->run();
    EXPECT_THROW(viewer.finishRefresh(*load, false), Error);
    EXPECT_FALSE(viewer.listingsLoaded());
    EXPECT_TRUE(viewer.weeks().items.empty());
}

}  // namespace
}  // namespace orbisk
