#pragma once
// The printed programme on Qt's printing system: the 80-column text in code
// page 866 (as the core builds it for a character printer) laid out line by
// line in a fixed-pitch font, page after page.
#include <string>

class QPrinter;
class QString;

namespace orbisk {

// Prints the CR LF lines of `oem`; false when the printer would not start or
// finish the job. Empty lines are kept; a form feed is not expected.
bool printOemText(const std::string& oem, QPrinter& printer);

// Writes the bytes to `path` (UTF-16 file name from the save dialog),
// replacing the file; false when it could not be written whole.
bool saveOemText(const std::string& oem, const QString& path);

}  // namespace orbisk
