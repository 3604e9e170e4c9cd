#include "schedule/reminder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"
#include "listing/channellist.h"
#include "schedule/atjob.h"
#include "schedule/netschedule.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kDefaultMessage = "Врубай телек! В *TIME будет идти *NAME по *CHANEL!"_cp1251;
const std::string kNews = "Новости"_cp1251;
const std::string kFirst = "Первый"_cp1251;

std::string stamp(const RunMoment& m) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", m.year, m.month, m.day, m.hour, m.minute,
                  m.second);
    return buf;
}

TEST(ReminderRunTime, LeadAndTheSixOClockCut) {
    const DateTime d = encodeDate(2026, 12, 9);
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(0, 10), 15)), "2026-12-09 23:55:00");
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(0, 10), 5)), "2026-12-10 00:05:00");
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(5, 50), 15)), "2026-12-10 05:35:00");
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(6, 0), 0)), "2026-12-09 06:00:00");
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(0, 15), 15)), "2026-12-10 00:00:00");
    EXPECT_EQ(stamp(reminderRunTime(d, encodeTime(21, 30), 59)), "2026-12-09 20:31:00");
    // Across a month and a year end.
    EXPECT_EQ(stamp(reminderRunTime(encodeDate(2026, 12, 31), encodeTime(1, 0), 5)), "2027-01-01 00:55:00");
    EXPECT_EQ(stamp(reminderRunTime(encodeDate(2026, 11, 30), encodeTime(0, 5), 10)), "2026-11-30 23:55:00");
    const RunMoment m = reminderRunTime(d, encodeTime(0, 10), 15);
    EXPECT_EQ(m.date, encodeDate(2026, 12, 9));
    EXPECT_NEAR(m.time, encodeTime(23, 55), 1e-9);

    for (int bad : {60, -1, 1000}) {
        try {
            reminderRunTime(d, encodeTime(21, 30), bad);
            ADD_FAILURE() << "lead " << bad << " accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Invalid argument to time encode");
        }
    }
}

TEST(ReminderRunTime, DaysOfMonthAndTheJobRecord) {
    EXPECT_EQ(daysOfMonthMask(1), 1u);
    EXPECT_EQ(daysOfMonthMask(31), 1u << 30);
    EXPECT_EQ(daysOfMonthMask(0), 0u);
    EXPECT_EQ(daysOfMonthMask(32), 0u);

    const AtInfo info = fillAtInfo(reminderRunTime(encodeDate(2026, 12, 30), encodeTime(0, 10), 5), "'x' 'П'"_cp1251);
    EXPECT_EQ(info.jobTime, 5u * 60'000u);
    EXPECT_EQ(info.daysOfMonth, 1u << 30) << "00:10 after the 30th runs on the 31st";
    EXPECT_EQ(info.daysOfWeek, 0);
    EXPECT_EQ(info.flags, 0);
    EXPECT_EQ(info.command, u"'x' '\u041F'");
    EXPECT_EQ(fillAtInfo(reminderRunTime(encodeDate(2026, 12, 31), encodeTime(21, 30), 0), "").jobTime,
              21u * 3'600'000u + 30u * 60'000u);
}

TEST(ReminderMacros, MessageAndCommandLines) {
    // The message: title and channel with apostrophes; a token that a value
    // brings in is replaced by the steps after it, "*MESSAGE" never.
    EXPECT_EQ(reminderMessage("\"Film\" 2", "21.30", "TV \"1\"", "*NAME at *TIME on *CHANEL"),
              "'Film' 2 at 21.30 on TV '1'");
    EXPECT_EQ(reminderMessage("Why *TIME?", "21.30", "K", "*NAME"), "Why 21.30?");
    EXPECT_EQ(reminderMessage("T", "21.30", "K", "*MESSAGE *name *NAME"), "*MESSAGE *name T");

    // The default run line: three quoted words.
    EXPECT_EQ(getRunLine(true, false, "ignored", "/opt/orbisk"), "*MESSAGE *TIME *CHANEL");
    EXPECT_EQ(expandReminderMacros("\"Film\"", "21.30", kFirst, kDefaultMessage, "*MESSAGE *TIME *CHANEL"),
              "'Врубай телек! В 21.30 будет идти '\\''Film'\\'' по "_cp1251 + kFirst + "!' '21.30' '" + kFirst + "'");
    // The network back-end: the quoted program path first; a "*" in the
    // path can't become a token.
    EXPECT_EQ(getRunLine(true, true, "", "/opt/My Apps/orbisk"), "'/opt/My Apps/orbisk' *MESSAGE *TIME *CHANEL");
    EXPECT_EQ(expandReminderMacros("T", "1", "K", "m", getRunLine(true, true, "", "/x*NAME/o")),
              "'/x'\\*'NAME/o' 'm' '1' 'K'");
    // The user's own line: each token one quoted word, the rest as written.
    EXPECT_EQ(expandReminderMacros("A \"b\"", "21.30", "K", "*NAME!",
                                   "notify-send -u low *NAME \"at\" *TIME; echo *MESSAGE > log"),
              "notify-send -u low 'A '\\''b'\\''' \"at\" '21.30'; echo 'A '\\''b'\\''!' > log");
    EXPECT_EQ(getRunLine(false, true, "", "/opt/orbisk"), "");
    EXPECT_EQ(expandReminderMacros("T", "1", "K", "m", ""), "");
    // Values are not searched again: a title "*CHANEL" stays a title.
    EXPECT_EQ(expandReminderMacros("*CHANEL", "1", "K", "*MESSAGE", "*NAME *MESSAGE"), "'*CHANEL' '*MESSAGE'");
}

TEST(ReminderMacros, ProgrammeAtThePickedTime) {
    Channel c;
    c.desc = "TV \"1\"";
    c.lines = {"06.00 Morning", "19.30 " + kNews, "23.30 Late", "01.00 Night"};
    c.times = {"06.00", "19.30", "23.30", "01.00"};
    FormatSettings f;
    ReminderProgramme p = pickProgramme(&c, encodeTime(20, 0), f);
    EXPECT_EQ(p.title, kNews);
    EXPECT_EQ(p.timeText, "19.30");
    EXPECT_EQ(p.channel, "TV \"1\"");
    EXPECT_NEAR(p.time, encodeTime(19, 30), 1e-9);
    p = pickProgramme(&c, encodeTime(2, 0), f);
    EXPECT_EQ(p.title, "Night");
    EXPECT_EQ(p.timeText, "01.00");
    EXPECT_EQ(reminderPrompt(p), "Добавить в расписание программу <Night>, идущую в 01.00 по каналу TV \"1\"?"_cp1251);
    // A long title is cut to 255 characters; a bare time gives no title.
    c.lines[0] = "06.00 " + std::string(300, 'x');
    EXPECT_EQ(pickProgramme(&c, encodeTime(6, 0), f).title, std::string(255, 'x'));
    c.lines[0] = "06.00";
    EXPECT_EQ(pickProgramme(&c, encodeTime(6, 0), f).title, "");

    // Nothing running (before the first programme), or no channel at all.
    c.lines[0] = "06.00 Morning";
    for (const Channel* channel : {static_cast<const Channel*>(&c), static_cast<const Channel*>(nullptr)}) {
        try {
            pickProgramme(channel, encodeTime(5, 0), f);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
        }
    }
}

// The built command lines run through /bin/sh with a stand-in program that
// writes each argument it gets, NUL-terminated, to a file.
class HostileTexts : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir / "stand in's prog";
        record = dir / "args";
        marker = dir / "pwned";
        writeFile(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + shellQuote(record) +
                               "\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    }

    // The arguments that reached the stand-in when sh ran `command`.
    std::vector<std::string> runThroughShell(const std::string& commandAnsi) {
        std::filesystem::remove(record);
        std::string out;
        const int rc = runProgram("/bin/sh", {"-c", ansiToUtf8(commandAnsi)}, "", out);
        EXPECT_EQ(rc, 0) << out;
        std::vector<std::string> args;
        const std::string bytes = std::filesystem::exists(record) ? readFile(record) : std::string();
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::size_t end = bytes.find('\0', pos);
            args.push_back(bytes.substr(pos, end - pos));
            pos = end + 1;
        }
        return args;
    }

    TempDir dir;
    std::string program, record, marker;
};

TEST_F(HostileTexts, ExactlyThreeArgumentsAndNothingElseRuns) {
    const std::string touch = "touch " + marker;
    const std::vector<std::string> hostile = {
        "$(" + touch + ")",
        "`" + touch + "`",
        "\"; " + touch + "; \"",
        "'; " + touch + "; '",
        "x\n" + touch + "\n",
        "a' `" + touch + "` 'b",
        "\\'; " + touch + " #",
        "*MESSAGE *NAME *TIME *CHANEL $HOME ${IFS} * ?",
        "| " + touch + " & " + touch + " && " + touch + " > /dev/null",
        "Кино «фильм» $((1+1))"_cp1251,
    };
    const std::string message = kDefaultMessage + " *MESSAGE";
    for (const bool network : {false, true}) {
        for (const std::string& title : hostile) {
            for (const std::string& channel : {kFirst, title}) {
                const std::string timeText = "21.30";
                // The task library puts the quoted program before the command;
                // the network line carries it itself.
                const std::string command =
                    network ? expandReminderMacros(title, timeText, channel, message,
                                                   getRunLine(true, true, "", program))
                            : shellQuote(program) + " " +
                                  expandReminderMacros(title, timeText, channel, message,
                                                       getRunLine(true, false, "", program));
                const auto args = runThroughShell(command);
                ASSERT_EQ(args.size(), 3u) << command;
                std::string apostrophed = channel;
                for (char& ch : apostrophed)
                    if (ch == '"') ch = '\'';
                EXPECT_EQ(args[0], ansiToUtf8(reminderMessage(title, timeText, channel, message))) << command;
                EXPECT_EQ(args[1], timeText);
                EXPECT_EQ(args[2], ansiToUtf8(apostrophed));
                EXPECT_FALSE(std::filesystem::exists(marker)) << command;
            }
        }
    }
    // A user's own line with every token: one word per token, whatever the
    // title holds.
    const std::string external = shellQuote(program) + " -n *NAME -t *TIME -c *CHANEL -- *MESSAGE";
    for (const std::string& title : hostile) {
        const auto args = runThroughShell(expandReminderMacros(title, "01.00", title, "[*NAME]", external));
        ASSERT_EQ(args.size(), 8u);
        std::string apostrophed = title;
        for (char& ch : apostrophed)
            if (ch == '"') ch = '\'';
        EXPECT_EQ(args[1], ansiToUtf8(apostrophed));
        EXPECT_EQ(args[3], "01.00");
        EXPECT_EQ(args[5], ansiToUtf8(apostrophed));
        EXPECT_EQ(args[7], ansiToUtf8(reminderMessage(title, "01.00", title, "[*NAME]")));
        EXPECT_FALSE(std::filesystem::exists(marker));
    }
}

// The user's own line puts tokens wherever the shell allows; each value
// must reach the program letter for letter, and nothing of it may run.
TEST_F(HostileTexts, EveryPlacementOfATokenGivesExactlyTheValue) {
    const std::string touch = "touch " + marker;
    const std::vector<std::string> hostile = {
        "$(" + touch + ")", "`" + touch + "`", "\"; " + touch + "; \"", "'; " + touch + "; '",
        "x\n" + touch + "\n", "a & " + touch + " | " + touch, "* ? [a-z] ~", "trailing \\",
        "\\\" \\' \\` \\$ $HOME", "Скоро «фильм» \"кавычки\""_cp1251,
    };
    const std::string p = shellQuote(program);
    auto noTrailingNewlines = [](std::string v) {
        while (!v.empty() && v.back() == '\n') v.pop_back();
        return v;
    };
    // A run line with "*NAME" and the arguments it must give for a value.
    const struct {
        std::string line;
        std::function<std::vector<std::string>(const std::string&)> args;
    } placements[] = {
        {p + " *NAME", [](const std::string& v) { return std::vector<std::string>{v}; }},
        {p + " \"Скоро: *NAME!\""_cp1251, [](const std::string& v) { return std::vector<std::string>{"Скоро: "_cp1251 + v + "!"}; }},
        {p + " 'Скоро: *NAME!'"_cp1251, [](const std::string& v) { return std::vector<std::string>{"Скоро: "_cp1251 + v + "!"}; }},
        {p + " pre*NAME'post'", [](const std::string& v) { return std::vector<std::string>{"pre" + v + "post"}; }},
        {p + " \\*NAME", [](const std::string& v) { return std::vector<std::string>{v}; }},
        {p + " \"\\*NAME\"", [](const std::string& v) { return std::vector<std::string>{v}; }},
        {p + " \"a'*NAME'b\"", [](const std::string& v) { return std::vector<std::string>{"a'" + v + "'b"}; }},
        {p + " '\"*NAME\"'", [](const std::string& v) { return std::vector<std::string>{"\"" + v + "\""}; }},
        {p + " \"$(printf '%s' *NAME)\"",
         [&](const std::string& v) { return std::vector<std::string>{noTrailingNewlines(v)}; }},
        {p + " \"`printf '%s' *NAME`\"",
         [&](const std::string& v) { return std::vector<std::string>{noTrailingNewlines(v)}; }},
        {p + " x # *NAME", [](const std::string&) { return std::vector<std::string>{"x"}; }},
    };
    for (const auto& placement : placements) {
        for (const std::string& title : hostile) {
            const std::string value = replaceAll(title, "\"", "'");
            const std::string command = expandReminderMacros(title, "21.30", kFirst, "m", placement.line);
            std::vector<std::string> expected;
            for (const auto& a : placement.args(value)) expected.push_back(ansiToUtf8(a));
            EXPECT_EQ(runThroughShell(command), expected) << command;
            EXPECT_FALSE(std::filesystem::exists(marker)) << command;
            std::filesystem::remove(marker);
        }
    }
}

}  // namespace
}  // namespace orbisk
