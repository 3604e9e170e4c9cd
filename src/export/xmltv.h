#pragma once
// Export of the week shown as one XMLTV document (UTF-8, xmltv.dtd) for the
// media centres, recorders and EPG tools that read that format: the shown
// channels, then every programme of every day of the week with its start,
// its stop (the next programme's start on that channel) and its title.
#include <functional>
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace orbisk {

class Viewer;

// Text for XML content or a quoted attribute, from Windows-1251 to UTF-8:
// & < > " ' as entities; every character that XML 1.0 does not allow or that
// is a control character (C0, DEL, C1, and byte 98 that Windows-1251 leaves
// undefined) becomes a blank.
std::string xmlText(std::string_view ansi);

// The channel's id: the same for the same listing name in every export and
// a valid XMLTV id ("pervyy-kanal.1a2b3c4d.orbisk"): the name transliterated
// to lower-case Latin letters and digits, the other characters as "-", at
// most 40 characters; then the CRC-32 of the name's bytes, which keeps apart
// names that transliterate alike.
std::string xmltvChannelId(std::string_view name);

// Minutes east of UTC in force in the system time zone at local wall-clock
// date + hour:minute. A wall-clock time that occurs twice (clocks set back)
// is read as the first of the two; one that is skipped (clocks set forward)
// with the offset in force before the change.
int localUtcOffsetMinutes(DateTime date, int hour, int minute);

// "YYYYMMDDhhmmss +HHMM" of local wall-clock date + hour:minute.
std::string xmltvTime(DateTime date, int hour, int minute);

struct XmltvResult {
    std::string document;  // UTF-8
    int channels = 0;
    int programmes = 0;
    // A week holds the day shown (false: a document without channels).
    bool weekFound = false;
};

// The document of the week that holds the viewer's day shown. The days are
// walked as the JTV export walks them (`showDay`: the window's showDay; empty:
// the viewer's own) and the day shown is restored on every way out. Hidden
// channels, channels without a programme and entries without a title are
// left out; a left-out entry still ends the one before it. The last
// programme of a day stops at the channel's first programme of the next day
// when that day has text (for Sunday, the next week's Monday). An unreadable
// time text stops the export with its error.
XmltvResult exportXmltv(Viewer& viewer, const std::function<void(DateTime)>& showDay = {});

// Writes the document to `path` (UTF-8 file name), replacing the file.
// Throws Error("Не могу записать файл <path>") when that fails.
void saveXmltv(const std::string& document, const std::string& path);

}  // namespace orbisk
