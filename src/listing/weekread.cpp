#include "listing/weeks.h"

#include <algorithm>
#include <cstdint>

#include "listing/subject.h"
#include "msgbase/messagearea.h"

namespace orbisk {

namespace {

constexpr int kBodyLineLength = 255;
constexpr std::string_view kDatingMark = "=?koi8-r?";

}  // namespace

// ---- Body lines --------------------------------------------------------

bool IsKludgeLine(std::string_view line, const StringList& kludges) {
    for (const auto& prefix : kludges)
        if (!prefix.empty() && line.substr(0, prefix.size()) == prefix) return true;
    return false;
}

std::string ReadBodyLine(MessageArea& area, int maxLength, const StringList& kludges) {
    const auto length = static_cast<std::uint16_t>(std::clamp(maxLength, 0, 0xFFFF));
    std::string line = area.ReadTextLineNoKludge(length);
    while (!line.empty() && IsKludgeLine(line, kludges) && !area.AtTextEnd()) line = area.ReadTextLineNoKludge(length);
    return line;
}

// ---- Filing messages -------------------------------------------------------

void TWeek::AddMessage(MessageArea& area, const StringList& kludges) {
    TMSGDesc d = TMSGDesc::Create(area.GetMessageNumber(), area.GetSubject());
    d.Lines.emplace();
    while (!area.AtTextEnd()) d.Lines->push_back(ReadBodyLine(area, kBodyLineLength, kludges));
    Messages.push_back(std::move(d));
}

bool TWeeks::AddMessage(MessageArea& area, const StringList& kludges, const Clock& clock) {
    std::string line;
    do {
        line = ReadBodyLine(area, kBodyLineLength, kludges);
        if (line.find(kDatingMark) != std::string::npos) break;
    } while (!area.AtTextEnd());
    if (line.find(kDatingMark) == std::string::npos) return false;
    const TDateTime date = DatingLineDate(line, clock);
    WeekFor(date).AddMessage(area, kludges);
    return true;
}

}  // namespace orbisk
