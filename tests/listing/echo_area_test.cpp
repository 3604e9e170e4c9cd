// A live echo area, written by each storage kind's own write side, through
// the loader: every load succeeds, every day that has its listing shows its
// channels, no other day shows any, and every message ends where it belongs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "base/codepage.h"
#include "base/ui.h"
#include "listing/bodyparse.h"
#include "listing/channellist.h"
#include "listing/loaders.h"
#include "support/echo_generator.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::EchoFate;
using test::GeneratedEcho;

class CountingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string&, MsgIcon) override { shown.push_back(text); }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
};

struct Kind {
    const char* name;
    const char* prefix;  // the letter, and the board for Hudson
    const char* suffix;  // a folder identifier ends with its separator
};

class EchoArea : public ::testing::TestWithParam<Kind> {};

// The day's distinct channel names, readable in a failure message.
std::string channelsOf(const DayLines* day) {
    std::set<std::string> names;
    if (day) {
        ChannelList channels(nullptr, "HH.MM", '.');
        parseDayText(channels, *day, false, "======");
        for (int i = 0; i < channels.count(); ++i) names.insert(channels.items(i).name);
    }
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + ansiToUtf8(n);
    return text;
}

TEST_P(EchoArea, EveryDayWithItsListingIsShownAndEveryMessageEndsWhereItBelongs) {
    // Weeks across New Year, read in January: December dates belong to the year before.
    const DateTime firstMonday = encodeDate(2026, 12, 14);
    const FixedClock clock(encodeDate(2027, 1, 13) + 0.5);
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const GeneratedEcho echo = test::generateEcho(seed, firstMonday, 5);
        test::TempDir dir;
        const std::string identifier = GetParam().prefix + (dir / "echo") + GetParam().suffix;
        if (*GetParam().suffix) std::filesystem::create_directory(dir / "echo");
        ASSERT_NO_THROW(test::writeEcho(identifier, echo.messages));

        CountingNotifier notifier;
        bool warningShown = false;
        StructureWarning warning(notifier, true, warningShown);
        LoadEnv env(notifier, clock);
        env.warning = &warning;
        env.kludges = {"SEEN-BY"};
        env.layout.delFromBegin = test::kEchoDelFromBegin;
        env.layout.delFromEnd = test::kEchoDelFromEnd;
        for (int d = 1; d <= 7; ++d) env.layout.days[d] = test::kDayNames[d];
        WeekIndex weeks;
        OtherMessages other;
        ASSERT_NO_THROW(loadFromArea(identifier, weeks, other, env));

        EXPECT_EQ(static_cast<int>(other.size()), echo.count(EchoFate::other));
        int filed = 0;
        for (const auto& week : weeks.items) filed += static_cast<int>(week->messages.size());
        EXPECT_EQ(filed, echo.count(EchoFate::listing)) << "undated listings are in neither list";
        // Parts are missing in some weeks: the warning, once.
        EXPECT_EQ(notifier.shown, std::vector<std::string>{kStructureWarningText});

        int shown = 0;
        for (int day = static_cast<int>(firstMonday) - 7; day < static_cast<int>(firstMonday) + 7 * (echo.weeks + 1);
             ++day) {
            const std::string got = channelsOf(weeks.getDay(day));
            const auto written = echo.days.find(day);
            std::string expected;
            if (written != echo.days.end())
                for (const auto& n : written->second) expected += (expected.empty() ? "" : ", ") + ansiToUtf8(n);
            int y, m, d;
            decodeDate(day, y, m, d);
            EXPECT_EQ(got, expected) << d << "." << m << "." << y;
            shown += !got.empty();
        }
        EXPECT_EQ(shown, static_cast<int>(echo.days.size()));
        EXPECT_GE(shown, 20) << "the generator wrote too few listings to mean anything";
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, EchoArea,
                         ::testing::Values(Kind{"Fido", "F", "/"}, Kind{"Squish", "S", ""}, Kind{"Jam", "J", ""},
                                           Kind{"Hudson", "H001", "/"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbisk
