#include "listing/channels.h"

#include <gtest/gtest.h>

#include "base/datetime.h"
#include "base/error.h"
#include "base/inifile.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

TChannel ChannelWith(std::initializer_list<const char*> times) {
    TChannel c;
    for (const char* t : times) {
        c.Times.push_back(t);
        c.Lines.push_back(std::string(t) + " Programme");
    }
    return c;
}

TEST(FindCurrent, NightEntriesBelongToTheDayBefore) {
    const TChannel c = ChannelWith({"06.00", "23.30", "01.00"});
    EXPECT_EQ(c.FindCurrent(EncodeTime(0, 15)), 1);
    EXPECT_EQ(c.FindCurrent(EncodeTime(2, 0)), 2);
    EXPECT_EQ(c.FindCurrent(EncodeTime(4, 29)), 2);
    EXPECT_EQ(c.FindCurrent(EncodeTime(4, 30)), -1);
    EXPECT_EQ(c.FindCurrent(EncodeTime(4, 40)), -1);
    EXPECT_EQ(c.FindCurrent(EncodeTime(5, 0)), -1);
    EXPECT_EQ(c.FindCurrent(EncodeTime(6, 0)), 0);
    EXPECT_EQ(c.FindCurrent(EncodeTime(23, 29, 59)), 0);
    EXPECT_EQ(c.FindCurrent(EncodeTime(23, 30)), 1);
    // Midnight itself is already the night after the day.
    EXPECT_EQ(c.FindCurrent(0.0), 1);
    // The date part of a moment is ignored.
    EXPECT_EQ(c.FindCurrent(EncodeDate(2024, 3, 5) + EncodeTime(6, 0)), 0);
}

TEST(FindCurrent, DayEndingBeforeMidnightAndEmptyChannel) {
    const TChannel c = ChannelWith({"06.00", "12.00", "22.00"});
    EXPECT_EQ(c.FindCurrent(EncodeTime(5, 0)), -1);
    EXPECT_EQ(c.FindCurrent(EncodeTime(12, 0)), 1);  // equal start is running
    EXPECT_EQ(c.FindCurrent(EncodeTime(11, 59)), 0);
    // After the last entry it runs until the day boundary.
    EXPECT_EQ(c.FindCurrent(EncodeTime(23, 59)), 2);
    EXPECT_EQ(c.FindCurrent(EncodeTime(3, 0)), 2);
    EXPECT_EQ(TChannel{}.FindCurrent(EncodeTime(12, 0)), -1);

    // A day that starts after midnight: before its first start nothing runs.
    const TChannel night = ChannelWith({"01.00", "02.00"});
    EXPECT_EQ(night.FindCurrent(EncodeTime(0, 30)), -1);
}

TEST(FindCurrent, InvalidTimeTextThrows) {
    TChannel c = ChannelWith({"06.00", "ab.cd", "23.00"});
    EXPECT_THROW(c.FindCurrent(EncodeTime(12, 0)), Error);
    c = ChannelWith({"06.00", "24.00"});
    try {
        c.FindCurrent(EncodeTime(12, 0));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'24.00' is not a valid time");
    }
    // Another separator reads other texts.
    c = ChannelWith({"06:00", "20:00"});
    EXPECT_THROW(c.FindCurrent(EncodeTime(12, 0)), Error);
    c.TimeSeparator = ':';
    EXPECT_EQ(c.FindCurrent(EncodeTime(21, 0)), 1);
}

TEST(ChannelEntries, DeleteAndJoinKeepListsParallel) {
    TChannel c = ChannelWith({"06.00", "07.00", "08.00"});
    c.JoinWithPrevious(1);
    ASSERT_EQ(c.EntryCount(), 2);
    EXPECT_EQ(c.Lines[0], "06.00 Programme 07.00 Programme");
    EXPECT_EQ(c.Times[0], "06.00");
    EXPECT_EQ(c.Times[1], "08.00");
    c.JoinWithPrevious(0);  // only deleted
    ASSERT_EQ(c.EntryCount(), 1);
    EXPECT_EQ(c.Lines[0], "08.00 Programme");
    c.DeleteEntry(5);
    c.DeleteEntry(-1);
    c.JoinWithPrevious(3);
    EXPECT_EQ(c.Lines.size(), 1u);
    EXPECT_EQ(c.Times.size(), 1u);
}

TEST(Channels, AddLineSplitsTimeAndSelectionRules) {
    TChannels list(nullptr, "HH.MM", '.');
    EXPECT_EQ(list.AddLine("19.30 Film"), -1);  // no channel yet
    EXPECT_EQ(list.Current(), nullptr);
    EXPECT_EQ(list.AddChannel("A"), 0);
    EXPECT_EQ(list.AddChannel("B"), 1);
    EXPECT_EQ(list.Current(), &list.Items(1));
    EXPECT_EQ(list.AddLine("19.30 Film"), 0);
    EXPECT_EQ(list.AddLine("7.5"), 1);
    EXPECT_EQ(list.Items(1).Times[0], "19.30");
    EXPECT_EQ(list.Items(1).Times[1], "7.5");
    EXPECT_EQ(list.Items(1).Index, 1);
    list.Select(0);
    EXPECT_EQ(list.Current()->Name, "A");
    EXPECT_THROW(list.Items(2), Error);
    EXPECT_THROW(list.Select(-1), Error);
    EXPECT_TRUE(list.IsProgrammeLine("19.30 Film"));
    EXPECT_TRUE(list.IsProgrammeLine("9.30 Film"));  // "9.30 " reads as a time
    EXPECT_FALSE(list.IsProgrammeLine("9.30Film"));
    EXPECT_FALSE(list.IsProgrammeLine("25.00 Film"));
    EXPECT_FALSE(list.IsProgrammeLine(""));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Current(), nullptr);
}

TEST(Channels, SavedSettingsAreReadByName) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::WriteFile(path,
                    "[Channels]\r\n1=NTV\r\n2=ORT\r\n3=Sport\r\n"
                    "[Channel1]\r\nDesc=NTV display\r\n"
                    "[Channel2]\r\nHide=1\r\n"
                    "[Channel3]\r\nDesc=never\r\n");
    IniFile ini(path);
    TChannels list(&ini, "HH.MM", '.');
    EXPECT_EQ(list.SavedNames, (std::vector<std::string>{"1=NTV", "2=ORT", "3=Sport"}));
    list.AddChannel("NTV");
    list.AddChannel("ORT");
    list.AddChannel("NTV");
    list.AddChannel("ntv");  // names compare exactly
    list.AddChannel("New");
    EXPECT_EQ(list.Items(0).Desc, "NTV display");
    EXPECT_FALSE(list.Items(0).Hide);
    EXPECT_EQ(list.Items(1).Desc, "ORT");
    EXPECT_TRUE(list.Items(1).Hide);
    EXPECT_EQ(list.Items(2).Desc, "NTV display");
    EXPECT_EQ(list.Items(3).Desc, "ntv");
    EXPECT_EQ(list.Items(4).Desc, "New");
    EXPECT_FALSE(list.Items(4).Hide);

    // Only numbers up to the count of saved lines are looked at.
    test::WriteFile(path, "[Channels]\r\n1=A\r\n3=Sport\r\n[Channel3]\r\nDesc=S\r\n");
    TChannels gappy(&ini, "HH.MM", '.');
    gappy.AddChannel("Sport");
    EXPECT_EQ(gappy.Items(0).Desc, "Sport");
}

TEST(Channels, SaveReplacesThePersistedList) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::WriteFile(path,
                    "[MAIN]\r\nFIDOPath=Fx\r\n"
                    "[Channels]\r\n1=Old\r\n2=ORT\r\n"
                    "[Channel1]\r\nDesc=Old one\r\nHide=1\r\n"
                    "[Channel2]\r\nDesc=First\r\n");
    IniFile ini(path);
    TChannels list(&ini, "HH.MM", '.');
    list.AddChannel("ORT");
    list.AddChannel("Plain");
    list.AddChannel("Spaced  ");
    list.Items(1).SetHide(true);
    list.Items(2).SetDesc(" padded ");
    int saved = 0;
    list.OnSaved = [&] { ++saved; };
    list.Save();
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(list.SavedNames, (std::vector<std::string>{"1=ORT", "2=Plain", "3=Spaced  "}));

    EXPECT_EQ(ini.ReadString("MAIN", "FIDOPath", ""), "Fx");
    EXPECT_EQ(ini.ReadString("Channels", "1", ""), "ORT");
    EXPECT_EQ(ini.ReadString("Channel1", "Desc", "-"), "First");  // ORT kept its display name
    EXPECT_FALSE(ini.ValueExists("Channel1", "Hide"));            // "Old" settings are gone
    EXPECT_EQ(ini.ReadString("Channel2", "Hide", ""), "1");
    EXPECT_FALSE(ini.ValueExists("Channel2", "Desc"));  // Desc equal to Name
    EXPECT_FALSE(ini.ValueExists("Channel3", "Hide"));  // Hide false
    EXPECT_EQ(ini.ReadString("Channels", "3", ""), "Spaced  ");

    // Read back through a new list, as the next day shown does.
    TChannels again(&ini, "HH.MM", '.');
    again.AddChannel("Plain");
    again.AddChannel("Spaced  ");
    again.AddChannel("Old");
    EXPECT_TRUE(again.Items(0).Hide);
    EXPECT_EQ(again.Items(1).Desc, " padded ");  // blanks survive the file
    EXPECT_EQ(again.Items(2).Desc, "Old");
    EXPECT_FALSE(again.Items(2).Hide);

    // Saving a shorter list removes the surplus keys and sections.
    TChannels shorter(&ini, "HH.MM", '.');
    shorter.AddChannel("Plain");
    shorter.Save();
    EXPECT_EQ(ini.ReadSection("Channels"), std::vector<std::string>{"1"});
    EXPECT_EQ(ini.ReadString("Channel1", "Hide", ""), "1");
    EXPECT_FALSE(ini.SectionExists("Channel3"));
}

TEST(Channels, FindVisibleCountsShownTabs) {
    TChannels list(nullptr, "HH.MM", '.');
    for (const char* n : {"A", "B", "C", "D"}) list.AddChannel(n);
    list.Items(0).SetHide(true);
    list.Items(1).SetHide(true);
    list.Items(3).SetDesc("Shown D");
    int tab = 99;
    EXPECT_EQ(list.FindVisible("C", tab), 2);
    EXPECT_EQ(tab, 0);
    EXPECT_EQ(list.FindVisible("Shown D", tab), 3);
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(list.FindVisible("A", tab), -1);  // hidden
    EXPECT_EQ(tab, -1);
    EXPECT_EQ(list.FindVisible("D", tab), -1);  // Desc, not Name
}

}  // namespace
}  // namespace orbisk
