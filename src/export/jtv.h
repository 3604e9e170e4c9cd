#pragma once
// Export of the week shown to the files of the JTV television guide: per
// shown channel "<Desc>.ndx" (a 16-bit record count, then 12-byte records:
// two zero bytes, the start as a FILETIME, the 16-bit offset of the title)
// and "<Desc>.pdt" (a 26-byte signature, then length-prefixed titles).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace orbisk {

class Notifier;
class Viewer;

// "JTV 3.x TV Program Data" and three line feeds.
inline constexpr char kJtvDataHeader[] = "JTV 3.x TV Program Data\n\n\n";
inline constexpr std::size_t kJtvDataHeaderSize = sizeof kJtvDataHeader - 1;
inline constexpr std::size_t kJtvMaxTitle = 500;
// The 16-bit offsets address no byte of a data file beyond this size.
inline constexpr std::uint32_t kJtvMaxDataSize = 65535;

// 100-nanosecond intervals since 1601-01-01 00:00 of the local wall-clock
// `date` at hour:minute (no time-zone adjustment). Throws
// Error("Invalid argument to time encode") for an hour over 23 or a minute
// over 59.
std::uint64_t jtvFileTime(DateTime date, int hour, int minute);

// The file names of a channel in `folder` (Windows-1251, as the settings
// and the listing hold them; the path is returned in UTF-8 for the file
// system). False for a display name that would leave the folder or is no
// file name: empty, "." or "..", or holding "/" or a NUL byte.
bool jtvFilePaths(const std::string& folder, const std::string& desc, std::string& ndx, std::string& pdt);

struct JtvResult {
    // Index and data files created by the first pass.
    std::vector<std::string> created;
    // Display names of the channels whose files could not be created.
    std::vector<std::string> skipped;
    // Display names of the channels whose data file reached the 16-bit limit;
    // their later records were left out.
    std::vector<std::string> cut;
    // Records written over all channels.
    int records = 0;
    // A week holds the day shown (false: only the first pass ran).
    bool weekFound = false;
};

// The export of the week that holds the viewer's day shown into `folder`.
// `showDay` makes a date the day shown (the window's showDay, which also
// redraws); empty: the viewer's own. The day shown is restored on every way
// out. An unreadable time text or a shown channel without entries stops the
// export with its error; what was written stays, and every index count
// equals the records written. A folder that is empty or no folder throws
// Error. When channels were skipped or cut, `notifier` (may be null) is
// told once for each, naming them.
JtvResult exportJtv(Viewer& viewer, const std::string& folder, Notifier* notifier,
                    const std::function<void(DateTime)>& showDay = {});

// "Внимание!" and the notice about cut channels, for the channels named.
extern const char* const kJtvCutCaption;
// The message naming the channels whose files could not be created.
std::string jtvSkippedText(const std::vector<std::string>& channels);
std::string jtvCutText(const std::vector<std::string>& channels);

}  // namespace orbisk
