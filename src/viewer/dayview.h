#pragma once
// What the day view shows, computed without a widget: the text of a
// channel's day with its styled ranges, and the programme line picked at
// the caret.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

namespace orbisk {

// A range of characters of the day view's text. The text is the channel's
// lines joined by one line break each; as every Windows-1251 byte is one
// UTF-16 unit, the offsets are the same in the widget's document.
struct TextRange {
    int start = 0;
    int length = 0;
    bool operator==(const TextRange&) const = default;
};

struct DayText {
    std::string text;
    std::vector<int> lineStarts;  // offset of each line
    std::vector<int> lineLengths;
    std::vector<TextRange> bold;  // the time prefix of every line
    std::vector<TextRange> navy;  // text between two quote characters

    int lineCount() const { return static_cast<int>(lineStarts.size()); }
    // The whole line without its break; an empty range for an index outside.
    TextRange line(int index) const;
    // The first `length` characters of the line (fewer when it is shorter).
    TextRange prefix(int index, std::size_t length) const;
    // The line holding the character offset (a break belongs to the line it
    // ends); -1 when there are no lines.
    int lineAt(int offset) const;
};

// The ranges between two quote characters (" or ', in any pairing) of one
// line, the quotes excluded, relative to the line. An open stretch at the
// end of the line is not coloured.
std::vector<TextRange> quotedRanges(std::string_view line);

// The text of a day: `lines` joined, the first `timeLength` characters of
// every line bold, the quoted stretches navy.
DayText buildDayText(const std::vector<std::string>& lines, std::size_t timeLength);

// ---- Picking a programme ---------------------------------------------------

// From line `line` upwards, the start time of the first line whose first
// `timeLength` characters form a valid time text; nothing when none does.
std::optional<DateTime> timeAtLine(const std::vector<std::string>& lines, int line, std::size_t timeLength,
                                    char separator);

}  // namespace orbisk
