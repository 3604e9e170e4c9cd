#include "listing/channelrows.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "listing/channels.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

TEST(ChannelRows, RowsMirrorChannelsAndOnlyDifferencesApply) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::WriteFile(path, "[Channels]\r\n1=ORT\r\n2=NTV\r\n[Channel2]\r\nDesc=NTV+\r\nHide=1\r\n");
    IniFile ini(path);
    TChannels channels(&ini, "HH.MM", '.');
    channels.AddChannel("ORT");
    channels.AddChannel("NTV");
    channels.AddChannel("STS");

    std::vector<ChannelRow> rows = ChannelRowsOf(channels);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].desc, "ORT");
    EXPECT_TRUE(rows[0].shown);
    EXPECT_EQ(rows[1].desc, "NTV+");
    EXPECT_FALSE(rows[1].shown);
    EXPECT_EQ(rows[1].name, "NTV");

    // Unchanged rows: nothing happens.
    EXPECT_FALSE(ApplyChannelRows(channels, rows));

    rows[0].shown = false;      // hide ORT
    rows[1].desc = "NTV+ ";     // exact comparison: a trailing blank is a change
    EXPECT_TRUE(ApplyChannelRows(channels, rows));
    EXPECT_TRUE(channels.Items(0).Hide);
    EXPECT_EQ(channels.Items(0).Desc, "ORT");
    EXPECT_EQ(channels.Items(1).Desc, "NTV+ ");
    EXPECT_TRUE(channels.Items(1).Hide);
    EXPECT_FALSE(channels.Items(2).Hide);

    // A visibility change alone counts; rows beyond the list are ignored.
    rows = ChannelRowsOf(channels);
    rows[2].shown = false;
    rows.push_back({"extra", false, "extra"});
    EXPECT_TRUE(ApplyChannelRows(channels, rows));
    EXPECT_TRUE(channels.Items(2).Hide);
    // Fewer rows than channels: the rest stay.
    EXPECT_FALSE(ApplyChannelRows(channels, {}));
}

}  // namespace
}  // namespace orbisk
