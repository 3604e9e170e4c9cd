#include "app/config/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include "base/error.h"
#include "support/tempdir.h"

using orbisk::Config;
using orbisk::ConfigPrompts;
using orbisk::Error;
using orbisk::test::ReadFile;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

namespace {

// "Воскресенье", "Январь"
const std::string kSunday = "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5";
const std::string kJanuary = "\xDF\xED\xE2\xE0\xF0\xFC";

struct FakePrompts : ConfigPrompts {
    int baseCalls = 0, paramsCalls = 0;
    std::function<bool(Config&)> onBase = [](Config&) { return false; };
    std::function<bool(Config&)> onParams = [](Config&) { return false; };
    bool EditMessageBase(Config& c) override {
        ++baseCalls;
        return onBase(c);
    }
    bool EditMessageParams(Config& c) override {
        ++paramsCalls;
        return onParams(c);
    }
};

std::string Names(const char* section, int count, const std::string& first, int skip = 0) {
    std::string s = std::string("[") + section + "]\r\n";
    for (int i = 1; i <= count; ++i)
        if (i != skip) s += std::to_string(i) + "=" + (i == 1 ? first : "N" + std::to_string(i)) + "\r\n";
    return s;
}

std::string FullFile(int skipDay = 0) {
    return "[MAIN]\r\nFIDOPath=Sc:\\fido\\tvlist\r\nEnableWarning=0\r\nJTVGuidePath=c:\\jtv\r\n" +
           Names("DAYS", 7, kSunday, skipDay) + Names("MONTHS", 12, kJanuary) +
           "[MSG]\r\nDelFromBegin=$10\r\nDelFromEnd= 3\r\nFirstCaptionRow=***\r\nLastCaptionRow='---'\r\n"
           "LastDayRow=--end\r\nTimeFormat=HH:MM\r\n"
           "[Schedule]\r\nExternalCommandLine=notify *MESSAGE\r\nRunMe=0\r\nMessage=Go *NAME\r\n"
           "TimeShift=20\r\nNT40Scheduler=1\r\n"
           "[Kludges]\r\nCount=3\r\n1=PATH:\r\n3=\x01MSGID\r\n"
           "[FilmGrid]\r\nColumn0=11\r\nColumn1=x\r\nColumn3=44\r\n";
}

}  // namespace

TEST(Config, LoadsEveryKey) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    WriteFile(path, FullFile());
    Config c(path);
    ASSERT_TRUE(c.FileExists());
    FakePrompts prompts;
    EXPECT_TRUE(c.LoadConfig(prompts));
    EXPECT_EQ(prompts.baseCalls + prompts.paramsCalls, 0);
    EXPECT_TRUE(c.MissingSettings().empty());

    EXPECT_EQ(c.FIDOPath(), "Sc:\\fido\\tvlist");
    EXPECT_FALSE(c.EnableWarning());
    EXPECT_EQ(c.JTVGuidePath(), "c:\\jtv");
    EXPECT_EQ(c.Days()[1], kSunday);
    EXPECT_EQ(c.Days()[7], "N7");
    EXPECT_EQ(c.Months()[1], kJanuary);
    EXPECT_EQ(c.Months()[12], "N12");
    EXPECT_EQ(c.DelFromBegin(), 16);
    EXPECT_EQ(c.DelFromEnd(), 3);
    EXPECT_EQ(c.FirstCaptionRow(), "***");
    EXPECT_EQ(c.LastCaptionRow(), "---");
    EXPECT_EQ(c.LastDayRow(), "--end");
    EXPECT_EQ(c.TimeFormat(), "HH:MM");
    EXPECT_EQ(c.ExternalCommandLine(), "notify *MESSAGE");
    EXPECT_FALSE(c.RunMe());
    EXPECT_EQ(c.ScheduleMessage(), "Go *NAME");
    EXPECT_EQ(c.TimeShift(), 20);
    EXPECT_TRUE(c.NT40Scheduler());
    EXPECT_EQ(c.Kludges(), (std::vector<std::string>{"PATH:", "SEEN-BY", "\x01MSGID"}));
    EXPECT_EQ(c.FilmGridColumns(), (std::array<int, 4>{11, 300, 100, 44}));
    EXPECT_TRUE(c.MessageActionsEnabled());

    EXPECT_EQ(c.Format().longTimeFormat, "HH:MM");
    EXPECT_EQ(c.Format().timeSeparator, ':');
    EXPECT_EQ(c.Format().shortDateFormat, "dd MMMM, DDDD");
    EXPECT_NE(c.Format().longDayNames[1], kSunday);  // only SetGlobalDateParams copies them
    c.SetGlobalDateParams();
    EXPECT_EQ(c.Format().longDayNames, c.Days());
    EXPECT_EQ(c.Format().longMonthNames, c.Months());

    // The two counts were written back as read, in decimal; nothing else moved.
    std::string expected = FullFile();
    expected.replace(expected.find("DelFromBegin=$10"), 16, "DelFromBegin=16");
    expected.replace(expected.find("DelFromEnd= 3"), 13, "DelFromEnd=3");
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(Config, DefaultsFromGarbageOrMissingFile) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    const std::string garbage = "\xFF\xFE garbage\n[MSG\n=\n[MSG]\nDelFromBegin=five\n[Kludges]\nCount=x\n";
    WriteFile(path, garbage);
    Config c(path);
    FakePrompts prompts;
    EXPECT_TRUE(c.LoadConfig(prompts));
    EXPECT_EQ(prompts.baseCalls, 1);  // no FIDOPath, no names
    EXPECT_EQ(prompts.paramsCalls, 0);
    EXPECT_EQ(c.FIDOPath(), "");
    EXPECT_FALSE(c.MessageActionsEnabled());
    EXPECT_TRUE(c.EnableWarning());
    EXPECT_EQ(c.DelFromBegin(), 5);
    EXPECT_EQ(c.DelFromEnd(), 2);
    EXPECT_EQ(c.FirstCaptionRow(), "======");
    EXPECT_EQ(c.LastCaptionRow(), "-----------------");
    EXPECT_EQ(c.LastDayRow(), "--=tobra-attach");
    EXPECT_EQ(c.TimeFormat(), "HH.MM");
    EXPECT_EQ(c.Format().timeSeparator, '.');
    EXPECT_TRUE(c.RunMe());
    EXPECT_EQ(c.ScheduleMessage(),
              "\xC2\xF0\xF3\xE1\xE0\xE9 \xF2\xE5\xEB\xE5\xEA! \xC2 *TIME \xE1\xF3\xE4\xE5\xF2 \xE8\xE4\xF2\xE8 "
              "*NAME \xEF\xEE *CHANEL!");
    EXPECT_EQ(c.TimeShift(), 15);
    EXPECT_FALSE(c.NT40Scheduler());
    EXPECT_TRUE(c.Kludges().empty());
    EXPECT_EQ(c.FilmGridColumns(), (std::array<int, 4>{50, 300, 100, 200}));
    auto missing = c.MissingSettings();
    ASSERT_EQ(missing.size(), 20u);
    EXPECT_EQ(missing.front(), "MAIN/FIDOPath");
    EXPECT_EQ(missing[1], "DAYS/1");
    EXPECT_EQ(missing.back(), "MONTHS/12");
    // The cancelled dialog wrote nothing; the counts were written back.
    EXPECT_EQ(ReadFile(path), "\xFF\xFE garbage\n[MSG\n=\n[MSG]\nDelFromBegin=5\nDelFromEnd=2\n[Kludges]\nCount=x\n");

    // A missing file reads as all defaults too (the caller checks FileExists first).
    Config none(dir / "none.ini");
    EXPECT_FALSE(none.FileExists());
    FakePrompts p2;
    EXPECT_TRUE(none.LoadConfig(p2));
    EXPECT_EQ(none.DelFromBegin(), 5);
    EXPECT_EQ(p2.baseCalls, 1);
}

TEST(Config, KludgeListHoldsExactlyTheNamedEntries) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    Config c(path);
    FakePrompts prompts;
    auto load = [&](const std::string& kludges) {
        WriteFile(path, "[Kludges]\r\n" + kludges);
        c.LoadConfig(prompts);
        return c.Kludges();
    };
    EXPECT_EQ(load("Count=2\r\n1=PATH:\r\n"), (std::vector<std::string>{"PATH:", "SEEN-BY"}));
    EXPECT_EQ(load("Count=1\r\n1=PATH:\r\n2=ignored\r\n"), (std::vector<std::string>{"PATH:"}));
    EXPECT_EQ(load("Count=0\r\n1=PATH:\r\n"), std::vector<std::string>{});
    EXPECT_EQ(load("Count=-2\r\n1=PATH:\r\n"), std::vector<std::string>{});
    EXPECT_EQ(load("1=PATH:\r\n"), std::vector<std::string>{});
    // A present but empty key is an empty entry, not the default; "01" is not key 1.
    EXPECT_EQ(load("Count=3\r\n01=x\r\n2=\r\n3=A\r\n"), (std::vector<std::string>{"SEEN-BY", "", "A"}));
    // A huge Count stays bounded and keeps every key actually present.
    auto big = load("Count=2147483647\r\n1=PATH:\r\n5000=FAR\r\n");
    ASSERT_EQ(big.size(), 5000u);
    EXPECT_EQ(big.front(), "PATH:");
    EXPECT_EQ(big[1], "SEEN-BY");
    EXPECT_EQ(big.back(), "FAR");
    EXPECT_EQ(load("Count=$7FFFFFFF\r\n").size(), static_cast<std::size_t>(Config::kMaxDefaultKludges));
}

TEST(Config, PromptsOnlyWhenSettingsAreMissing) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";

    // A missing day name: the base dialog; cancelled, nothing is written.
    WriteFile(path, FullFile(3));
    std::string before = ReadFile(path);
    {
        Config c(path);
        FakePrompts prompts;
        EXPECT_TRUE(c.LoadConfig(prompts));
        EXPECT_EQ(prompts.baseCalls, 1);
        EXPECT_EQ(prompts.paramsCalls, 0);
        EXPECT_EQ(c.MissingSettings(), std::vector<std::string>{"DAYS/3"});
    }
    {
        // Confirmed: the identifier and all 19 names are written back.
        WriteFile(path, FullFile(3));
        Config c(path);
        FakePrompts prompts;
        prompts.onBase = [](Config& cfg) {
            EXPECT_EQ(cfg.FIDOPath(), "Sc:\\fido\\tvlist");  // preset with the current identifier
            cfg.SetFIDOPath("Ic:\\tv");
            return true;
        };
        EXPECT_TRUE(c.LoadConfig(prompts));
        EXPECT_FALSE(c.MessageActionsEnabled());
        orbisk::IniFile ini(path);
        EXPECT_EQ(ini.ReadString("MAIN", "FIDOPath", ""), "Ic:\\tv");
        EXPECT_TRUE(ini.ValueExists("DAYS", "3"));
        EXPECT_EQ(ini.ReadString("DAYS", "3", "-"), "");
        EXPECT_EQ(ini.ReadString("DAYS", "1", ""), kSunday);
        EXPECT_EQ(ini.ReadSection("MONTHS").size(), 12u);
        // Still a name missing: the dialog comes again at the next load.
        FakePrompts again;
        c.LoadConfig(again);
        EXPECT_EQ(again.baseCalls, 1);
    }

    // An empty message parameter: the parameters dialog decides the result.
    std::string noFormat = FullFile();
    noFormat.replace(noFormat.find("TimeFormat=HH:MM"), 16, "TimeFormat=");
    WriteFile(path, noFormat);
    {
        Config c(path);
        FakePrompts prompts;
        EXPECT_FALSE(c.LoadConfig(prompts));
        EXPECT_EQ(prompts.baseCalls, 0);
        EXPECT_EQ(prompts.paramsCalls, 1);
        EXPECT_EQ(c.MissingSettings(), std::vector<std::string>{"MSG/TimeFormat"});
        EXPECT_EQ(c.Format().longTimeFormat, "HH.MM") << "a failed load leaves the time format alone";
    }
    {
        Config c(path);
        FakePrompts prompts;
        prompts.onParams = [](Config& cfg) {
            cfg.SetTimeFormat("hh-mm");
            return true;
        };
        EXPECT_TRUE(c.LoadConfig(prompts));
        EXPECT_EQ(c.TimeFormat(), "hh-mm");
        EXPECT_EQ(c.Format().longTimeFormat, "hh-mm");
        EXPECT_EQ(c.Format().timeSeparator, '-');
        EXPECT_EQ(orbisk::IniFile(path).ReadString("MSG", "TimeFormat", ""), "HH-MM");
        // Confirmed with H and M letters only: the separator stays.
        prompts.onParams = [](Config& cfg) {
            cfg.SetTimeFormat("HHMM");
            return true;
        };
        orbisk::IniFile(path).WriteString("MSG", "TimeFormat", "");
        EXPECT_TRUE(c.LoadConfig(prompts));
        EXPECT_EQ(c.Format().longTimeFormat, "HHMM");
        EXPECT_EQ(c.Format().timeSeparator, '-');
    }
}

TEST(Config, SettersPersistAtOnce) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    WriteFile(path, FullFile());
    Config c(path);
    c.SetEnableWarning(true);
    c.SetFIDOPath("Jc:\\fido\\jam\\tv");
    c.SetJTVGuidePath("d:\\guide");
    c.SetDelFromBegin(7);
    c.SetDelFromEnd(0);
    c.SetFirstCaptionRow("==");
    c.SetLastCaptionRow("--");
    c.SetLastDayRow("--=x");
    c.SetTimeFormat("hh.mm");
    c.SetTimeShift(5);
    c.SetScheduleMessage("*TIME!");
    c.SetRunMe(true);
    c.SetFilmGridColumns({1, 2, 3, 4});
    EXPECT_EQ(c.TimeFormat(), "hh.mm");
    EXPECT_EQ(c.FIDOPath(), "Jc:\\fido\\jam\\tv");

    orbisk::IniFile ini(path);
    EXPECT_EQ(ini.ReadString("MAIN", "EnableWarning", ""), "1");
    EXPECT_EQ(ini.ReadString("Schedule", "RunMe", ""), "1");
    EXPECT_EQ(ini.ReadString("MSG", "TimeFormat", ""), "HH.MM");
    Config fresh(path);
    FakePrompts prompts;
    EXPECT_TRUE(fresh.LoadConfig(prompts));
    EXPECT_TRUE(fresh.EnableWarning());
    EXPECT_EQ(fresh.FIDOPath(), "Jc:\\fido\\jam\\tv");
    EXPECT_EQ(fresh.JTVGuidePath(), "d:\\guide");
    EXPECT_EQ(fresh.DelFromBegin(), 7);
    EXPECT_EQ(fresh.DelFromEnd(), 0);
    EXPECT_EQ(fresh.FirstCaptionRow(), "==");
    EXPECT_EQ(fresh.LastCaptionRow(), "--");
    EXPECT_EQ(fresh.LastDayRow(), "--=x");
    EXPECT_EQ(fresh.TimeShift(), 5);
    EXPECT_EQ(fresh.ScheduleMessage(), "*TIME!");
    EXPECT_TRUE(fresh.RunMe());
    EXPECT_EQ(fresh.FilmGridColumns(), (std::array<int, 4>{1, 2, 3, 4}));

    // An unchanged JTV folder is not written at all.
    std::filesystem::remove(path);
    c.SetJTVGuidePath("d:\\guide");
    EXPECT_FALSE(c.FileExists());

    // When the write fails, the value in memory stays.
    std::filesystem::remove_all(dir.path());
    EXPECT_THROW(c.SetFIDOPath("Sx"), Error);
    EXPECT_EQ(c.FIDOPath(), "Jc:\\fido\\jam\\tv");
    EXPECT_THROW(c.SetTimeShift(99), Error);
    EXPECT_EQ(c.TimeShift(), 5);
}

TEST(Config, ExternalCommandLineSetterWritesAndKeeps) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    WriteFile(path, FullFile());
    Config c(path);
    // A run line with quotes, blanks and a Cyrillic word ("Сообщение") goes
    // to the file as it stands and comes back through LoadConfig.
    const std::string line = "notify-send '*NAME' \"*MESSAGE\" \xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5";
    c.SetExternalCommandLine(line);
    EXPECT_EQ(c.ExternalCommandLine(), line);
    EXPECT_EQ(orbisk::IniFile(path).ReadString("Schedule", "ExternalCommandLine", ""), line);
    Config fresh(path);
    FakePrompts prompts;
    ASSERT_TRUE(fresh.LoadConfig(prompts));
    EXPECT_EQ(fresh.ExternalCommandLine(), line);

    std::filesystem::remove_all(dir.path());
    EXPECT_THROW(c.SetExternalCommandLine("other"), Error);
    EXPECT_EQ(c.ExternalCommandLine(), line) << "a failed write keeps the value in memory";
}

TEST(Config, UnwritableFileFailsTheLoad) {
    TempDir dir;
    // The folder vanished after the start: the first write-back fails.
    auto sub = dir / "app";
    std::filesystem::create_directory(sub);
    Config gone(sub + "/Orbisk.ini");
    std::filesystem::remove_all(sub);
    FakePrompts prompts;
    try {
        gone.LoadConfig(prompts);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + sub + "/Orbisk.ini");
    }
    EXPECT_EQ(prompts.baseCalls, 0) << "the load stops at the write-back";
}

TEST(Config, ReadOnlyFileFailsTheLoad) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    FakePrompts prompts;
    auto path = dir / "Orbisk.ini";
    WriteFile(path, FullFile());
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    Config c(path);
    EXPECT_THROW(c.LoadConfig(prompts), Error);
    EXPECT_EQ(ReadFile(path), FullFile());
}

TEST(Config, MessageActionsFollowTheIdentifierLetter) {
    TempDir dir;
    Config c(dir / "Orbisk.ini");
    EXPECT_FALSE(c.MessageActionsEnabled());  // no identifier yet
    c.SetFIDOPath("Ic:\\tv");
    EXPECT_FALSE(c.MessageActionsEnabled());
    c.SetFIDOPath("ic:\\tv");  // lower case is no text-file identifier
    EXPECT_TRUE(c.MessageActionsEnabled());
    c.SetFIDOPath("H007c:\\fido\\hudson");
    EXPECT_TRUE(c.MessageActionsEnabled());
}
