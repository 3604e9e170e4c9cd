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
#include "msgbase/messagearea.h"

namespace orbisk {

class Notifier;
class Clock;
class StructureWarning;
struct DayLayout;

using StringList = std::vector<std::string>;

// ---- Body lines --------------------------------------------------------

// True when `line` begins (exact case) with one of the prefixes, tried in
// list order. An empty prefix matches nothing.
bool isKludgeLine(std::string_view line, const StringList& kludges);

// The next body line of the area's current message, at most `maxLength`
// characters, kludge lines skipped. An empty line is never skipped, and a
// kludge line that ends the text is returned.
std::string readBodyLine(MessageArea& area, int maxLength, const StringList& kludges);
// The same into `line`, whose capacity is kept from line to line.
void readBodyLine(MessageArea& area, int maxLength, const StringList& kludges, std::string& line);

// Calls `f` with each line of `text`: a line ends at CR LF, LF or CR; a
// final line break adds no empty line.
template <class F>
void forEachLine(std::string_view text, F f) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n') ++q;
        f(std::string_view(p, static_cast<std::size_t>(q - p)));
        if (q == end) break;
        p = q + (*q == '\r' && q + 1 < end && q[1] == '\n' ? 2 : 1);
    }
}

// ---- Descriptors ---------------------------------------------------------

// The body lines of one message in one buffer, each line followed by CR LF:
// the days are cut from this text as it stands, and a listing costs one
// growing buffer rather than an allocation per line.
class BodyLines {
public:
    BodyLines() = default;
    BodyLines(const StringList& lines);  // NOLINT(google-explicit-constructor): filed as a list
    void push_back(std::string_view line);
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    // Line i without its CR LF.
    std::string_view operator[](std::size_t i) const;
    // Lines [from, to) as one text, each followed by CR LF.
    std::string_view joined(std::size_t from, std::size_t to) const;
    StringList toList() const;
    // Empty, keeping the room it has.
    void clear();
    // The text, from now on shared with the day texts cut from it; a later
    // push_back copies it first.
    std::shared_ptr<const std::string> share();
    friend bool operator==(const BodyLines& a, const StringList& b);

private:
    std::size_t start(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
    std::string_view text() const { return shared_ ? std::string_view(*shared_) : std::string_view(text_); }
    std::string text_;
    std::shared_ptr<const std::string> shared_;
    // Offset after each line's CR LF; a message's text stays far below 4 GB.
    std::vector<std::uint32_t> ends_;
};

// The text of one day: pieces of the week's message texts, each read as
// splitLines reads a text, held where the messages' text lies rather than
// copied line by line. Years of listings fold into the same weeks, so this
// is most of what a load keeps. Its lines hold no CR or LF.
class DayLines {
public:
    using SharedText = std::shared_ptr<const std::string>;

    DayLines() = default;
    DayLines(const StringList& lines);  // NOLINT(google-explicit-constructor): a day given as lines
    // Adds the lines of `piece`, which lies within `*owner`.
    void append(SharedText owner, std::string_view piece);
    void append(std::string text);
    bool empty() const { return pieces_.empty(); }
    std::size_t size() const;
    std::vector<std::string_view> lines() const;
    StringList toList() const;
    friend bool operator==(const DayLines& a, const StringList& b);
    friend bool operator==(const DayLines& a, const DayLines& b) { return a.lines() == b.lines(); }

private:
    struct Piece {
        SharedText owner;
        std::string_view text;
    };
    std::vector<Piece> pieces_;
};

struct ListingMessage {
    bool isListing = false;
    // The body lines until the days are built; none before and after.
    std::optional<BodyLines> lines;
    std::int32_t partNo = 0;
    std::int32_t partCount = 0;
    std::int32_t msgNum = 0;
    // Who the message was when it was read; a deletion checks it again.
    MessageIdentity identity;

    // A message of the area. A listing subject with a part number that is no
    // integer throws Error("'<text>' is not a valid integer value").
    static ListingMessage create(std::int32_t msgNum, std::string_view subject);
    // Internet text file `dayNo` (1 = Monday ... 7 = Sunday).
    static ListingMessage createForFile(std::int32_t dayNo);
};

// ---- One week --------------------------------------------------------------

class Week {
public:
    // The week (Monday to Sunday) that holds `aDate`.
    explicit Week(DateTime aDate);

    DateTime startDate = 0;  // the Monday
    DateTime endDate = 0;    // startDate + 6, the Sunday
    std::vector<ListingMessage> messages;
    // Slot 0 = Monday ... 6 = Sunday; empty until buildDays.
    std::vector<DayLines> days;
    bool fromFiles = false;

    bool contains(DateTime aDate) const;
    // The text of the day of `aDate`, or null outside the week or before the
    // days were built.
    const DayLines* getDay(DateTime aDate) const;
    bool dayHasText(DateTime aDate) const;

    // Files the area's current message, whose text has been read up to and
    // including the dating line; the remaining body lines become its `lines`.
    void addMessage(MessageArea& area, const StringList& kludges);
    void addFileDay(std::int32_t dayNo, const StringList& fileLines);

    // Spreads the messages over the seven day texts and releases their `lines`.
    // Every descriptor keeps partNo and msgNum.
    void buildDays(const DayLayout& layout, StructureWarning* warning);
    // Adds one message's text (lines each followed by CR LF, lying within
    // `*owner`) to the days, starting at the current day slot `day`, which
    // it advances. False: the week's remaining messages are not distributed.
    bool distributeText(const DayLines::SharedText& owner, std::string_view text, bool inSequence, int& day,
                        const DayLayout& layout, StructureWarning* warning);
};

// ---- The index -----------------------------------------------------------------

class WeekIndex {
public:
    // In the order the weeks were created; never sorted.
    std::vector<std::unique_ptr<Week>> items;

    void clear() { items.clear(); }
    Week* findWeek(DateTime aDate) const;
    const DayLines* getDay(DateTime aDate) const;
    bool dayHasText(DateTime aDate) const;

    // Files one listing message of the area, its text started: the body is
    // read up to the dating line (a line holding "=?koi8-r?"); without one
    // the message joins no week and false is returned; so it does when the
    // dating line gives no date. Never throws for what the text holds.
    bool addMessage(MessageArea& area, const StringList& kludges, const Clock& clock);
    // Files internet text file `dayNo` under the week of the date of its
    // second line (the zero date's week when that line names no date, after
    // the caption-date message; also when there is no second line).
    void addFileDay(std::int32_t dayNo, const StringList& fileLines, const MonthNames& months, Notifier& notifier,
                    const Clock& clock);
    void buildAll(const DayLayout& layout, StructureWarning* warning);
    // The week that holds `aDate`, made when there is none.
    Week& ensureWeek(DateTime aDate) { return weekFor(aDate); }

private:
    Week& weekFor(DateTime aDate);
};

}  // namespace orbisk
