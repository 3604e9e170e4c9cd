#pragma once
// A week of internet text files (7 to 13 December 2026) behind a Viewer,
// for the printing, JTV and deletion tests.
#include <map>
#include <string>
#include <vector>

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/ui.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk::test {

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon) override {
        shown.push_back(caption + ": " + text);
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

// Channel blocks of one day: {"name", "line", "line", ...}.
using DayBlocks = std::vector<std::vector<std::string>>;

// Text file for day `slot` (0 = Monday) of the week that starts on `monday`.
inline std::string weekDayFile(DateTime monday, int slot, const DayBlocks& channels) {
    const int dayName = slot == 6 ? 1 : slot + 2;
    int y, m, d;
    decodeDate(monday + slot, y, m, d);
    std::string text = "[tv.all]\r\n";
    for (const auto& block : channels) {
        text += "======\r\n" + std::string(kDayNames[dayName]) + ". " + std::to_string(d) + " " +
                kMonthNames[m] + ". " + block[0] + "\r\n-----------------\r\n";
        for (std::size_t i = 1; i < block.size(); ++i) text += block[i] + "\r\n";
    }
    return ansiToKoi8(text);
}

class WeekFixture {
public:
    // Days by slot; `iniMore` is appended to Orbisk.ini (channel settings).
    // The clock stands at 21:10 on the Wednesday of the week.
    explicit WeekFixture(const std::map<int, DayBlocks>& days, const std::string& iniMore = "",
                         DateTime mondayDate = encodeDate(2026, 12, 7))
        : monday(mondayDate), clock(mondayDate + 2 + encodeTime(21, 10)) {
        for (const auto& [slot, blocks] : days)
            writeFile(dir / (std::to_string(slot + 1) + ".txt"), weekDayFile(monday, slot, blocks));
        writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), iniMore);
        viewer.refreshListings(prompts, true);
    }

    DateTime day(int slot) const { return monday + slot; }

    DateTime monday;
    TempDir dir;
    RecordingNotifier notifier;
    FixedClock clock;
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
};

}  // namespace orbisk::test
