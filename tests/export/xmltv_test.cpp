#include "export/xmltv.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/error.h"
#include "export/weekwalk.h"
#include "export_fixture.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::WeekFixture;

// Central European rules, written out so that no zone database is needed:
// summer time from the last Sunday of March 02:00 to the last Sunday of
// October 03:00.
constexpr char kCet[] = "CET-1CEST,M3.5.0,M10.5.0/3";

// The process's time zone for one test.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        had_ = std::getenv("TZ") != nullptr;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

struct Programme {
    std::string start, stop, channel, title;
};

// The programmes of a document, in order.
std::vector<Programme> programmes(const std::string& doc) {
    static const std::regex re(
        "<programme start=\"([^\"]*)\"(?: stop=\"([^\"]*)\")? channel=\"([^\"]*)\">\\s*<title lang=\"ru\">([^<]*)</title>");
    std::vector<Programme> out;
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back({(*it)[1], (*it)[2], (*it)[3], (*it)[4]});
    return out;
}

std::vector<std::pair<std::string, std::string>> channelsOf(const std::string& doc) {
    static const std::regex re("<channel id=\"([^\"]*)\">\\s*<display-name lang=\"ru\">([^<]*)</display-name>");
    std::vector<std::pair<std::string, std::string>> out;
    for (auto it = std::sregex_iterator(doc.begin(), doc.end(), re); it != std::sregex_iterator(); ++it)
        out.emplace_back((*it)[1], (*it)[2]);
    return out;
}

constexpr char kValidator[] = "/usr/bin/tv_validate_file";
constexpr char kDtd[] = "/usr/share/xmltv/xmltv.dtd";

// tv_validate_file's verdict on the document, against the installed DTD.
std::pair<int, std::string> validate(const TempDir& dir, const std::string& doc) {
    const std::string file = dir / "week.xml", log = dir / "validate.log";
    test::writeFile(file, doc);
    const std::string command = std::string(kValidator) + " --dtd-file " + kDtd + " '" + file + "' >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(log)};
}

TEST(XmltvText, EscapesMarkupAndBlanksControlCharacters) {
    EXPECT_EQ(xmlText("Tom & Jerry <1> \"q\" 'a'"), "Tom &amp; Jerry &lt;1&gt; &quot;q&quot; &apos;a&apos;");
    EXPECT_EQ(xmlText("&amp;"), "&amp;amp;");
    // C0 (tab and NUL too), DEL and the byte Windows-1251 leaves undefined.
    EXPECT_EQ(xmlText(std::string("a\x01\tb\x7F\x98z\0!", 9)), "a  b  z !");
    // In UTF-8; the no-break space and the soft hyphen stay.
    EXPECT_EQ(xmlText("Ёлки №1\u00A0\u00AD"_cp1251), "Ёлки №1\u00A0\u00AD");
}

TEST(XmltvChannelId, StableValidAndDistinct) {
    const std::regex valid("^[-a-zA-Z0-9]+(\\.[-a-zA-Z0-9]+)+$");
    EXPECT_EQ(xmltvChannelId("Первый канал"_cp1251), "pervyy-kanal.44195058.orbisk");
    EXPECT_EQ(xmltvChannelId("НТВ"_cp1251), "ntv.a052d800.orbisk");
    EXPECT_EQ(xmltvChannelId("NTV"), "ntv.d99a1549.orbisk");
    EXPECT_EQ(xmltvChannelId("Культура"_cp1251), "kultura.05cee2af.orbisk");
    const std::string odd[] = {"", "+++", "  ", std::string(200, "Э"_cp1251[0]), "a.b/c\"<>&", "\x01\x98", "-x-"};
    for (const std::string& name : odd) {
        const std::string id = xmltvChannelId(name);
        EXPECT_TRUE(std::regex_match(id, valid)) << id;
        EXPECT_LE(id.size(), 40u + 17u) << id;
    }
    EXPECT_EQ(xmltvChannelId("+++").rfind("channel.", 0), 0u);
    EXPECT_NE(xmltvChannelId("+++"), xmltvChannelId("---"));
}

TEST(XmltvTime, OffsetInForceAtTheWallClockTime) {
    ZoneGuard zone(kCet);
    const DateTime spring = encodeDate(2026, 3, 29), autumn = encodeDate(2026, 10, 25);
    EXPECT_EQ(localUtcOffsetMinutes(spring - 1, 12, 0), 60);
    EXPECT_EQ(localUtcOffsetMinutes(spring, 1, 59), 60);
    EXPECT_EQ(localUtcOffsetMinutes(spring, 3, 0), 120);
    // Skipped: read with the offset before the change.
    EXPECT_EQ(localUtcOffsetMinutes(spring, 2, 30), 60);
    EXPECT_EQ(localUtcOffsetMinutes(autumn, 1, 0), 120);
    // Twice: the first of the two.
    EXPECT_EQ(localUtcOffsetMinutes(autumn, 2, 30), 120);
    EXPECT_EQ(localUtcOffsetMinutes(autumn, 3, 0), 60);
    EXPECT_EQ(xmltvTime(spring, 6, 5), "20260329060500 +0200");
    EXPECT_EQ(xmltvTime(autumn + 1, 23, 59), "20261026235900 +0100");
    {
        ZoneGuard west("XST8");  // eight hours west of UTC
        EXPECT_EQ(xmltvTime(encodeDate(2004, 9, 20), 21, 30), "20040920213000 -0800");
    }
    {
        ZoneGuard india("IST-5:30");
        EXPECT_EQ(xmltvTime(encodeDate(2004, 9, 20), 0, 0), "20040920000000 +0530");
    }
}

// Monday, Tuesday and Thursday of 7 to 13 December 2026 (UTC+3 all week).
class XmltvWeek : public ::testing::Test {
protected:
    ZoneGuard zone{"MSK-3"};
    WeekFixture week{{{0,
                       {{"One", "06.00 Mon A", "21.30 Mon B", "23.30 Mon C", "00.15 Mon D"},
                        {"Hid", "06.00 H"},
                        {"Night", "00.30 E", "06.00 F", "00.10 G"}}},
                      {1, {{"One", "06.30 Tue A", "07.00 ", "08.00 Tue C"}, {"Hid", "06.00 H2"}, {"Late", "09.00 L"}}},
                      {3, {{"One", "06.00 Thu A", "07.00 Thu B"}, {"Night", "05.00 X"}}}},
                     "[Channels]\r\n1=Hid\r\n2=One\r\n[Channel1]\r\nHide=1\r\n[Channel2]\r\nDesc=First & <one>\r\n"};
    std::string one = xmltvChannelId("One"), night = xmltvChannelId("Night"), late = xmltvChannelId("Late");
};

TEST_F(XmltvWeek, ProgrammesWithStopsAcrossMidnightAndDays) {
    week.viewer.showDay(week.day(1));
    const XmltvResult result = exportXmltv(week.viewer);
    EXPECT_TRUE(result.weekFound);
    EXPECT_EQ(week.viewer.shownDate(), week.day(1));

    // Hidden "Hid" is left out; "Late" (Tuesday only) is there; the display
    // name is escaped.
    const auto channels = channelsOf(result.document);
    EXPECT_EQ(channels, (std::vector<std::pair<std::string, std::string>>{
                            {one, "First &amp; &lt;one&gt;"}, {night, "Night"}, {late, "Late"}}));
    EXPECT_EQ(result.channels, 3);
    EXPECT_EQ(result.document.find(xmltvChannelId("Hid")), std::string::npos);

    const auto p = programmes(result.document);
    ASSERT_EQ(p.size(), 13u);
    EXPECT_EQ(result.programmes, 13);
    auto expect = [&](std::size_t i, const char* start, const char* stop, const std::string& channel, const char* title) {
        EXPECT_EQ(p[i].start, start) << i;
        EXPECT_EQ(p[i].stop, stop) << i;
        EXPECT_EQ(p[i].channel, channel) << i;
        EXPECT_EQ(p[i].title, title) << i;
    };
    // Monday: stops at the next entry, 00:15 on Tuesday's date, and the last
    // one at the channel's first programme on Tuesday.
    expect(0, "20261207060000 +0300", "20261207213000 +0300", one, "Mon A");
    expect(1, "20261207213000 +0300", "20261207233000 +0300", one, "Mon B");
    expect(2, "20261207233000 +0300", "20261208001500 +0300", one, "Mon C");
    expect(3, "20261208001500 +0300", "20261208063000 +0300", one, "Mon D");
    // A day that begins after midnight moves on at 00:10 only. "Night" has
    // no Tuesday: its last Monday programme has no stop.
    expect(4, "20261207003000 +0300", "20261207060000 +0300", night, "E");
    expect(5, "20261207060000 +0300", "20261208001000 +0300", night, "F");
    expect(6, "20261208001000 +0300", "", night, "G");
    // Tuesday: the entry without a title is left out but ends the one before.
    expect(7, "20261208063000 +0300", "20261208070000 +0300", one, "Tue A");
    expect(8, "20261208080000 +0300", "", one, "Tue C");  // Wednesday has no text
    expect(9, "20261208090000 +0300", "", late, "L");
    expect(10, "20261210060000 +0300", "20261210070000 +0300", one, "Thu A");
    expect(11, "20261210070000 +0300", "", one, "Thu B");
    expect(12, "20261210050000 +0300", "", night, "X");

    // Without a week: no channels, nothing shown.
    week.viewer.showDay(week.day(14));
    const XmltvResult none = exportXmltv(week.viewer);
    EXPECT_FALSE(none.weekFound);
    EXPECT_EQ(none.programmes, 0);
    EXPECT_TRUE(channelsOf(none.document).empty());
    EXPECT_NE(none.document.find("</tv>"), std::string::npos);
    EXPECT_EQ(week.viewer.shownDate(), week.day(14));
}

TEST_F(XmltvWeek, SundayStopsAtTheNextWeeksMonday) {
    // The next week: a copy of this Monday's text.
    const Week* current = week.viewer.weeks().findWeek(week.day(0));
    ASSERT_NE(current, nullptr);
    auto next = std::make_unique<Week>(week.day(7));
    next->fromFiles = current->fromFiles;
    next->days = current->days;
    week.viewer.weeks().items.push_back(std::move(next));
    // Sunday's text is Monday's too.
    Week* mutableCurrent = week.viewer.weeks().findWeek(week.day(0));
    mutableCurrent->days[6] = mutableCurrent->days[0];
    week.viewer.showDay(week.day(6));

    const auto p = programmes(exportXmltv(week.viewer).document);
    std::vector<Programme> sundayOne;
    for (const auto& x : p)
        if (x.channel == one && x.start.substr(0, 8) >= "20261213") sundayOne.push_back(x);
    ASSERT_EQ(sundayOne.size(), 4u);
    EXPECT_EQ(sundayOne[3].start, "20261214001500 +0300");
    EXPECT_EQ(sundayOne[3].stop, "20261214060000 +0300");
    EXPECT_EQ(week.viewer.shownDate(), week.day(6));
}

TEST(XmltvExport, WeekAcrossTheChangeToSummerTime) {
    ZoneGuard zone(kCet);
    // 23 to 29 March 2026: the clocks go forward at 02:00 on Sunday.
    WeekFixture week({{5, {{"One", "22.00 Sat A", "01.30 Sat B", "02.30 Sat C"}}},
                      {6, {{"One", "06.00 Sun A", "23.00 Sun B"}}}},
                     "", encodeDate(2026, 3, 23));
    week.viewer.showDay(week.day(6));
    const auto p = programmes(exportXmltv(week.viewer).document);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0].start, "20260328220000 +0100");
    EXPECT_EQ(p[1].start, "20260329013000 +0100");
    EXPECT_EQ(p[1].stop, "20260329023000 +0100");
    EXPECT_EQ(p[2].start, "20260329023000 +0100");
    EXPECT_EQ(p[2].stop, "20260329060000 +0200");
    EXPECT_EQ(p[3].start, "20260329060000 +0200");
    EXPECT_EQ(p[4].start, "20260329230000 +0200");
}

TEST(XmltvExport, HostileTitlesGiveAValidDocument) {
    if (access(kValidator, X_OK) != 0) GTEST_SKIP() << "xmltv-util is not installed";
    ZoneGuard zone("MSK-3");
    WeekFixture week({{0, {{"One", "06.00 A", "07.00 B", "08.00 C", "09.00 D", "10.00 E", "11.00 F", "12.00 G"}}},
                      {2, {{"Two", "06.00 W"}}}});
    week.viewer.showDay(week.day(0));
    Channel& one = week.viewer.channels().items(0);
    one.lines[0] = "06.00 Tom & Jerry <1> \"q\" 'a' ]]> &amp; &#1;";
    one.lines[1] = std::string("07.00 \x01\x02\x1B[31m\x7F\x98 end") + '\0' + "x";
    one.lines[2] = "08.00 \x01\x02";  // nothing but controls: left out
    one.lines[3] = "09.00 <!-- --> <![CDATA[x]]> <?pi?>";
    one.lines[4] = "10.00 Ёлки № \u00AD\u00A0 …–—"_cp1251;
    one.lines[5] = "11.00 ";
    one.desc = "One & \"Two\" <x>\x01";

    const XmltvResult result = exportXmltv(week.viewer);
    EXPECT_EQ(result.programmes, 5 + 1);
    TempDir dir;
    const auto [status, log] = validate(dir, result.document);
    EXPECT_EQ(status, 0) << log << result.document;
    EXPECT_EQ(log, "Validated ok.\n");

    const auto p = programmes(result.document);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0].title, "Tom &amp; Jerry &lt;1&gt; &quot;q&quot; &apos;a&apos; ]]&gt; &amp;amp; &amp;#1;");
    EXPECT_EQ(p[1].title, "[31m   end x");
    EXPECT_EQ(p[1].stop, "20261207080000 +0300");  // the left-out 08:00 still ends it
    EXPECT_EQ(p[4].title, "G");
}

TEST(XmltvExport, UnreadableTimeStopsAndRestoresTheDay) {
    WeekFixture week({{0, {{"One", "06.00 A", "07.00 B"}}}, {2, {{"One", "06.00 W"}}}});
    week.viewer.showDay(week.day(0));
    week.viewer.channels().items(0).times[1] = "x7.00";
    EXPECT_THROW(exportXmltv(week.viewer), Error);
    EXPECT_EQ(week.viewer.shownDate(), week.day(0));

    // A channel without entries is no error here: it has no programmes.
    week.viewer.channels().items(0).times.clear();
    week.viewer.channels().items(0).lines.clear();
    const XmltvResult result = exportXmltv(week.viewer);
    EXPECT_EQ(result.programmes, 1);
    EXPECT_EQ(week.viewer.shownDate(), week.day(0));
}

TEST(XmltvExport, SaveReplacesTheFileWhole) {
    TempDir dir;
    const std::string path = dir / "week.xml";
    saveXmltv("<tv/>\n", path);
    EXPECT_EQ(readFile(path), "<tv/>\n");
    saveXmltv("<tv></tv>\n", path);
    EXPECT_EQ(readFile(path), "<tv></tv>\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    try {
        saveXmltv("x", dir / "missing/week.xml");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Не могу записать файл "_cp1251 + dir.str() + "/missing/week.xml");
    }
}

}  // namespace
}  // namespace orbisk
