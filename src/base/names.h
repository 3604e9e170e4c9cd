#pragma once
// Day and month names of the configuration, as the listings write them, and
// the date/time format settings that the views format with.
#include <array>
#include <string>

namespace orbisk {

// A 1-based table of names: DayNames[1] = Sunday ... [7] = Saturday,
// MonthNames[1] = January ... [12] = December.
template <int N>
class NameTable {
public:
    std::string& operator[](int i) { return names_.at(static_cast<std::size_t>(i - 1)); }
    const std::string& operator[](int i) const { return names_.at(static_cast<std::size_t>(i - 1)); }
    static constexpr int size() { return N; }
    bool anyEmpty() const {
        for (const auto& n : names_)
            if (n.empty()) return true;
        return false;
    }
    bool operator==(const NameTable&) const = default;

private:
    std::array<std::string, N> names_;
};

using DayNames = NameTable<7>;
using MonthNames = NameTable<12>;

// What dates and times are formatted with: the long day and month names used
// by DDDD and MMMM, the short date format, the long time format and the time
// separator. The names come from the configuration (sections DAYS and MONTHS
// of Orbisk.ini), not from the system locale, so that the views name days
// and months as the listings do.
struct FormatSettings {
    DayNames longDayNames;
    MonthNames longMonthNames;
    std::string shortDateFormat = "dd MMMM, DDDD";
    std::string longTimeFormat = "HH.MM";
    char timeSeparator = '.';
};

}  // namespace orbisk
