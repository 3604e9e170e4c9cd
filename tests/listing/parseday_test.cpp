#include <gtest/gtest.h>

#include "app/config/config.h"
#include "base/datetime.h"
#include "listing/bodyparse.h"
#include "listing/channels.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

struct NoPrompts : ConfigPrompts {
    bool EditMessageBase(Config&) override { return false; }
    bool EditMessageParams(Config&) override { return false; }
};

// The day parse on the configuration file: TimeFormat gives the length and
// separator of the time texts, the saved channel settings are applied.
TEST(ParseDay, UsesTheConfigurationFile) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    std::string ini = "[MAIN]\r\nFIDOPath=Fx\r\nEnableWarning=0\r\n[DAYS]\r\n";
    for (int i = 1; i <= 7; ++i) ini += std::to_string(i) + "=D" + std::to_string(i) + "\r\n";
    ini += "[MONTHS]\r\n";
    for (int i = 1; i <= 12; ++i) ini += std::to_string(i) + "=M" + std::to_string(i) + "\r\n";
    ini += "[MSG]\r\nFirstCaptionRow=####\r\nLastCaptionRow=----\r\nLastDayRow=@@\r\nTimeFormat=hh:mm\r\n"
           "DelFromBegin=1\r\nDelFromEnd=0\r\n"
           "[Channels]\r\n1=Two\r\n[Channel1]\r\nDesc=Second\r\nHide=1\r\n";
    test::WriteFile(path, ini);
    Config config(path);
    NoPrompts prompts;
    ASSERT_TRUE(config.LoadConfig(prompts));

    const DayLayout layout = LayoutFromConfig(config);
    EXPECT_EQ(layout.FirstCaptionRow, "####");
    EXPECT_EQ(layout.LastDayRow, "@@");
    EXPECT_EQ(layout.DelFromBegin, 1);
    EXPECT_EQ(layout.DelFromEnd, 0);
    EXPECT_EQ(layout.Days[3], "D3");

    TWeeks weeks;
    weeks.Items.push_back(std::make_unique<TWeek>(EncodeDate(2024, 6, 4)));
    TWeek& week = *weeks.Items[0];
    TMSGDesc d;
    d.PartNo = 1;
    d.Lines = StringList{"junk", "####", "D2. 3 M6 One", "----", "06:00 A", "more", "@@",
                         "####", "D3. 4 M6 Two", "----", "07:30 B"};
    week.Messages.push_back(std::move(d));
    week.BuildDays(layout, nullptr);

    std::unique_ptr<TChannels> channels;
    ParseDay(channels, weeks, EncodeDate(2024, 6, 3), config);
    ASSERT_EQ(channels->Count(), 1);
    EXPECT_EQ(channels->Items(0).Name, "One");
    EXPECT_EQ(channels->Items(0).Lines, StringList{"06:00 A more"});
    EXPECT_EQ(channels->Items(0).FindCurrent(EncodeTime(12, 0)), 0);

    ParseDay(channels, weeks, EncodeDate(2024, 6, 4), config);
    ASSERT_EQ(channels->Count(), 1);
    EXPECT_EQ(channels->Items(0).Desc, "Second");
    EXPECT_TRUE(channels->Items(0).Hide);
    EXPECT_EQ(channels->Items(0).Times, StringList{"07:30"});

    // A date outside every week gives an empty list.
    ParseDay(channels, weeks, EncodeDate(2025, 1, 1), config);
    EXPECT_EQ(channels->Count(), 0);
}

}  // namespace
}  // namespace orbisk
