#include "listing/channellist.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/error.h"
#include "base/inifile.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

Channel channelWith(std::initializer_list<const char*> times) {
    Channel c;
    for (const char* t : times) {
        c.times.push_back(t);
        c.lines.push_back(std::string(t) + " Programme");
    }
    return c;
}

TEST(FindCurrent, NightEntriesBelongToTheDayBefore) {
    const Channel c = channelWith({"06.00", "23.30", "01.00"});
    EXPECT_EQ(c.findCurrent(encodeTime(0, 15)), 1);
    EXPECT_EQ(c.findCurrent(encodeTime(2, 0)), 2);
    EXPECT_EQ(c.findCurrent(encodeTime(4, 29)), 2);
    EXPECT_EQ(c.findCurrent(encodeTime(4, 30)), -1);
    EXPECT_EQ(c.findCurrent(encodeTime(4, 40)), -1);
    EXPECT_EQ(c.findCurrent(encodeTime(5, 0)), -1);
    EXPECT_EQ(c.findCurrent(encodeTime(6, 0)), 0);
    EXPECT_EQ(c.findCurrent(encodeTime(23, 29, 59)), 0);
    EXPECT_EQ(c.findCurrent(encodeTime(23, 30)), 1);
    // Midnight itself is already the night after the day.
    EXPECT_EQ(c.findCurrent(0.0), 1);
    // The date part of a moment is ignored.
    EXPECT_EQ(c.findCurrent(encodeDate(2024, 3, 5) + encodeTime(6, 0)), 0);
}

TEST(FindCurrent, DayEndingBeforeMidnightAndEmptyChannel) {
    const Channel c = channelWith({"06.00", "12.00", "22.00"});
    EXPECT_EQ(c.findCurrent(encodeTime(5, 0)), -1);
    EXPECT_EQ(c.findCurrent(encodeTime(12, 0)), 1);  // equal start is running
    EXPECT_EQ(c.findCurrent(encodeTime(11, 59)), 0);
    // After the last entry it runs until the day boundary.
    EXPECT_EQ(c.findCurrent(encodeTime(23, 59)), 2);
    EXPECT_EQ(c.findCurrent(encodeTime(3, 0)), 2);
    EXPECT_EQ(Channel{}.findCurrent(encodeTime(12, 0)), -1);

    // A day that starts after midnight: before its first start nothing runs.
    const Channel night = channelWith({"01.00", "02.00"});
    EXPECT_EQ(night.findCurrent(encodeTime(0, 30)), -1);
}

TEST(FindCurrent, InvalidTimeTextThrows) {
    Channel c = channelWith({"06.00", "ab.cd", "23.00"});
    EXPECT_THROW(c.findCurrent(encodeTime(12, 0)), Error);
    c = channelWith({"06.00", "24.00"});
    try {
        c.findCurrent(encodeTime(12, 0));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'24.00' is not a valid time");
    }
    // Another separator reads other texts.
    c = channelWith({"06:00", "20:00"});
    EXPECT_THROW(c.findCurrent(encodeTime(12, 0)), Error);
    c.timeSeparator = ':';
    EXPECT_EQ(c.findCurrent(encodeTime(21, 0)), 1);
}

TEST(ChannelEntries, DeleteAndJoinKeepListsParallel) {
    Channel c = channelWith({"06.00", "07.00", "08.00"});
    c.joinWithPrevious(1);
    ASSERT_EQ(c.entryCount(), 2);
    EXPECT_EQ(c.lines[0], "06.00 Programme 07.00 Programme");
    EXPECT_EQ(c.times[0], "06.00");
    EXPECT_EQ(c.times[1], "08.00");
    c.joinWithPrevious(0);  // only deleted
    ASSERT_EQ(c.entryCount(), 1);
    EXPECT_EQ(c.lines[0], "08.00 Programme");
    c.deleteEntry(5);
    c.deleteEntry(-1);
    c.joinWithPrevious(3);
    EXPECT_EQ(c.lines.size(), 1u);
    EXPECT_EQ(c.times.size(), 1u);
}

TEST(Channels, AddLineSplitsTimeAndSelectionRules) {
    ChannelList list(nullptr, "HH.MM", '.');
    EXPECT_EQ(list.addLine("19.30 Film"), -1);  // no channel yet
    EXPECT_EQ(list.current(), nullptr);
    EXPECT_EQ(list.addChannel("A"), 0);
    EXPECT_EQ(list.addChannel("B"), 1);
    EXPECT_EQ(list.current(), &list.items(1));
    EXPECT_EQ(list.addLine("19.30 Film"), 0);
    EXPECT_EQ(list.addLine("7.5"), 1);
    EXPECT_EQ(list.items(1).times[0], "19.30");
    EXPECT_EQ(list.items(1).times[1], "7.5");
    EXPECT_EQ(list.items(1).index, 1);
    list.select(0);
    EXPECT_EQ(list.current()->name, "A");
    EXPECT_THROW(list.items(2), Error);
    EXPECT_THROW(list.select(-1), Error);
    EXPECT_TRUE(list.isProgrammeLine("19.30 Film"));
    EXPECT_TRUE(list.isProgrammeLine("9.30 Film"));  // "9.30 " reads as a time
    EXPECT_FALSE(list.isProgrammeLine("9.30Film"));
    EXPECT_FALSE(list.isProgrammeLine("25.00 Film"));
    EXPECT_FALSE(list.isProgrammeLine(""));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.current(), nullptr);
}

TEST(Channels, SavedSettingsAreReadByName) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::writeFile(path,
                    "[Channels]\r\n1=NTV\r\n2=ORT\r\n3=Sport\r\n"
                    "[Channel1]\r\nDesc=NTV display\r\n"
                    "[Channel2]\r\nHide=1\r\n"
                    "[Channel3]\r\nDesc=never\r\n");
    IniFile ini(path);
    ChannelList list(&ini, "HH.MM", '.');
    EXPECT_EQ(list.savedNames, (std::vector<std::string>{"1=NTV", "2=ORT", "3=Sport"}));
    list.addChannel("NTV");
    list.addChannel("ORT");
    list.addChannel("NTV");
    list.addChannel("ntv");  // names compare exactly
    list.addChannel("New");
    EXPECT_EQ(list.items(0).desc, "NTV display");
    EXPECT_FALSE(list.items(0).hide);
    EXPECT_EQ(list.items(1).desc, "ORT");
    EXPECT_TRUE(list.items(1).hide);
    EXPECT_EQ(list.items(2).desc, "NTV display");
    EXPECT_EQ(list.items(3).desc, "ntv");
    EXPECT_EQ(list.items(4).desc, "New");
    EXPECT_FALSE(list.items(4).hide);

    // Only numbers up to the count of saved lines are looked at.
    test::writeFile(path, "[Channels]\r\n1=A\r\n3=Sport\r\n[Channel3]\r\nDesc=S\r\n");
    ChannelList gappy(&ini, "HH.MM", '.');
    gappy.addChannel("Sport");
    EXPECT_EQ(gappy.items(0).desc, "Sport");
}

TEST(Channels, SaveReplacesThePersistedList) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::writeFile(path,
                    "[MAIN]\r\nFIDOPath=Fx\r\n"
                    "[Channels]\r\n1=Old\r\n2=ORT\r\n"
                    "[Channel1]\r\nDesc=Old one\r\nHide=1\r\n"
                    "[Channel2]\r\nDesc=First\r\n");
    IniFile ini(path);
    ChannelList list(&ini, "HH.MM", '.');
    list.addChannel("ORT");
    list.addChannel("Plain");
    list.addChannel("Spaced  ");
    list.items(1).setHide(true);
    list.items(2).setDesc(" padded ");
    int saved = 0;
    list.onSaved = [&] { ++saved; };
    list.save();
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(list.savedNames, (std::vector<std::string>{"1=ORT", "2=Plain", "3=Spaced  "}));

    EXPECT_EQ(ini.readString("MAIN", "FIDOPath", ""), "Fx");
    EXPECT_EQ(ini.readString("Channels", "1", ""), "ORT");
    EXPECT_EQ(ini.readString("Channel1", "Desc", "-"), "First");  // ORT kept its display name
    EXPECT_FALSE(ini.valueExists("Channel1", "Hide"));            // "Old" settings are gone
    EXPECT_EQ(ini.readString("Channel2", "Hide", ""), "1");
    EXPECT_FALSE(ini.valueExists("Channel2", "Desc"));  // Desc equal to Name
    EXPECT_FALSE(ini.valueExists("Channel3", "Hide"));  // Hide false
    EXPECT_EQ(ini.readString("Channels", "3", ""), "Spaced  ");

    // Read back through a new list, as the next day shown does.
    ChannelList again(&ini, "HH.MM", '.');
    again.addChannel("Plain");
    again.addChannel("Spaced  ");
    again.addChannel("Old");
    EXPECT_TRUE(again.items(0).hide);
    EXPECT_EQ(again.items(1).desc, " padded ");  // blanks survive the file
    EXPECT_EQ(again.items(2).desc, "Old");
    EXPECT_FALSE(again.items(2).hide);

    // Saving a shorter list removes the surplus keys and sections.
    ChannelList shorter(&ini, "HH.MM", '.');
    shorter.addChannel("Plain");
    shorter.save();
    EXPECT_EQ(ini.readSection("Channels"), std::vector<std::string>{"1"});
    EXPECT_EQ(ini.readString("Channel1", "Hide", ""), "1");
    EXPECT_FALSE(ini.sectionExists("Channel3"));
}

TEST(Channels, FindVisibleCountsShownTabs) {
    ChannelList list(nullptr, "HH.MM", '.');
    for (const char* n : {"A", "B", "C", "D"}) list.addChannel(n);
    list.items(0).setHide(true);
    list.items(1).setHide(true);
    list.items(3).setDesc("Shown D");
    int tab = 99;
    EXPECT_EQ(list.findVisible("C", tab), 2);
    EXPECT_EQ(tab, 0);
    EXPECT_EQ(list.findVisible("Shown D", tab), 3);
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(list.findVisible("A", tab), -1);  // hidden
    EXPECT_EQ(tab, -1);
    EXPECT_EQ(list.findVisible("D", tab), -1);  // Desc, not Name

    // A reminder job writes '"' as '\'': it still finds its channel, but an
    // exact name comes first.
    list.addChannel("E");
    list.addChannel("F");
    list.items(4).setDesc("Канал \"Ю\""_cp1251);
    list.items(5).setDesc("Канал 'Ю'"_cp1251);
    EXPECT_EQ(list.findVisible("Канал 'Ю'"_cp1251, tab), 5);
    list.items(5).setHide(true);
    EXPECT_EQ(list.findVisible("Канал 'Ю'"_cp1251, tab), 4);
    EXPECT_EQ(tab, 2);
}

}  // namespace
}  // namespace orbisk
