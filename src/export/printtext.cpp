#include "export/printtext.h"

#include <memory>

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/timetext.h"
#include "listing/bodyparse.h"

namespace orbisk {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr std::size_t kLaterWidth = 72;
constexpr char kIndent[] = "        ";  // eight blanks before every later piece

}  // namespace

std::string centerLine(std::string_view oem) {
    std::string line;
    if (oem.size() < kPrintWidth) line.assign(kPrintWidth / 2 - oem.size() / 2, ' ');
    line += oem;
    if (line.size() < kPrintWidth) line.resize(kPrintWidth, ' ');
    return line;
}

void appendProgrammeLine(std::string& out, std::string_view oem) {
    const std::size_t n = oem.size();
    if (n <= kPrintWidth) {
        out += oem;
        out += kCrLf;
        return;
    }
    std::size_t written = 0;
    while (written < n) {
        const std::size_t width = written == 0 ? kPrintWidth : kLaterWidth;
        std::size_t piece = n - written;
        if (written + width <= n) {
            // Break after the last blank within the width; a piece without
            // one (the blank would have to be its very first character) is
            // cut hard at the width.
            piece = width;
            while (piece > 1 && oem[written + piece - 1] != ' ') --piece;
            if (piece == 1) piece = width;
        }
        if (written > 0) out += kIndent;
        out += oem.substr(written, piece);
        out += kCrLf;
        written += piece;
    }
}

void appendPrintDay(std::string& out, const Viewer& viewer, DateTime date) {
    const ChannelList& channels = viewer.channels();
    const std::string dateText = formatShortDate(date, viewer.settings().format());
    for (int c = 0; c < channels.count(); ++c) {
        const Channel& channel = channels.items(c);
        if (channel.hide) continue;
        out += centerLine(ansiToOem(dateText + ". " + channel.desc));
        out += kCrLf;
        for (const std::string& line : channel.lines) appendProgrammeLine(out, ansiToOem(line));
        out += kCrLf;
        out += kCrLf;
    }
    out.append(kPrintWidth, '-');
    out += kCrLf;
}

std::string buildPrintText(Viewer& viewer) {
    std::unique_ptr<ChannelList>& slot = viewer.channelsSlot();
    // The list of the day shown, once a later day has taken the slot. The
    // object itself goes back, so the selected channel and whatever the
    // window attached to the list stay as they were.
    std::unique_ptr<ChannelList> shown;
    struct Restore {
        std::unique_ptr<ChannelList>& slot;
        std::unique_ptr<ChannelList>& shown;
        ~Restore() {
            if (shown) slot = std::move(shown);
        }
    } restore{slot, shown};

    std::string out;
    const DateTime start = viewer.shownDate();
    const int day = viewer.shownDayIndex();
    for (int i = 0; day >= 0 && i <= 6 - day; ++i) {
        const DateTime date = start + i;
        if (!viewer.weeks().dayHasText(date)) continue;
        if (i > 0) {
            if (!shown) shown = std::move(slot);
            parseDay(slot, viewer.weeks(), date, viewer.settings());
        }
        appendPrintDay(out, viewer, date);
    }
    return out;
}

}  // namespace orbisk
