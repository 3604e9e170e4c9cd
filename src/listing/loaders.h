#pragma once
// Loading the listing source named by MAIN/fidoPath into the week index:
// the messages of an echo area ("F", "H", "J", "S" ...) or the internet text
// files 1.txt ... 7.txt of a folder ("I").
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "listing/bodyparse.h"
#include "listing/guideoptions.h"
#include "listing/weekindex.h"

namespace orbisk {

class Clock;
class Config;
class Notifier;

inline constexpr const char* kCannotOpenBaseText = "Не могу открыть базу сообщений"_cp1251;
inline constexpr const char* kCannotCloseBaseText = "Не могу закрыть базу сообщений"_cp1251;

// One message of the area that is no listing: its number as decimal text
// and its descriptor (partNo and partCount 0, no `lines`).
struct OtherMessage {
    std::string number;
    ListingMessage desc;
};
// In area order.
using OtherMessages = std::vector<OtherMessage>;

// How far a load got, for a window that shows it while another thread
// loads: messages (or text files) read of those the source holds; a total
// of 0 is not known yet.
struct LoadProgress {
    std::atomic<std::int32_t> done{0};
    std::atomic<std::int32_t> total{0};
};

// Everything a load reads from outside besides the source itself.
struct LoadEnv {
    LoadEnv(Notifier& notifier, const Clock& clock) : messages(notifier), today(clock) {}
    // The settings of a loaded configuration.
    LoadEnv(const Config& config, Notifier& notifier, const Clock& clock, StructureWarning* warning);

    StringList kludges;  // the kludge prefix list
    MonthNames months;      // caption dates of text files
    DayLayout layout;
    Notifier& messages;                  // caption-date messages of text files
    const Clock& today;                  // the year of dates that carry none
    StructureWarning* warning = nullptr;  // null: no warning
    GuideOptions guide;                   // an XMLTV guide ("X")
    LoadProgress* progress = nullptr;     // null: nobody watches
};

// loadFromFiles when the identifier begins with "I" (upper case only),
// loadFromGuide (xmltvsource.h) for "X", otherwise loadFromArea.
void loadListings(const std::string& identifier, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env);

// Reads every message of the area, files the listings under their weeks,
// keeps the others in `otherMsgs`, then builds the days. Throws
// Error(kCannotOpenBaseText) when the area does not open (weeks and
// otherMsgs untouched) and Error(kCannotCloseBaseText) when it does not
// close. The area is closed on every way out. An error in the middle (a part
// number or dating line that does not convert, a failed close) leaves the
// week index empty rather than holding weeks whose days were never built.
void loadFromArea(const std::string& identifier, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env);

// Reads <folder>/1.txt ... 7.txt (any case of ".txt"); a file that cannot
// be read, does not begin with the line "[tv.all]" or has no caption line
// after it is skipped. The rest is converted from KOI8-R, filed by its
// caption date and the days are built. otherMsgs is emptied.
void loadFromFiles(const std::string& folder, WeekIndex& weeks, OtherMessages& otherMsgs, const LoadEnv& env);

// The path of day file n (1..7) in the folder: "<n>.txt" when it exists,
// else the first directory entry named so in other capitals; empty when none.
std::string findDayFile(const std::string& folder, int n);

}  // namespace orbisk
