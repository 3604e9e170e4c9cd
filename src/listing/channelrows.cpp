#include "listing/channelrows.h"

#include <algorithm>

#include "listing/channels.h"

namespace orbisk {

std::vector<ChannelRow> ChannelRowsOf(const TChannels& channels) {
    std::vector<ChannelRow> rows;
    rows.reserve(static_cast<std::size_t>(channels.Count()));
    for (int i = 0; i < channels.Count(); ++i) {
        const TChannel& c = channels.Items(i);
        rows.push_back({c.Desc, !c.Hide, c.Name});
    }
    return rows;
}

bool ApplyChannelRows(TChannels& channels, const std::vector<ChannelRow>& rows) {
    bool changed = false;
    const int n = std::min(channels.Count(), static_cast<int>(rows.size()));
    for (int i = 0; i < n; ++i) {
        TChannel& c = channels.Items(i);
        const ChannelRow& row = rows[static_cast<std::size_t>(i)];
        if (row.shown != !c.Hide) {
            c.SetHide(!row.shown);
            changed = true;
        }
        if (row.desc != c.Desc) {
            c.SetDesc(row.desc);
            changed = true;
        }
    }
    return changed;
}

}  // namespace orbisk
