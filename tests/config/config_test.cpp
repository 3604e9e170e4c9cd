#include "config/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "base/cp1251.h"
#include "base/error.h"
#include "support/tempdir.h"

using orbisk::Config;
using orbisk::ConfigPrompts;
using orbisk::Error;
using orbisk::operator""_cp1251;
using orbisk::test::readFile;
using orbisk::test::TempDir;
using orbisk::test::writeFile;

namespace {

const std::string kSunday = "Воскресенье"_cp1251;
const std::string kJanuary = "Январь"_cp1251;

struct FakePrompts : ConfigPrompts {
    int baseCalls = 0, paramsCalls = 0;
    std::function<bool(Config&)> onBase = [](Config&) { return false; };
    std::function<bool(Config&)> onParams = [](Config&) { return false; };
    bool editMessageBase(Config& c) override {
        ++baseCalls;
        return onBase(c);
    }
    bool editMessageParams(Config& c) override {
        ++paramsCalls;
        return onParams(c);
    }
};

std::string names(const char* section, int count, const std::string& first, int skip = 0) {
    std::string s = std::string("[") + section + "]\r\n";
    for (int i = 1; i <= count; ++i)
        if (i != skip) s += std::to_string(i) + "=" + (i == 1 ? first : "N" + std::to_string(i)) + "\r\n";
    return s;
}

std::string fullFile(int skipDay = 0) {
    return "[MAIN]\r\nFIDOPath=Sc:\\fido\\tvlist\r\nEnableWarning=0\r\nJTVGuidePath=c:\\jtv\r\n" +
           names("DAYS", 7, kSunday, skipDay) + names("MONTHS", 12, kJanuary) +
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
    writeFile(path, fullFile());
    Config c(path);
    ASSERT_TRUE(c.fileExists());
    FakePrompts prompts;
    EXPECT_TRUE(c.loadConfig(prompts));
    EXPECT_EQ(prompts.baseCalls + prompts.paramsCalls, 0);
    EXPECT_TRUE(c.missingSettings().empty());

    EXPECT_EQ(c.fidoPath(), "Sc:\\fido\\tvlist");
    EXPECT_FALSE(c.enableWarning());
    EXPECT_EQ(c.jtvGuidePath(), "c:\\jtv");
    EXPECT_EQ(c.days()[1], kSunday);
    EXPECT_EQ(c.days()[7], "N7");
    EXPECT_EQ(c.months()[1], kJanuary);
    EXPECT_EQ(c.months()[12], "N12");
    EXPECT_EQ(c.delFromBegin(), 16);
    EXPECT_EQ(c.delFromEnd(), 3);
    EXPECT_EQ(c.firstCaptionRow(), "***");
    EXPECT_EQ(c.lastCaptionRow(), "---");
    EXPECT_EQ(c.lastDayRow(), "--end");
    EXPECT_EQ(c.timeFormat(), "HH:MM");
    EXPECT_EQ(c.externalCommandLine(), "notify *MESSAGE");
    EXPECT_FALSE(c.runMe());
    EXPECT_EQ(c.scheduleMessage(), "Go *NAME");
    EXPECT_EQ(c.timeShift(), 20);
    EXPECT_TRUE(c.nt40Scheduler());
    EXPECT_EQ(c.kludges(), (std::vector<std::string>{"PATH:", "SEEN-BY", "\x01MSGID"}));
    EXPECT_EQ(c.filmGridColumns(), (std::array<int, 4>{11, 300, 100, 44}));
    EXPECT_TRUE(c.messageActionsEnabled());

    EXPECT_EQ(c.format().longTimeFormat, "HH:MM");
    EXPECT_EQ(c.format().timeSeparator, ':');
    EXPECT_EQ(c.format().shortDateFormat, "dd MMMM, DDDD");
    EXPECT_NE(c.format().longDayNames[1], kSunday);  // only setGlobalDateParams copies them
    c.setGlobalDateParams();
    EXPECT_EQ(c.format().longDayNames, c.days());
    EXPECT_EQ(c.format().longMonthNames, c.months());

    // The two counts were written back as read, in decimal; nothing else moved.
    std::string expected = fullFile();
    expected.replace(expected.find("DelFromBegin=$10"), 16, "DelFromBegin=16");
    expected.replace(expected.find("DelFromEnd= 3"), 13, "DelFromEnd=3");
    EXPECT_EQ(readFile(path), expected);
}

TEST(Config, DefaultsFromGarbageOrMissingFile) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    // A UTF-16 byte-order mark before the garbage.
    const std::string garbage = "\xFF\xFE garbage\n[MSG\n=\n[MSG]\nDelFromBegin=five\n[Kludges]\nCount=x\n";
    writeFile(path, garbage);
    Config c(path);
    FakePrompts prompts;
    EXPECT_TRUE(c.loadConfig(prompts));
    EXPECT_EQ(prompts.baseCalls, 1);  // no fidoPath, no names
    EXPECT_EQ(prompts.paramsCalls, 0);
    EXPECT_EQ(c.fidoPath(), "");
    EXPECT_FALSE(c.messageActionsEnabled());
    EXPECT_TRUE(c.enableWarning());
    EXPECT_EQ(c.delFromBegin(), 5);
    EXPECT_EQ(c.delFromEnd(), 2);
    EXPECT_EQ(c.firstCaptionRow(), "======");
    EXPECT_EQ(c.lastCaptionRow(), "-----------------");
    EXPECT_EQ(c.lastDayRow(), "--=tobra-attach");
    EXPECT_EQ(c.timeFormat(), "HH.MM");
    EXPECT_EQ(c.format().timeSeparator, '.');
    EXPECT_TRUE(c.runMe());
    EXPECT_EQ(c.scheduleMessage(), "Врубай телек! В *TIME будет идти *NAME по *CHANEL!"_cp1251);
    EXPECT_EQ(c.timeShift(), 15);
    EXPECT_FALSE(c.nt40Scheduler());
    EXPECT_TRUE(c.kludges().empty());
    EXPECT_EQ(c.filmGridColumns(), (std::array<int, 4>{50, 300, 100, 200}));
    auto missing = c.missingSettings();
    ASSERT_EQ(missing.size(), 20u);
    EXPECT_EQ(missing.front(), "MAIN/FIDOPath");
    EXPECT_EQ(missing[1], "DAYS/1");
    EXPECT_EQ(missing.back(), "MONTHS/12");
    // The cancelled dialog wrote nothing; the counts were written back.
    EXPECT_EQ(readFile(path), "\xFF\xFE garbage\n[MSG\n=\n[MSG]\nDelFromBegin=5\nDelFromEnd=2\n[Kludges]\nCount=x\n");

    // A missing file reads as all defaults too (the caller checks fileExists first).
    Config none(dir / "none.ini");
    EXPECT_FALSE(none.fileExists());
    FakePrompts p2;
    EXPECT_TRUE(none.loadConfig(p2));
    EXPECT_EQ(none.delFromBegin(), 5);
    EXPECT_EQ(p2.baseCalls, 1);
}

TEST(Config, KludgeListHoldsExactlyTheNamedEntries) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    Config c(path);
    FakePrompts prompts;
    auto load = [&](const std::string& kludges) {
        writeFile(path, "[Kludges]\r\n" + kludges);
        c.loadConfig(prompts);
        return c.kludges();
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
    writeFile(path, fullFile(3));
    std::string before = readFile(path);
    {
        Config c(path);
        FakePrompts prompts;
        EXPECT_TRUE(c.loadConfig(prompts));
        EXPECT_EQ(prompts.baseCalls, 1);
        EXPECT_EQ(prompts.paramsCalls, 0);
        EXPECT_EQ(c.missingSettings(), std::vector<std::string>{"DAYS/3"});
    }
    {
        // Confirmed: the identifier and all 19 names are written back.
        writeFile(path, fullFile(3));
        Config c(path);
        FakePrompts prompts;
        prompts.onBase = [](Config& cfg) {
            EXPECT_EQ(cfg.fidoPath(), "Sc:\\fido\\tvlist");  // preset with the current identifier
            cfg.setFidoPath("Ic:\\tv");
            return true;
        };
        EXPECT_TRUE(c.loadConfig(prompts));
        EXPECT_FALSE(c.messageActionsEnabled());
        orbisk::IniFile ini(path);
        EXPECT_EQ(ini.readString("MAIN", "FIDOPath", ""), "Ic:\\tv");
        EXPECT_TRUE(ini.valueExists("DAYS", "3"));
        EXPECT_EQ(ini.readString("DAYS", "3", "-"), "");
        EXPECT_EQ(ini.readString("DAYS", "1", ""), kSunday);
        EXPECT_EQ(ini.readSection("MONTHS").size(), 12u);
        // Still a name missing: the dialog comes again at the next load.
        FakePrompts again;
        c.loadConfig(again);
        EXPECT_EQ(again.baseCalls, 1);
    }

    // An empty message parameter: the parameters dialog decides the result.
    std::string noFormat = fullFile();
    noFormat.replace(noFormat.find("TimeFormat=HH:MM"), 16, "TimeFormat=");
    writeFile(path, noFormat);
    {
        Config c(path);
        FakePrompts prompts;
        EXPECT_FALSE(c.loadConfig(prompts));
        EXPECT_EQ(prompts.baseCalls, 0);
        EXPECT_EQ(prompts.paramsCalls, 1);
        EXPECT_EQ(c.missingSettings(), std::vector<std::string>{"MSG/TimeFormat"});
        EXPECT_EQ(c.format().longTimeFormat, "HH.MM") << "a failed load leaves the time format alone";
    }
    {
        Config c(path);
        FakePrompts prompts;
        prompts.onParams = [](Config& cfg) {
            cfg.setTimeFormat("hh-mm");
            return true;
        };
        EXPECT_TRUE(c.loadConfig(prompts));
        EXPECT_EQ(c.timeFormat(), "hh-mm");
        EXPECT_EQ(c.format().longTimeFormat, "hh-mm");
        EXPECT_EQ(c.format().timeSeparator, '-');
        EXPECT_EQ(orbisk::IniFile(path).readString("MSG", "TimeFormat", ""), "HH-MM");
        // Confirmed with H and M letters only: the separator stays.
        prompts.onParams = [](Config& cfg) {
            cfg.setTimeFormat("HHMM");
            return true;
        };
        orbisk::IniFile(path).writeString("MSG", "TimeFormat", "");
        EXPECT_TRUE(c.loadConfig(prompts));
        EXPECT_EQ(c.format().longTimeFormat, "HHMM");
        EXPECT_EQ(c.format().timeSeparator, '-');
    }
}

TEST(Config, SettersPersistAtOnce) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    writeFile(path, fullFile());
    Config c(path);
    c.setEnableWarning(true);
    c.setFidoPath("Jc:\\fido\\jam\\tv");
    c.setJtvGuidePath("d:\\guide");
    c.setDelFromBegin(7);
    c.setDelFromEnd(0);
    c.setFirstCaptionRow("==");
    c.setLastCaptionRow("--");
    c.setLastDayRow("--=x");
    c.setTimeFormat("hh.mm");
    c.setTimeShift(5);
    c.setScheduleMessage("*TIME!");
    c.setRunMe(true);
    c.setFilmGridColumns({1, 2, 3, 4});
    EXPECT_EQ(c.timeFormat(), "hh.mm");
    EXPECT_EQ(c.fidoPath(), "Jc:\\fido\\jam\\tv");

    orbisk::IniFile ini(path);
    EXPECT_EQ(ini.readString("MAIN", "EnableWarning", ""), "1");
    EXPECT_EQ(ini.readString("Schedule", "RunMe", ""), "1");
    EXPECT_EQ(ini.readString("MSG", "TimeFormat", ""), "HH.MM");
    Config fresh(path);
    FakePrompts prompts;
    EXPECT_TRUE(fresh.loadConfig(prompts));
    EXPECT_TRUE(fresh.enableWarning());
    EXPECT_EQ(fresh.fidoPath(), "Jc:\\fido\\jam\\tv");
    EXPECT_EQ(fresh.jtvGuidePath(), "d:\\guide");
    EXPECT_EQ(fresh.delFromBegin(), 7);
    EXPECT_EQ(fresh.delFromEnd(), 0);
    EXPECT_EQ(fresh.firstCaptionRow(), "==");
    EXPECT_EQ(fresh.lastCaptionRow(), "--");
    EXPECT_EQ(fresh.lastDayRow(), "--=x");
    EXPECT_EQ(fresh.timeShift(), 5);
    EXPECT_EQ(fresh.scheduleMessage(), "*TIME!");
    EXPECT_TRUE(fresh.runMe());
    EXPECT_EQ(fresh.filmGridColumns(), (std::array<int, 4>{1, 2, 3, 4}));

    // An unchanged JTV folder is not written at all.
    std::filesystem::remove(path);
    c.setJtvGuidePath("d:\\guide");
    EXPECT_FALSE(c.fileExists());

    // When the write fails, the value in memory stays.
    std::filesystem::remove_all(dir.path());
    EXPECT_THROW(c.setFidoPath("Sx"), Error);
    EXPECT_EQ(c.fidoPath(), "Jc:\\fido\\jam\\tv");
    EXPECT_THROW(c.setTimeShift(99), Error);
    EXPECT_EQ(c.timeShift(), 5);
}

TEST(Config, ExternalCommandLineSetterWritesAndKeeps) {
    TempDir dir;
    auto path = dir / "Orbisk.ini";
    writeFile(path, fullFile());
    Config c(path);
    // A run line with quotes, blanks and a Cyrillic word goes to the file as
    // it stands and comes back through loadConfig.
    const std::string line = "notify-send '*NAME' \"*MESSAGE\" Сообщение"_cp1251;
    c.setExternalCommandLine(line);
    EXPECT_EQ(c.externalCommandLine(), line);
    EXPECT_EQ(orbisk::IniFile(path).readString("Schedule", "ExternalCommandLine", ""), line);
    Config fresh(path);
    FakePrompts prompts;
    ASSERT_TRUE(fresh.loadConfig(prompts));
    EXPECT_EQ(fresh.externalCommandLine(), line);

    std::filesystem::remove_all(dir.path());
    EXPECT_THROW(c.setExternalCommandLine("other"), Error);
    EXPECT_EQ(c.externalCommandLine(), line) << "a failed write keeps the value in memory";
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
        gone.loadConfig(prompts);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + sub + "/Orbisk.ini");
    }
    EXPECT_EQ(prompts.baseCalls, 0) << "the load stops at the write-back";
}

// A read-only file serves every reader while it holds what the load writes
// back; one that lacks it fails the load (orbisk-cli runs the same load as
// another user in tests/cli, where root can't test permissions).
TEST(Config, ReadOnlyFileLoadsWhenNothingIsMissing) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    FakePrompts prompts;
    auto path = dir / "Orbisk.ini";
    writeFile(path, fullFile());
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    Config c(path);
    EXPECT_TRUE(c.loadConfig(prompts));
    EXPECT_EQ(c.delFromBegin(), 16);
    EXPECT_EQ(readFile(path), fullFile());

    const std::string lacking = dir / "lacking.ini";
    writeFile(lacking, "[MAIN]\r\n");
    ASSERT_EQ(::chmod(lacking.c_str(), 0444), 0);
    Config l(lacking);
    EXPECT_THROW(l.loadConfig(prompts), Error);
    EXPECT_EQ(readFile(lacking), "[MAIN]\r\n");
}

TEST(Config, MessageActionsFollowTheIdentifierLetter) {
    TempDir dir;
    Config c(dir / "Orbisk.ini");
    EXPECT_FALSE(c.messageActionsEnabled());  // no identifier yet
    c.setFidoPath("Ic:\\tv");
    EXPECT_FALSE(c.messageActionsEnabled());
    c.setFidoPath("ic:\\tv");  // lower case is no text-file identifier
    EXPECT_TRUE(c.messageActionsEnabled());
    c.setFidoPath("H007c:\\fido\\hudson");
    EXPECT_TRUE(c.messageActionsEnabled());
}

namespace {

// Sets (or with null unsets) environment variables for one scope.
class EnvGuard {
public:
    void set(const char* name, const char* value) {
        if (const char* old = std::getenv(name))
            saved_.emplace_back(name, std::string(old));
        else
            saved_.emplace_back(name, std::nullopt);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

// Both programs look at ORBISK_INI, then beside the program, then the
// per-user file; a file named on purpose is the only place looked at.
TEST(ConfigPath, LookUpOrder) {
    // This test program runs from <build>/tests.
    const std::string beside = (std::filesystem::canonical(ORBISK_BINARY_DIR "/tests") / "Orbisk.ini").string();
    EXPECT_EQ(orbisk::defaultConfigPath(), beside);
    ASSERT_FALSE(std::filesystem::exists(beside)) << "a stray portable file would hide the per-user one";

    TempDir dir;
    const std::string home = dir / "home";
    const std::string xdg = dir / "xdg";
    const std::string homeIni = home + "/.config/orbisk/Orbisk.ini";
    const std::string xdgIni = xdg + "/orbisk/Orbisk.ini";
    writeFile(dir / "named.ini", fullFile());
    struct Case {
        const char* label;
        const char* env;   // ORBISK_INI, null: unset
        const char* xdg;   // XDG_CONFIG_HOME
        bool homeFile;     // the per-user file exists
        std::string named; // --ini
        std::string path;
        bool found;
        std::vector<std::string> searched;
    };
    const std::string named = dir / "named.ini";
    const std::string none = dir / "none.ini";
    const Case cases[] = {
        {"nothing yet: the per-user file is to be made", nullptr, nullptr, false, "", homeIni, false, {beside, homeIni}},
        {"empty variables count as unset", "", "", false, "", homeIni, false, {beside, homeIni}},
        {"per-user file found", nullptr, nullptr, true, "", homeIni, true, {beside, homeIni}},
        {"XDG_CONFIG_HOME moves it", nullptr, xdg.c_str(), true, "", xdgIni, false, {beside, xdgIni}},
        {"a relative XDG_CONFIG_HOME is ignored", nullptr, "rel", true, "", homeIni, true, {beside, homeIni}},
        {"ORBISK_INI wins", named.c_str(), nullptr, true, "", named, true, {named}},
        {"a missing ORBISK_INI is not replaced", none.c_str(), nullptr, true, "", "", false, {none}},
        {"--ini wins over ORBISK_INI", none.c_str(), nullptr, true, named, named, true, {named}},
    };
    for (const Case& c : cases) {
        EnvGuard env;
        env.set(orbisk::kIniEnvironment, c.env);
        env.set("XDG_CONFIG_HOME", c.xdg);
        env.set("HOME", home.c_str());
        std::filesystem::remove_all(home);
        if (c.homeFile) {
            std::filesystem::create_directories(home + "/.config/orbisk");
            writeFile(homeIni, fullFile());
        }
        const orbisk::ConfigLookup l = orbisk::findConfigFile(c.named);
        EXPECT_EQ(l.path, c.path) << c.label;
        EXPECT_EQ(l.found, c.found) << c.label;
        EXPECT_EQ(l.searched, c.searched) << c.label;
        EXPECT_EQ(l.mayCreate(), !c.found && !c.path.empty()) << c.label;
    }
    EnvGuard env;
    env.set("XDG_CONFIG_HOME", nullptr);
    env.set("HOME", nullptr);
    EXPECT_EQ(orbisk::userConfigPath(), "") << "no home: nowhere to make a file";
}

TEST(ConfigPath, FirstStartCopiesTheTemplate) {
    // The build puts the template where an installed program finds it.
    const std::string tmpl = orbisk::configTemplatePath();
    ASSERT_EQ(tmpl, ORBISK_BINARY_DIR "/share/orbisk/Orbisk.ini");
    TempDir dir;
    const std::string target = dir / "home/.config/orbisk/Orbisk.ini";
    orbisk::createConfigFromTemplate(tmpl, target);

    struct ::stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((dir / "home/.config/orbisk").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Every name and default is there: only the message base is left to ask.
    Config c(target);
    FakePrompts prompts;
    EXPECT_TRUE(c.loadConfig(prompts));
    EXPECT_EQ(c.missingSettings(), std::vector<std::string>{"MAIN/FIDOPath"});
    EXPECT_EQ(c.days()[1], kSunday);
    EXPECT_EQ(c.months()[12], "декабря"_cp1251);
    EXPECT_EQ(c.timeFormat(), "HH.MM");
    EXPECT_EQ(c.kludges(), std::vector<std::string>{"SEEN-BY"});

    // A file that exists is the user's: never overwritten.
    c.setFidoPath("F/fido");
    orbisk::createConfigFromTemplate(tmpl, target);
    EXPECT_EQ(Config(target).ini().readString("MAIN", "FIDOPath", ""), "F/fido");

    EXPECT_THROW(orbisk::createConfigFromTemplate(dir / "no-template.ini", dir / "x/Orbisk.ini"), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
    writeFile(dir / "file", "");
    EXPECT_THROW(orbisk::createConfigFromTemplate(tmpl, dir / "file/sub/Orbisk.ini"), Error);
}

TEST(ConfigPath, MissingTextNamesThePlaces) {
    orbisk::ConfigLookup l;
    l.searched = {"/opt/orbisk/Orbisk.ini", "/home/Фидо/Orbisk.ini"};
    EXPECT_EQ(orbisk::configMissingText(l), std::string(orbisk::kConfigMissingText) +
                                                "\nИскали в этих местах:\n/opt/orbisk/Orbisk.ini\n/home/Фидо/Orbisk.ini"_cp1251);
}

TEST(ConfigPath, OnlyARegularFileIsASettingsFile) {
    TempDir dir;
    writeFile(dir / "Orbisk.ini", fullFile());
    writeFile(dir / "empty.ini", "");
    std::filesystem::create_directory(dir / "folder.ini");
    struct Case {
        std::string path;
        bool exists;
    };
    const Case cases[] = {
        {dir / "Orbisk.ini", true},  {dir / "empty.ini", true}, {dir / "none.ini", false},
        {dir / "folder.ini", false}, {dir.str(), false},        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(orbisk::configFileExists(c.path), c.exists) << c.path;
        // The check before the window is made and the window's own agree.
        EXPECT_EQ(Config(c.path).fileExists(), c.exists) << c.path;
    }
}
