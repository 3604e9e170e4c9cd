#include "listing/weekindex.h"

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

bool isKludgeLine(std::string_view line, const StringList& kludges) {
    // Every body line passes here: the first byte settles most of them.
    for (const auto& prefix : kludges)
        if (!prefix.empty() && !line.empty() && line[0] == prefix[0] && line.substr(0, prefix.size()) == prefix)
            return true;
    return false;
}

std::string readBodyLine(MessageArea& area, int maxLength, const StringList& kludges) {
    std::string line;
    readBodyLine(area, maxLength, kludges, line);
    return line;
}

void readBodyLine(MessageArea& area, int maxLength, const StringList& kludges, std::string& line) {
    const auto length = static_cast<std::uint16_t>(std::clamp(maxLength, 0, 0xFFFF));
    area.readTextLineNoKludgeInto(line, length);
    while (!line.empty() && isKludgeLine(line, kludges) && !area.atTextEnd()) area.readTextLineNoKludgeInto(line, length);
}

// ---- Filing messages -------------------------------------------------------

void Week::addMessage(MessageArea& area, const StringList& kludges) {
    ListingMessage d = ListingMessage::create(area.getMessageNumber(), area.getSubject());
    d.identity = identityOfLoaded(area);
    thread_local std::string line;  // one buffer for every line of a load
    // Gathered where the room is kept from message to message, then copied
    // once at its size: growing each message's own text would allocate and
    // copy it again at every doubling.
    thread_local BodyLines gathered;
    gathered.clear();
    while (!area.atTextEnd()) {
        readBodyLine(area, kBodyLineLength, kludges, line);
        gathered.push_back(line);
    }
    d.lines.emplace(gathered);
    messages.push_back(std::move(d));
}

bool WeekIndex::addMessage(MessageArea& area, const StringList& kludges, const Clock& clock) {
    thread_local std::string line;
    do {
        readBodyLine(area, kBodyLineLength, kludges, line);
        if (line.find(kDatingMark) != std::string::npos) break;
    } while (!area.atTextEnd());
    if (line.find(kDatingMark) == std::string::npos) return false;
    const auto date = datingLineDate(line, clock);
    if (!date) return false;
    weekFor(*date).addMessage(area, kludges);
    return true;
}

}  // namespace orbisk
