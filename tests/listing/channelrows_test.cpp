#include "listing/channelrows.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "listing/channellist.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

TEST(ChannelRows, RowsMirrorChannelsAndOnlyDifferencesApply) {
    test::TempDir dir;
    const std::string path = dir / "Orbisk.ini";
    test::writeFile(path, "[Channels]\r\n1=ORT\r\n2=NTV\r\n[Channel2]\r\nDesc=NTV+\r\nHide=1\r\n");
    IniFile ini(path);
    ChannelList channels(&ini, "HH.MM", '.');
    channels.addChannel("ORT");
    channels.addChannel("NTV");
    channels.addChannel("STS");

    std::vector<ChannelRow> rows = channelRowsOf(channels);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].desc, "ORT");
    EXPECT_TRUE(rows[0].shown);
    EXPECT_EQ(rows[1].desc, "NTV+");
    EXPECT_FALSE(rows[1].shown);
    EXPECT_EQ(rows[1].name, "NTV");

    // Unchanged rows: nothing happens.
    EXPECT_FALSE(applyChannelRows(channels, rows));

    rows[0].shown = false;      // hide ORT
    rows[1].desc = "NTV+ ";     // exact comparison: a trailing blank is a change
    EXPECT_TRUE(applyChannelRows(channels, rows));
    EXPECT_TRUE(channels.items(0).hide);
    EXPECT_EQ(channels.items(0).desc, "ORT");
    EXPECT_EQ(channels.items(1).desc, "NTV+ ");
    EXPECT_TRUE(channels.items(1).hide);
    EXPECT_FALSE(channels.items(2).hide);

    // A visibility change alone counts; rows beyond the list are ignored.
    rows = channelRowsOf(channels);
    rows[2].shown = false;
    rows.push_back({"extra", false, "extra"});
    EXPECT_TRUE(applyChannelRows(channels, rows));
    EXPECT_TRUE(channels.items(2).hide);
    // Fewer rows than channels: the rest stay.
    EXPECT_FALSE(applyChannelRows(channels, {}));
}

}  // namespace
}  // namespace orbisk
