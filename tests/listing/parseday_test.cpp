#include <gtest/gtest.h>

#include "config/config.h"
#include "base/datetime.h"
#include "listing/bodyparse.h"
#include "listing/channellist.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

struct NoPrompts : ConfigPrompts {
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

// The day parse on the configuration file: timeFormat gives the length and
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
    test::writeFile(path, ini);
    Config config(path);
    NoPrompts prompts;
    ASSERT_TRUE(config.loadConfig(prompts));

    const DayLayout layout = layoutFromConfig(config);
    EXPECT_EQ(layout.firstCaptionRow, "####");
    EXPECT_EQ(layout.lastDayRow, "@@");
    EXPECT_EQ(layout.delFromBegin, 1);
    EXPECT_EQ(layout.delFromEnd, 0);
    EXPECT_EQ(layout.days[3], "D3");

    WeekIndex weeks;
    weeks.items.push_back(std::make_unique<Week>(encodeDate(2024, 6, 4)));
    Week& week = *weeks.items[0];
    ListingMessage d;
    d.partNo = 1;
    d.lines = StringList{"junk", "####", "D2. 3 M6 One", "----", "06:00 A", "more", "@@",
                         "####", "D3. 4 M6 Two", "----", "07:30 B"};
    week.messages.push_back(std::move(d));
    week.buildDays(layout, nullptr);

    std::unique_ptr<ChannelList> channels;
    parseDay(channels, weeks, encodeDate(2024, 6, 3), config);
    ASSERT_EQ(channels->count(), 1);
    EXPECT_EQ(channels->items(0).name, "One");
    EXPECT_EQ(channels->items(0).lines, StringList{"06:00 A more"});
    EXPECT_EQ(channels->items(0).findCurrent(encodeTime(12, 0)), 0);

    parseDay(channels, weeks, encodeDate(2024, 6, 4), config);
    ASSERT_EQ(channels->count(), 1);
    EXPECT_EQ(channels->items(0).desc, "Second");
    EXPECT_TRUE(channels->items(0).hide);
    EXPECT_EQ(channels->items(0).times, StringList{"07:30"});

    // A date outside every week gives an empty list.
    parseDay(channels, weeks, encodeDate(2025, 1, 1), config);
    EXPECT_EQ(channels->count(), 0);
}

}  // namespace
}  // namespace orbisk
