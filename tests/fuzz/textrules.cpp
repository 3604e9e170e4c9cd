// Arbitrary text through the listing text rules and the time-text reader.
// orbisk::Error is an expected outcome; any other exception, a crash or
// undefined behaviour is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "base/error.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "listing/subject.h"

namespace {

using namespace orbisk;

class CountingNotifier : public Notifier {
public:
    void show(const std::string&, const std::string&, MsgIcon) override { ++shown; }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::Ok; }
    int shown = 0;
};

const MonthNames& months() {
    static const MonthNames months = [] {
        MonthNames m;
        const char* names[] = {"января"_cp1251, "feb", "mar", "apr", "may", "jun",
                               "jul",           "aug", "sep", "oct", "nov", "dec"};
        for (int i = 1; i <= 12; ++i) m[i] = names[i - 1];
        return m;
    }();
    return months;
}

template <typename F>
void expectOnlyError(F&& f) {
    try {
        f();
    } catch (const Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // First byte: the clock's month and the time separator; the rest is text.
    const int month = data[0] % 12 + 1;
    const char separators[] = {'.', ':', ' ', '-'};
    const char separator = separators[(data[0] >> 4) % 4];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const FixedClock clock(encodeDate(2024, month, 15) + 0.5);

    // Anyone can post a subject or a dating line: neither may throw.
    std::int32_t n = 0, m = 0;
    isListingSubject(text, n, m);
    if (const auto d = datingLineDate(text, clock); d && *d <= 0) std::abort();  // a date made is a real date

    CountingNotifier notifier;
    const DateTime caption = parseCaptionDate(text, months(), clock, notifier);
    // Exactly one message for a failure, none for a date.
    if ((caption == 0) != (notifier.shown == 1) || notifier.shown > 1) std::abort();

    const std::string tail = captionTail(text);
    if (tail.size() > text.size() || text.substr(text.size() - tail.size()) != tail) std::abort();
    if (koi8ToAnsi(text).size() != text.size()) std::abort();

    // The text as a format: any letters, quotes and marks.
    FormatSettings names;
    names.longMonthNames = months();
    formatDateTime(text, encodeDate(2024, month, 15) + 0.75, names);

    DateTime t = -1;
    if (tryStrToTime(text, separator, t)) {
        if (t < 0 || t >= 1) std::abort();
        // A read time, formatted and read back, is the same minute.
        FormatSettings fs;
        fs.longTimeFormat = "HH:MM";
        fs.timeSeparator = separator;
        DateTime back = -1;
        if (!tryStrToTime(formatTime(t, fs), separator, back) || minutesOfDay(back) != minutesOfDay(t))
            std::abort();
    }
    return 0;
}
