// Arbitrary listing days through the programme index, and arbitrary words
// and favourites through the search over it. A crash, undefined behaviour
// or a broken invariant is a finding: every showing found holds every word
// in its folded title, the showings come in date and time order, and what
// a favourite marks is found among the favourites of the range.
//
// Input: the query, a NUL, the favourites (one a line), a NUL, then the day
// texts of one week, split at NUL bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "listing/bodyparse.h"
#include "listing/weekindex.h"
#include "viewer/programmesearch.h"

namespace {

using namespace orbisk;

void check(bool condition) {
    if (!condition) std::abort();
}

std::string_view nextPart(std::string_view& input) {
    const std::size_t end = input.find('\0');
    const std::string_view part = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string query(nextPart(input));
    const StringList favourites = splitLines(nextPart(input));

    WeekIndex weeks;
    const DateTime monday = encodeDate(2026, 12, 7);
    auto week = std::make_unique<Week>(monday);
    week->days.resize(7);
    for (int d = 0; d < 7 && !input.empty(); ++d) week->days[static_cast<std::size_t>(d)] = splitLines(nextPart(input));
    weeks.items.push_back(std::move(week));

    ProgrammeIndex index;
    index.build(weeks, "HH.MM", '.', "==");
    std::vector<ChannelSetting> settings(index.channelCount());
    for (std::size_t i = 0; i < settings.size(); ++i) settings[i].desc = std::to_string(i % 3);

    SearchQuery q;
    q.words = searchWords(query);
    const auto found = index.search(q, settings);
    check(found.size() <= index.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Showing& s = found[i];
        check(holdsAllWords(foldForSearch(std::string_view(s.line).substr(std::min<std::size_t>(5, s.line.size()))),
                            q.words));
        check(s.date >= monday && s.date <= monday + 6);
        if (i > 0) {
            const Showing& p = found[i - 1];
            check(p.date < s.date || (p.date == s.date && p.minutes <= s.minutes));
        }
    }

    const FavouriteMatcher matcher(favourites);
    const auto marked = index.favourites(matcher, monday, monday + 6, settings);
    for (const Showing& s : marked) check(matcher.matchesLine(s.line, 5));
    return 0;
}
