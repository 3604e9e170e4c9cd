#pragma once
// The programme of the shown channels from the day shown to the end of its
// week as plain text for an 80-column printer: code page 866, CR LF line
// ends. The desktop program prints or saves these bytes; orbisk-cli writes
// them out.
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace orbisk {

class Viewer;

inline constexpr std::size_t kPrintWidth = 80;

// A header centred in 80 columns: (40 - length / 2) blanks in front, blanks
// behind up to 80. A text of 80 characters or more stays as it is.
std::string centerLine(std::string_view oem);

// Appends one programme line (already in code page 866) with CR LF. A line
// over 80 characters is broken: the first piece at most 80, every later one
// at most 72 behind eight blanks; a piece ends after its last blank when it
// has one, else it is cut hard.
void appendProgrammeLine(std::string& out, std::string_view oem);

// Appends the header, lines and two empty lines of every channel of the
// viewer's current list whose `hide` is false, then the hyphen line.
void appendPrintDay(std::string& out, const Viewer& viewer, DateTime date);

// The whole text from the day shown to Sunday. Days without listing text are
// left out (a week that is not loaded has nothing to print). The channel list
// of each later day is parsed into the viewer's channel slot; on every way
// out the list of the day shown (with its selected channel) is put back.
std::string buildPrintText(Viewer& viewer);

}  // namespace orbisk
