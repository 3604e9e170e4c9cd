#include "export/printtext.h"

#include <memory>

#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/timetext.h"
#include "listing/bodyparse.h"

namespace orbisk {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr std::size_t kLaterWidth = 72;
constexpr char kIndent[] = "        ";  // eight blanks before every later piece

}  // namespace

std::string CenterLine(std::string_view oem) {
    std::string line;
    if (oem.size() < kPrintWidth) line.assign(kPrintWidth / 2 - oem.size() / 2, ' ');
    line += oem;
    if (line.size() < kPrintWidth) line.resize(kPrintWidth, ' ');
    return line;
}

void AppendProgrammeLine(std::string& out, std::string_view oem) {
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

void AppendPrintDay(std::string& out, const Viewer& viewer, TDateTime date) {
    const TChannels& channels = viewer.Channels();
    const std::string dateText = FormatShortDate(date, viewer.Settings().Format());
    for (int c = 0; c < channels.Count(); ++c) {
        const TChannel& channel = channels.Items(c);
        if (channel.Hide) continue;
        out += CenterLine(AnsiToOem(dateText + ". " + channel.Desc));
        out += kCrLf;
        for (const std::string& line : channel.Lines) AppendProgrammeLine(out, AnsiToOem(line));
        out += kCrLf;
        out += kCrLf;
    }
    out.append(kPrintWidth, '-');
    out += kCrLf;
}

std::string BuildPrintText(Viewer& viewer) {
    std::unique_ptr<TChannels>& slot = viewer.ChannelsSlot();
    // The list of the day shown, once a later day has taken the slot. The
    // object itself goes back, so the selected channel and whatever the
    // window attached to the list stay as they were.
    std::unique_ptr<TChannels> shown;
    struct Restore {
        std::unique_ptr<TChannels>& slot;
        std::unique_ptr<TChannels>& shown;
        ~Restore() {
            if (shown) slot = std::move(shown);
        }
    } restore{slot, shown};

    std::string out;
    const TDateTime start = viewer.ShownDate();
    const int day = viewer.ShownDayIndex();
    for (int i = 0; day >= 0 && i <= 6 - day; ++i) {
        const TDateTime date = start + i;
        if (!viewer.Weeks().DayHasText(date)) continue;
        if (i > 0) {
            if (!shown) shown = std::move(slot);
            ParseDay(slot, viewer.Weeks(), date, viewer.Settings());
        }
        AppendPrintDay(out, viewer, date);
    }
    return out;
}

}  // namespace orbisk
