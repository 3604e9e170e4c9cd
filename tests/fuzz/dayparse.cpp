// Arbitrary message texts through the day distribution (buildDays /
// distributeText), the day parser and Normalize, then findCurrent on every
// channel. orbisk::Error is an expected outcome; any other exception, a
// crash, undefined behaviour or a broken invariant is a finding.
//
// Input: byte 0 holds flags (text-file week, short or default markers),
// byte 1 and 2 delFromBegin and delFromEnd; the rest is split at NUL bytes
// into messages, whose first byte is the part number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/channellist.h"

namespace {

using namespace orbisk;

class CountingNotifier : public Notifier {
public:
    void show(const std::string&, const std::string&, MsgIcon) override { ++shown; }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    int shown = 0;
};

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto flags = static_cast<unsigned char>(input[0]);

    DayLayout layout;
    if (flags & 2) {
        // Short markers reach the interesting branches more often.
        layout.firstCaptionRow = "==";
        layout.lastDayRow = "--";
    }
    layout.delFromBegin = static_cast<signed char>(input[1]) % 16;
    layout.delFromEnd = static_cast<signed char>(input[2]) % 16;
    const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Суб"_cp1251};
    for (int i = 1; i <= 7; ++i) layout.days[i] = names[i - 1];

    Week week(encodeDate(2024, 6, 5));
    std::string_view rest = input.substr(3);
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const std::string_view message = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (message.empty()) continue;
        const int part = static_cast<signed char>(message[0]);
        if (flags & 1) {
            week.addFileDay(part, splitLines(message.substr(1)));
        } else {
            ListingMessage d;
            d.isListing = true;
            d.partNo = part;
            d.msgNum = part;
            d.lines = splitLines(message.substr(1));
            week.messages.push_back(std::move(d));
        }
    }

    CountingNotifier notifier;
    bool shown = false;
    StructureWarning warning(notifier, (flags & 4) == 0, shown);
    week.buildDays(layout, &warning);
    check(week.days.size() == 7);
    check(notifier.shown <= 1);
    for (const auto& m : week.messages) check(!m.lines.has_value());

    for (int d = 0; d < 7; ++d) {
        const DayLines* day = week.getDay(week.startDate + d);
        check(day == &week.days[static_cast<std::size_t>(d)]);
        ChannelList channels(nullptr, "HH.MM", '.');
        try {
            parseDayText(channels, *day, week.fromFiles, layout.firstCaptionRow);
        } catch (const Error&) {
        }
        for (int c = 0; c < channels.count(); ++c) {
            const Channel& channel = channels.items(c);
            check(channel.lines.size() == channel.times.size());
            check(channel.index == c);
            for (const DateTime t : {0.0, 0.1875, 0.25, 0.5, 0.99}) {
                try {
                    const int current = channel.findCurrent(t);
                    check(current >= -1 && current < channel.entryCount());
                } catch (const Error&) {
                }
            }
        }
    }

    // The repair alone, on the raw text: it must end and keep its promise.
    const std::string repaired = normalizeTime(input.substr(3, 64));
    check(repaired.find(' ') == std::string::npos);
    check(repaired.find('.') == std::string::npos || repaired.size() >= 5);
    return 0;
}
