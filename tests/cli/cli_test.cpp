// orbisk-cli end to end: the built program is run on demo listings made by
// its own "demo" command, and on broken configurations.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/datetime.h"
#include "base/strings.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "support/listing_names.h"
#include "support/clirun.h"
#include "support/tempdir.h"


namespace orbisk {
namespace {

using nlohmann::json;
using test::isoDate;
using test::runCli;
using test::TempDir;

// The demo's channels, in caption order, as the CLI prints them (UTF-8).
const char* const kChannels[] = {
    "Первый канал", "Россия 1", "НТВ", "Культура", "СТС", "ТНТ", "РЕН ТВ", "Пятый канал", "Звезда", "Матч ТВ",
};

json runJson(const TempDir& dir, const std::vector<std::string>& args) {
    const test::CliResult r = runCli(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.status == 0 ? json::parse(r.out) : json::object();
}

// Listing minutes of a "HH.MM" text: past 1440 before 04:30.
int minutesOfText(const std::string& text) {
    DateTime t;
    if (!tryStrToTime(text, '.', t)) ADD_FAILURE() << "bad time text " << text;
    return listingMinutes(t);
}

// The dates are written without a year, which a load takes from its clock:
// the demo week must be the week of today.
const DateTime kToday = listingDate(SystemClock().now());
const DateTime kMonday = kToday - (dayOfWeek(kToday) + 5) % 7;

// Checks one day of the demo and returns its channels.
json checkDemoDay(const TempDir& dir, const std::string& ini, DateTime date) {
    const json day = runJson(dir, {"--ini", ini, "day", isoDate(date)});
    EXPECT_EQ(day.value("date", ""), isoDate(date));
    EXPECT_TRUE(day.value("has_text", false));
    const json& channels = day["channels"];
    EXPECT_EQ(channels.size(), std::size(kChannels));
    for (std::size_t i = 0; i < channels.size() && i < std::size(kChannels); ++i) {
        const json& c = channels[i];
        const std::string name = kChannels[i];  // text files and bases alike
        EXPECT_EQ(c["name"], name);
        EXPECT_EQ(c["desc"], name);
        EXPECT_FALSE(c["hide"].get<bool>());
        const json& entries = c["entries"];
        EXPECT_GE(entries.size(), 10u) << name;
        if (entries.empty()) continue;
        // From the morning to past midnight, in listing order.
        EXPECT_GE(minutesOfText(entries.front()["time"]), 6 * 60) << name;
        EXPECT_LE(minutesOfText(entries.front()["time"]), 7 * 60) << name;
        EXPECT_GT(minutesOfText(entries.back()["time"]), 1440) << name;
        int previous = 0;
        for (const auto& e : entries) {
            const std::string line = e["line"], time = e["time"];
            EXPECT_EQ(line.substr(0, 6), time + " ");
            EXPECT_GT(minutesOfText(time), previous) << line;
            previous = minutesOfText(time);
            EXPECT_EQ(line.find("Origin"), std::string::npos) << line;
            EXPECT_EQ(line.find("---"), std::string::npos) << line;
        }
    }
    return channels;
}

// What runs at `minutes` (listing minutes) on a channel of the day output:
// the last entry that started by then.
std::pair<std::string, std::string> expected(const json& channel, int minutes) {
    const json& entries = channel["entries"];
    for (std::size_t i = entries.size(); i-- > 0;) {
        if (minutesOfText(entries[i]["time"]) > minutes) continue;
        const std::string line = entries[i]["line"];
        const std::string end = i + 1 < entries.size() ? entries[i + 1]["time"].get<std::string>() : "???";
        return {line.substr(6), entries[i]["time"].get<std::string>() + "-" + end};
    }
    return {"", ""};
}

TEST(Cli, TextDemoLoadsAndShowsTheDay) {
    TempDir dir;
    test::CliResult r = runCli(dir, {"demo", "--out", dir / "demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string ini = dir / "demo/Orbisk.ini";
    // The INI is Windows-1251 with CRLF and points at the files.
    const std::string iniText = test::readFile(ini);
    EXPECT_NE(iniText.find("FIDOPath=I" + dir.str() + "/demo/tv\r\n"), std::string::npos);
    EXPECT_NE(iniText.find(std::string("12=") + test::kMonthNames[12] + "\r\n"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "demo/tv/1.txt").rfind("[tv.all]\r\n======\r\n", 0), 0u);

    const json weeks = runJson(dir, {"--ini", ini, "weeks"});
    ASSERT_EQ(weeks["weeks"].size(), 1u);
    const json& week = weeks["weeks"][0];
    EXPECT_EQ(week["start"], isoDate(kMonday));
    EXPECT_EQ(week["end"], isoDate(kMonday + 6));
    EXPECT_TRUE(week["from_files"].get<bool>());
    ASSERT_EQ(week["messages"].size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(week["messages"][i], json({{"part", i + 1}, {"count", 7}, {"msgnum", i + 1}}));
        EXPECT_EQ(week["days"][i]["date"], isoDate(kMonday + i));
        EXPECT_GT(week["days"][i]["lines"].get<int>(), 100);
    }
    EXPECT_EQ(weeks["other_messages"], json::array());

    const json channels = checkDemoDay(dir, ini, kToday);

    // The grid at fixed moments of today's listing day.
    const json at21 = runJson(dir, {"--ini", ini, "now", "--date", isoDate(kToday), "--time", "21:00"});
    EXPECT_EQ(at21["date"], isoDate(kToday));
    EXPECT_EQ(at21["time"], "21.00");
    ASSERT_EQ(at21["rows"].size(), channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const auto [title, time] = expected(channels[i], 21 * 60);
        EXPECT_EQ(at21["rows"][i]["channel"], channels[i]["desc"]);
        EXPECT_EQ(at21["rows"][i]["title"], title);
        EXPECT_EQ(at21["rows"][i]["time"], time);
        EXPECT_NE(title, "");
    }
    // Before the first programme nothing runs; at 03:00 the next calendar
    // day the last programme of each channel still does.
    const json at5 = runJson(dir, {"--ini", ini, "now", "--date", isoDate(kToday), "--time", "5:00"});
    for (const auto& row : at5["rows"]) EXPECT_EQ(row, json({{"channel", row["channel"]}, {"title", ""}, {"time", ""}}));
    const json at3 = runJson(dir, {"--ini", ini, "now", "--date", isoDate(kToday + 1), "--time", "03:00"});
    EXPECT_EQ(at3["date"], isoDate(kToday));
    ASSERT_EQ(at3["rows"].size(), channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const std::string time = at3["rows"][i]["time"];
        EXPECT_EQ(time, channels[i]["entries"].back()["time"].get<std::string>() + "-???");
    }

    // A day of no week.
    const json none = runJson(dir, {"--ini", ini, "day", isoDate(kMonday - 1)});
    EXPECT_FALSE(none["has_text"].get<bool>());
    EXPECT_EQ(none["channels"], json::array());
}

TEST(Cli, MailingDemoInAMsgArea) {
    TempDir dir;
    ASSERT_EQ(runCli(dir, {"demo", "--out", dir / "text", "--date", isoDate(kToday)}).status, 0);
    test::CliResult r = runCli(dir, {"demo", "--out", dir / "msg", "--format", "msg", "--date", isoDate(kToday)});
    ASSERT_EQ(r.status, 0) << r.err;
    // A second run replaces the area's messages rather than adding to them.
    ASSERT_EQ(runCli(dir, {"demo", "--out", dir / "msg", "--format", "msg", "--date", isoDate(kToday)}).status, 0);
    const std::string ini = dir / "msg/Orbisk.ini";
    EXPECT_NE(test::readFile(ini).find("FIDOPath=F" + dir.str() + "/msg/echo\r\n"), std::string::npos);

    const json weeks = runJson(dir, {"--ini", ini, "weeks"});
    ASSERT_EQ(weeks["weeks"].size(), 1u);
    const json& week = weeks["weeks"][0];
    EXPECT_EQ(week["start"], isoDate(kMonday));
    EXPECT_FALSE(week["from_files"].get<bool>());
    ASSERT_EQ(week["messages"].size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(week["messages"][i], json({{"part", i + 1}, {"count", 7}, {"msgnum", i + 2}}));
        EXPECT_GT(week["days"][i]["lines"].get<int>(), 100);
    }
    EXPECT_EQ(weeks["other_messages"], json({1, 9, 10}));

    // The same programme as the text files (film notes joined to their
    // titles, trailer lines cut), letter for letter.
    for (int day = 0; day < 7; ++day) {
        const json fromMsg = checkDemoDay(dir, ini, kMonday + day);
        const json fromText = runJson(dir, {"--ini", dir / "text/Orbisk.ini", "day", isoDate(kMonday + day)})["channels"];
        ASSERT_EQ(fromMsg.size(), fromText.size());
        for (std::size_t c = 0; c < fromMsg.size(); ++c) {
            ASSERT_EQ(fromMsg[c]["entries"].size(), fromText[c]["entries"].size()) << day << " " << c;
            for (std::size_t e = 0; e < fromMsg[c]["entries"].size(); ++e) {
                const std::string line = fromMsg[c]["entries"][e]["line"];
                EXPECT_EQ(line, fromText[c]["entries"][e]["line"]);
            }
        }
    }
}

TEST(Cli, ErrorsEndWithStatusOneAndTheTitleLine) {
    TempDir dir;
    const std::string title = "Орбиск: ";

    test::CliResult r = runCli(dir, {"--ini", dir / "none.ini", "weeks"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // The place looked at, and how to make the file.
    EXPECT_EQ(r.err, title + "Не обнаружен файл \"Orbisk.ini\". Продолжение не возможно Искали здесь: " +
                         dir / "none.ini" + " (orbisk-cli init).\n");

    // First-run settings missing: named, never asked for.
    test::writeFile(dir / "first.ini", "[MAIN]\r\nFIDOPath=I/tmp\r\n[DAYS]\r\n1=x\r\n");
    r = runCli(dir, {"--ini", dir / "first.ini", "day", "2026-12-09"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(title, 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("MAIN/FIDOPath"), std::string::npos);
    EXPECT_EQ(r.err.find("DAYS/1,"), std::string::npos);
    EXPECT_NE(r.err.find("DAYS/2, DAYS/3"), std::string::npos);
    EXPECT_NE(r.err.find("MONTHS/12."), std::string::npos);
    test::writeListingIni(dir / "params.ini", "I" + dir.str(), "[MSG]\r\nLastDayRow=\r\n");
    r = runCli(dir, {"--ini", dir / "params.ini", "weeks"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(": MSG/LastDayRow.\n"), std::string::npos) << r.err;

    // An area that does not open.
    test::writeListingIni(dir / "area.ini", "Z" + dir.str());
    r = runCli(dir, {"--ini", dir / "area.ini", "weeks"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, title + "Не могу открыть базу сообщений.\n");

    // Arguments.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--ini", dir / "area.ini", "day", "2026-02-30"},
                                               {"--ini", dir / "area.ini", "now", "--time", "24:00"},
                                               {"--ini", dir / "area.ini", "now", "--when", "1"},
                                               {"demo"},
                                               {"demo", "--out", dir / "d", "--format", "jam"},
                                               {"frobnicate"}}) {
        r = runCli(dir, args);
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_EQ(r.err.rfind(title, 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

TEST(Cli, NoticesGoToStderrAndTheLoadGoesOn) {
    TempDir dir;
    // A text file in Windows-1251 instead of KOI8-R: its month is unknown.
    test::writeFile(dir / "1.txt", std::string("[tv.all]\r\n======\r\n") + test::kDayNames[2] + ". 7 " +
                                       test::kMonthNames[12] + ". One\r\n---\r\n06.00 News\r\n");
    test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str());
    const test::CliResult r = runCli(dir, {"--ini", dir / "Orbisk.ini", "weeks"});
    EXPECT_EQ(r.status, 0);
    // Followed by the month read as KOI8-R.
    EXPECT_EQ(r.err.rfind("Ошибка: Неопознанный месяц \"", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    const json out = json::parse(r.out);
    ASSERT_EQ(out["weeks"].size(), 1u);
    EXPECT_EQ(out["weeks"][0]["start"], "1899-12-25");  // the zero date's week
}

TEST(Cli, ConfigurationBesideTheProgram) {
    TempDir dir;
    const std::string bin = dir / "bin";
    std::filesystem::create_directory(bin);
    std::filesystem::copy_file(test::kCliProgram, bin + "/orbisk-cli");
    test::CliResult r = runCli(dir, {"weeks"}, bin + "/orbisk-cli");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"Orbisk.ini\""), std::string::npos);
    ASSERT_EQ(runCli(dir, {"demo", "--out", bin}).status, 0);
    r = runCli(dir, {"day", isoDate(kToday)}, bin + "/orbisk-cli");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(json::parse(r.out)["has_text"].get<bool>());
}

}  // namespace
}  // namespace orbisk
