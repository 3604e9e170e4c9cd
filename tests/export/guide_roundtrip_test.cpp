// Guides made by our own export and by xmltv-util's tools, read back as a
// listing source.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "export/xmltv.h"
#include "export_fixture.h"
#include "support/zoneguard.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::WeekFixture;
using test::writeFile;
using test::ZoneGuard;

// Exit status of a shell command line.
int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "channel: line | line" per channel of every day of the week of `monday`.
std::vector<std::string> weekAsShown(Viewer& viewer, DateTime monday) {
    std::vector<std::string> out;
    for (int slot = 0; slot < 7; ++slot) {
        viewer.showDay(monday + slot);
        out.push_back("day " + std::to_string(slot));
        if (!viewer.shownDayHasText()) continue;
        for (int i = 0; i < viewer.channels().count(); ++i) {
            const Channel& channel = viewer.channels().items(i);
            std::string text = ansiToUtf8(channel.desc) + ":";
            for (const auto& line : channel.lines) text += " " + ansiToUtf8(line) + " |";
            out.push_back(text);
        }
    }
    return out;
}

// A viewer on the guide in `file`, every channel kept.
struct GuideViewer {
    GuideViewer(const std::string& file, DateTime now) : clock(now) {
        test::writeListingIni(dir / "guide.ini", "X" + file);
        viewer.guideOptions().keepEveryChannel = true;
        viewer.refreshListings(prompts, true);
    }
    test::RecordingNotifier notifier;
    FixedClock clock;
    test::NoPrompts prompts;
    TempDir dir;
    Viewer viewer{dir / "guide.ini", notifier, clock};
};

TEST(GuideRoundTrip, OurExportReadBackGivesTheSameDays) {
    ZoneGuard zone(test::kCet);
    WeekFixture week{{{0, {{"Первый"_cp1251, "06.00 Утро", "21.30 Фильм \"Ёлки\"", "00.15 Ночь"}, {"Два", "05.00 A"}}},
                      {1, {{"Первый"_cp1251, "06.30 Вторник", "09.00 Новости & погода"}, {"Три", "09.00 L"}}},
                      {6, {{"Первый"_cp1251, "06.00 Воскресенье", "03.00 Последняя"}}}}};
    week.viewer.showDay(week.day(0));
    const XmltvResult exported = exportXmltv(week.viewer);
    ASSERT_GT(exported.programmes, 8);
    const std::string file = week.dir / "week.xml";
    writeFile(file, exported.document);
    EXPECT_EQ(run("tv_validate_file --dtd-file /usr/share/xmltv/xmltv.dtd '" + file + "' >/dev/null 2>&1"), 0);

    GuideViewer guide(file, week.clock.now());
    EXPECT_EQ(weekAsShown(guide.viewer, week.monday), weekAsShown(week.viewer, week.monday));
}

TEST(GuideRoundTrip, GuidesSortedAndJoinedByXmltvUtil) {
    ZoneGuard zone("MSK-3");
    TempDir dir;
    auto doc = [](const std::string& id, const std::string& name, const std::vector<std::string>& starts) {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv>\n"
                           "<channel id=\"" + id + "\"><display-name>" + name + "</display-name></channel>\n";
        for (const auto& start : starts)
            text += "<programme start=\"" + start + "\" channel=\"" + id + "\"><title lang=\"ru\">" + name + " " +
                    start.substr(8, 4) + "</title></programme>\n";
        return text + "</tv>\n";
    };
    // Out of order: tv_sort puts them in order and gives each its stop.
    writeFile(dir / "a.xml", doc("a.ru", "Альфа", {"20261208180000 +0300", "20261208060000 +0300",
                                                   "20261209010000 +0300", "20261208120000 +0300"}));
    writeFile(dir / "b.xml", doc("b.ru", "Бета", {"20261209070000 +0300", "20261208070000 +0300"}));
    ASSERT_EQ(run("cd '" + dir.str() + "' && tv_cat a.xml b.xml >joined.xml 2>/dev/null && "
                  "tv_sort --output sorted.xml joined.xml 2>/dev/null && "
                  "tv_validate_file --dtd-file /usr/share/xmltv/xmltv.dtd sorted.xml >/dev/null 2>&1"),
              0);
    const std::vector<std::string> expected = {
        "day 0", "day 1", "Альфа: 06.00 Альфа 0600 | 12.00 Альфа 1200 | 18.00 Альфа 1800 | 01.00 Альфа 0100 |",
        "Бета: 07.00 Бета 0700 |", "day 2", "Бета: 07.00 Бета 0700 |", "day 3", "day 4", "day 5", "day 6"};
    // The tools order channels their own way; the days are what counts.
    auto sorted = [](std::vector<std::string> lines) {
        for (auto day = lines.begin(); day != lines.end();) {
            const auto next = std::find_if(day + 1, lines.end(), [](const std::string& l) { return l.rfind("day ", 0) == 0; });
            std::sort(day + 1, next);
            day = next;
        }
        return lines;
    };
    for (const char* name : {"joined.xml", "sorted.xml"}) {
        GuideViewer guide(dir / name, encodeDate(2026, 12, 8));
        EXPECT_EQ(sorted(weekAsShown(guide.viewer, encodeDate(2026, 12, 7))), sorted(expected)) << name;
    }
}

}  // namespace
}  // namespace orbisk
