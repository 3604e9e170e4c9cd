#pragma once
// The week index: the listing messages (or internet text files) of one load,
// filed under the Monday-to-Sunday weeks their dates fall into, and once
// built the listing text of each day.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/names.h"

namespace orbisk {

class MessageArea;
class Notifier;
class Clock;
class StructureWarning;
struct DayLayout;

using StringList = std::vector<std::string>;

// ---- Body lines --------------------------------------------------------

// True when `line` begins (exact case) with one of the prefixes, tried in
// list order. An empty prefix matches nothing.
bool IsKludgeLine(std::string_view line, const StringList& kludges);

// The next body line of the area's current message, at most `maxLength`
// characters, kludge lines skipped. An empty line is never skipped, and a
// kludge line that ends the text is returned.
std::string ReadBodyLine(MessageArea& area, int maxLength, const StringList& kludges);

// ---- Descriptors ---------------------------------------------------------

struct TMSGDesc {
    bool IsListing = false;
    // The body lines until the days are built; none before and after.
    std::optional<StringList> Lines;
    std::int32_t PartNo = 0;
    std::int32_t PartCount = 0;
    std::int32_t MsgNum = 0;

    // A message of the area. A listing subject with a part number that is no
    // integer throws Error("'<text>' is not a valid integer value").
    static TMSGDesc Create(std::int32_t msgNum, std::string_view subject);
    // Internet text file `dayNo` (1 = Monday ... 7 = Sunday).
    static TMSGDesc CreateForFile(std::int32_t dayNo);
};

// ---- One week --------------------------------------------------------------

class TWeek {
public:
    // The week (Monday to Sunday) that holds `aDate`.
    explicit TWeek(TDateTime aDate);

    TDateTime StartDate = 0;  // the Monday
    TDateTime EndDate = 0;    // StartDate + 6, the Sunday
    std::vector<TMSGDesc> Messages;
    // Slot 0 = Monday ... 6 = Sunday; empty until BuildDays.
    std::vector<StringList> Days;
    bool FromFiles = false;

    bool Contains(TDateTime aDate) const;
    // The text of the day of `aDate`, or null outside the week or before the
    // days were built.
    const StringList* GetDay(TDateTime aDate) const;
    bool DayHasText(TDateTime aDate) const;

    // Files the area's current message, whose text has been read up to and
    // including the dating line; the remaining body lines become its Lines.
    void AddMessage(MessageArea& area, const StringList& kludges);
    void AddFileDay(std::int32_t dayNo, const StringList& fileLines);

    // Spreads the messages over the seven day texts and releases their Lines.
    // Every descriptor keeps PartNo and MsgNum.
    void BuildDays(const DayLayout& layout, StructureWarning* warning);
    // Adds one message's text to the days, starting at the current day slot
    // `day`, which it advances. False: the week's remaining messages are not
    // distributed.
    bool DistributeText(const StringList& lines, bool inSequence, int& day, const DayLayout& layout,
                        StructureWarning* warning);
};

// ---- The index -----------------------------------------------------------------

class TWeeks {
public:
    // In the order the weeks were created; never sorted.
    std::vector<std::unique_ptr<TWeek>> Items;

    void Clear() { Items.clear(); }
    TWeek* FindWeek(TDateTime aDate) const;
    const StringList* GetDay(TDateTime aDate) const;
    bool DayHasText(TDateTime aDate) const;

    // Files one listing message of the area, its text started: the body is
    // read up to the dating line (a line holding "=?koi8-r?"); without one
    // the message joins no week and false is returned. A dating line whose
    // numbers do not convert or form no date throws Error.
    bool AddMessage(MessageArea& area, const StringList& kludges, const Clock& clock);
    // Files internet text file `dayNo` under the week of the date of its
    // second line (the zero date's week when that line names no date, after
    // the caption-date message; also when there is no second line).
    void AddFileDay(std::int32_t dayNo, const StringList& fileLines, const TMonths& months, Notifier& notifier,
                    const Clock& clock);
    void BuildAll(const DayLayout& layout, StructureWarning* warning);

private:
    TWeek& WeekFor(TDateTime aDate);
};

}  // namespace orbisk
