// Arbitrary message texts through the day distribution (BuildDays /
// DistributeText), the day parser and Normalize, then FindCurrent on every
// channel. orbisk::Error is an expected outcome; any other exception, a
// crash, undefined behaviour or a broken invariant is a finding.
//
// Input: byte 0 holds flags (text-file week, short or default markers),
// byte 1 and 2 DelFromBegin and DelFromEnd; the rest is split at NUL bytes
// into messages, whose first byte is the part number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/error.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/channels.h"

namespace {

using namespace orbisk;

class CountingNotifier : public Notifier {
public:
    void Show(const std::string&, const std::string&, MsgIcon) override { ++shown; }
    Answer Ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    int shown = 0;
};

void Check(bool condition) {
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
        layout.FirstCaptionRow = "==";
        layout.LastDayRow = "--";
    }
    layout.DelFromBegin = static_cast<signed char>(input[1]) % 16;
    layout.DelFromEnd = static_cast<signed char>(input[2]) % 16;
    const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "\xD1\xF3\xE1"};
    for (int i = 1; i <= 7; ++i) layout.Days[i] = names[i - 1];

    TWeek week(EncodeDate(2024, 6, 5));
    std::string_view rest = input.substr(3);
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const std::string_view message = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (message.empty()) continue;
        const int part = static_cast<signed char>(message[0]);
        if (flags & 1) {
            week.AddFileDay(part, SplitLines(message.substr(1)));
        } else {
            TMSGDesc d;
            d.IsListing = true;
            d.PartNo = part;
            d.MsgNum = part;
            d.Lines = SplitLines(message.substr(1));
            week.Messages.push_back(std::move(d));
        }
    }

    CountingNotifier notifier;
    bool shown = false;
    StructureWarning warning(notifier, (flags & 4) == 0, shown);
    week.BuildDays(layout, &warning);
    Check(week.Days.size() == 7);
    Check(notifier.shown <= 1);
    for (const auto& m : week.Messages) Check(!m.Lines.has_value());

    for (int d = 0; d < 7; ++d) {
        const StringList* day = week.GetDay(week.StartDate + d);
        Check(day == &week.Days[static_cast<std::size_t>(d)]);
        TChannels channels(nullptr, "HH.MM", '.');
        try {
            ParseDayText(channels, *day, week.FromFiles, layout.FirstCaptionRow);
        } catch (const Error&) {
        }
        for (int c = 0; c < channels.Count(); ++c) {
            const TChannel& channel = channels.Items(c);
            Check(channel.Lines.size() == channel.Times.size());
            Check(channel.Index == c);
            for (const TDateTime t : {0.0, 0.1875, 0.25, 0.5, 0.99}) {
                try {
                    const int current = channel.FindCurrent(t);
                    Check(current >= -1 && current < channel.EntryCount());
                } catch (const Error&) {
                }
            }
        }
    }

    // The repair alone, on the raw text: it must end and keep its promise.
    const std::string repaired = NormalizeTime(input.substr(3, 64));
    Check(repaired.find(' ') == std::string::npos);
    Check(repaired.find('.') == std::string::npos || repaired.size() >= 5);
    return 0;
}
