#include "listing/channelrows.h"

#include <algorithm>

#include "listing/channellist.h"

namespace orbisk {

std::vector<ChannelRow> channelRowsOf(const ChannelList& channels) {
    std::vector<ChannelRow> rows;
    rows.reserve(static_cast<std::size_t>(channels.count()));
    for (int i = 0; i < channels.count(); ++i) {
        const Channel& c = channels.items(i);
        rows.push_back({c.desc, !c.hide, c.name});
    }
    return rows;
}

bool applyChannelRows(ChannelList& channels, const std::vector<ChannelRow>& rows) {
    bool changed = false;
    const int n = std::min(channels.count(), static_cast<int>(rows.size()));
    for (int i = 0; i < n; ++i) {
        Channel& c = channels.items(i);
        const ChannelRow& row = rows[static_cast<std::size_t>(i)];
        if (row.shown != !c.hide) {
            c.setHide(!row.shown);
            changed = true;
        }
        if (row.desc != c.desc) {
            c.setDesc(row.desc);
            changed = true;
        }
    }
    return changed;
}

}  // namespace orbisk
