#pragma once
// Message body parsing: spreading a week's messages over its seven day
// texts, and turning one day's text into channels and programme entries.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/names.h"
#include "listing/weekindex.h"

namespace orbisk {

class Config;
class Notifier;
class ChannelList;

// The layout settings (section MSG and the day names) that the day texts
// are cut and distributed by.
struct DayLayout {
    std::string firstCaptionRow = "======";
    std::string lastDayRow = "--=tobra-attach";
    int delFromBegin = 5;
    int delFromEnd = 2;
    DayNames days;  // 1 = Sunday ... 7 = Saturday, as the captions write them
};

// The layout as the configuration holds it.
DayLayout layoutFromConfig(const Config& config);

// The mailing-structure warning: shown at most once while `shownFlag` (the
// main window's flag, cleared only when the window is created) stays set.
// A false MAIN/enableWarning keeps it silent without setting the flag.
class StructureWarning {
public:
    StructureWarning(Notifier& notifier, bool enabled, bool& shownFlag)
        : notifier_(notifier), enabled_(enabled), shown_(shownFlag) {}
    // A message that does not follow its predecessor in part order.
    void raise();
    // How many messages were out of sequence since this object was made.
    int raisedCount() const { return raised_; }

private:
    Notifier& notifier_;
    bool enabled_;
    bool& shown_;
    int raised_ = 0;
};

// Caption and text of the warning box (Windows-1251).
extern const char* const kStructureWarningCaption;
extern const char* const kStructureWarningText;

// Lines of a text as the lists read it: a line ends at CR LF, LF or CR; a
// final line break adds no empty line.
StringList splitLines(std::string_view text);

// Fills `channels` (a fresh list) from the text of one day: a channel per
// caption block, its programme lines as entries. normalize(fromFiles) runs
// at the end also when the parse was interrupted by an error.
void parseDayText(ChannelList& channels, const DayLines& day, bool fromFiles, std::string_view firstCaptionRow);
void parseDayText(ChannelList& channels, const StringList& day, bool fromFiles, std::string_view firstCaptionRow);
void parseDayLines(ChannelList& channels, const std::vector<std::string_view>& day, bool fromFiles,
                   std::string_view firstCaptionRow);

// Main-window operation: `channels` is replaced by a new list on the
// configuration file, filled from the text of the day that holds `date`
// (left empty when no week has text for it). When the parse fails the error
// goes on, and `channels` holds what was built, normalised.
void parseDay(std::unique_ptr<ChannelList>& channels, const WeekIndex& weeks, DateTime date, Config& config);

// Repairs the start-time prefix of a text-file programme line: blanks
// removed, "1930" -> "19.30", "9.30" -> "09.30", "19." -> "19.00".
std::string normalizeTime(std::string_view prefix);

}  // namespace orbisk
