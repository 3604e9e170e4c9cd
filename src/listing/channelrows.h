#pragma once
// The channel list dialog's rows: what it shows for each channel and how its
// edits go back into the channels.
#include <string>
#include <vector>

namespace orbisk {

class ChannelList;

struct ChannelRow {
    std::string desc;  // display name (first column)
    bool shown = true;  // check box: not hidden
    std::string name;   // listing name (second column), not editable
};

// One row per channel, in list order.
std::vector<ChannelRow> channelRowsOf(const ChannelList& channels);

// For each channel in order: setHide when the row's check state differs from
// not hidden, setDesc when the row's name differs from `desc` (exact bytes).
// Rows beyond the channel count are ignored; missing rows change nothing.
// True when any setter ran — the caller then saves the list.
bool applyChannelRows(ChannelList& channels, const std::vector<ChannelRow>& rows);

}  // namespace orbisk
