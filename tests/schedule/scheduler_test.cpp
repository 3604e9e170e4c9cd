#include "schedule/scheduler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "viewer/viewer.h"
#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/inifile.h"
#include "base/ui.h"
#include "support/listing_names.h"
#include "schedule/atjob.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::kDayNames;
using test::kMonthNames;
using test::TempDir;
using test::writeFile;

DateTime at(int y, int mo, int d, int h, int mi) { return encodeDate(y, mo, d) + encodeTime(h, mi); }

class RecordingNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon icon) override {
        shown.push_back(caption + ": " + text);
        icons.push_back(icon);
    }
    Answer ask(const std::string&, const std::string&, MsgIcon, Buttons) override { return Answer::No; }
    std::vector<std::string> shown;
    std::vector<MsgIcon> icons;
};

class NoPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config&) override { return false; }
    bool editMessageParams(Config&) override { return false; }
};

class ScriptedDialogs : public ScheduleDialogs {
public:
    bool askLeadTime(const std::string& text, int& minutes) override {
        prompt = text;
        offered = minutes;
        if (!leadOk) return false;
        minutes = lead;
        return true;
    }
    bool editScheduleSettings(int& l, std::string& m, bool& r, std::string& line) override {
        seen = {std::to_string(l), m, r ? "1" : "0", line};
        if (!settingsOk) return false;
        l = newLead, m = newMessage, r = newRunMe, line = newLine;
        return true;
    }
    bool leadOk = true;
    int lead = 15;
    std::string prompt;
    int offered = -1;
    bool settingsOk = true;
    std::vector<std::string> seen;
    int newLead = 20;
    std::string newMessage = "*NAME!";
    bool newRunMe = false;
    std::string newLine = "notify-send *MESSAGE";
};

class FakeLibrary : public TaskLibrary {
public:
    FakeLibrary() : TaskLibrary("/nowhere/liborbisk_sched.so") {}
    Status load() override {
        ++loads;
        return status;
    }
    std::int32_t addTask(const std::string& program, const std::string& command, int y, int mo, int d, int h,
                         int mi) override {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", y, mo, d, h, mi);
        calls.push_back(program + "|" + command + "|" + buf);
        return result;
    }
    std::string lastAnswer() const override { return answer; }
    Status status = Status::Loaded;
    int loads = 0;
    std::int32_t result = 1;
    std::string answer;
    std::vector<std::string> calls;
};

class FakeNet : public NetScheduler {
public:
    std::uint32_t jobAdd(const AtInfo& info, std::uint32_t& jobId, std::string& text) override {
        jobs.push_back(info);
        jobId = 17;
        text = answer;
        return status;
    }
    std::vector<AtInfo> jobs;
    std::uint32_t status = 0;
    std::string answer;
};

// Wednesday 9 December 2026 as a text-file listing at 20:00, 21:10 picked.
class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string text = "[tv.all]\r\n======\r\n" + std::string(kDayNames[4]) + ". 9 " + kMonthNames[12] +
                           ". One\r\n-----------------\r\n06.00 Morning\r\n21.00 \"News\" $(id)\r\n00.10 Night\r\n";
        writeFile(dir / "3.txt", ansiToKoi8(text));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(), extraIni);
    }
    void load() {
        ASSERT_TRUE(viewer.refreshListings(prompts, false));
        ASSERT_EQ(viewer.shownDate(), encodeDate(2026, 12, 9));
        viewer.markShowTime(encodeTime(21, 10));
        notifier.shown.clear();  // the mailing-structure warning of a lone day
        notifier.icons.clear();
    }
    ReminderScheduler make() { return ReminderScheduler(viewer, notifier, dialogs, library, net, "/opt/orbisk"); }

    std::string extraIni;
    TempDir dir;
    RecordingNotifier notifier;
    FixedClock clock{at(2026, 12, 9, 20, 0)};
    NoPrompts prompts;
    Viewer viewer{dir / "Orbisk.ini", notifier, clock};
    ScriptedDialogs dialogs;
    FakeLibrary library;
    FakeNet net;
};

const std::string kAdded = "Расписание: Добавлена новая задача"_cp1251;

TEST_F(SchedulerTest, TaskLibraryBackEnd) {
    load();
    ReminderScheduler s = make();
    EXPECT_TRUE(s.onReminder());
    EXPECT_EQ(dialogs.offered, 15) << "TimeShift is offered";
    EXPECT_NE(dialogs.prompt.find("<\"News\" $(id)>"), std::string::npos) << dialogs.prompt;
    ASSERT_EQ(library.calls.size(), 1u);
    // The default message as one word, then the time and the channel.
    EXPECT_EQ(library.calls[0],
              "/opt/orbisk|'Врубай телек! В 21.00 будет идти '\\''News'\\'' $(id) по One!' "_cp1251
              "'21.00' 'One'|2026-12-09 20:45"_cp1251);
    // The confirmation names the moment the reminder fires.
    EXPECT_EQ(notifier.shown, std::vector<std::string>{kAdded + ". Напоминание сработает 09.12.2026 в 20.45"_cp1251});
    EXPECT_EQ(viewer.settings().timeShift(), 15) << "the lead chosen is not stored";

    // The programme after midnight, lead 15: 23:55 on the day shown.
    viewer.markShowTime(encodeTime(1, 0));
    EXPECT_TRUE(s.onReminder());
    EXPECT_NE(library.calls.back().find("'00.10' 'One'|2026-12-09 23:55"), std::string::npos) << library.calls.back();

    // Cancel: nothing submitted, nothing shown. Lead 60: the error, nothing submitted.
    dialogs.leadOk = false;
    EXPECT_FALSE(s.onReminder());
    dialogs.leadOk = true;
    dialogs.lead = 60;
    EXPECT_THROW(s.onReminder(), Error);
    EXPECT_EQ(library.calls.size(), 2u);
    EXPECT_EQ(notifier.shown.size(), 2u);

    // Refused: the message and what at said; never the success text.
    dialogs.lead = 5;
    library.result = 0;
    library.answer = "You do not have permission to use at.";
    EXPECT_FALSE(s.onReminder());
    EXPECT_EQ(notifier.icons.back(), MsgIcon::Error);
    EXPECT_NE(notifier.shown.back().find("\n" + library.answer), std::string::npos);

    // Nothing runs at 05:00.
    viewer.markShowTime(encodeTime(5, 0));
    try {
        s.onReminder();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
}

// A moment already passed would run at once (at) or a month late (the
// network record): refused on both back-ends, nothing submitted.
TEST_F(SchedulerTest, PassedMomentIsRefused) {
    for (const bool network : {false, true}) {
        extraIni = network ? "[Schedule]\r\nNT40Scheduler=1\r\n" : "";
        SetUp();
        load();
        ReminderScheduler s = make();
        for (const auto& [shown, lead] : {std::pair{encodeTime(7, 0), 15}, std::pair{encodeTime(21, 10), 59}}) {
            viewer.markShowTime(shown);
            dialogs.lead = lead;
            const bool passed = shown < encodeTime(8, 0);  // 05:45 passed, 20:01 to come
            EXPECT_EQ(s.onReminder(), !passed) << network;
            EXPECT_EQ(notifier.icons.back(), passed ? MsgIcon::Error : MsgIcon::Information);
            if (passed) {
                EXPECT_EQ(notifier.shown.back(), "Расписание: Время напоминания уже прошло"_cp1251);
            }
        }
        EXPECT_EQ(network ? net.jobs.size() : library.calls.size(), 1u) << network;
    }
}

TEST_F(SchedulerTest, MissingLibraryIsReportedBeforeAnything) {
    load();
    ReminderScheduler s = make();
    library.status = TaskLibrary::Status::NoLibrary;
    EXPECT_FALSE(s.onReminder());
    library.status = TaskLibrary::Status::NoFunction;
    EXPECT_FALSE(s.onReminder());
    EXPECT_EQ(dialogs.offered, -1) << "nothing asked";
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(library.loads, 2) << "a failed load is tried again";
    ASSERT_EQ(notifier.shown.size(), 2u);
    EXPECT_EQ(notifier.shown[0],
              "Ошибка: Не удается загрузить библиотеку <liborbisk_sched.so>. Служба расписания недоступна"_cp1251);
    EXPECT_NE(notifier.shown[1].find("<AddTask>"), std::string::npos);
    EXPECT_EQ(notifier.icons[1], MsgIcon::Error);
}

TEST_F(SchedulerTest, NetworkBackEndAndExternalLine) {
    extraIni = "[Schedule]\r\nNT40Scheduler=1\r\n";
    SetUp();
    load();
    ReminderScheduler s = make();
    dialogs.lead = 0;
    EXPECT_TRUE(s.onReminder());
    EXPECT_EQ(library.loads, 0) << "the library is not needed";
    ASSERT_EQ(net.jobs.size(), 1u);
    EXPECT_EQ(net.jobs[0].jobTime, 21u * 3'600'000u);
    EXPECT_EQ(net.jobs[0].daysOfMonth, 1u << 8);
    EXPECT_EQ(utf16ToFileName(net.jobs[0].command).rfind("'/opt/orbisk' '", 0), 0u);
    // "Добавлена новая задача с индексом 17"
    EXPECT_EQ(notifier.shown.back(), kAdded + " с индексом 17. Напоминание сработает 09.12.2026 в 21.00"_cp1251);
    net.status = kErrorInvalidParameter;
    net.answer = "too long";
    EXPECT_FALSE(s.onReminder());
    EXPECT_EQ(notifier.icons.back(), MsgIcon::Error);
    EXPECT_NE(notifier.shown.back().find("too long"), std::string::npos);

    // runMe 0 with the task library: the user's line alone, no program.
    extraIni = "[Schedule]\r\nRunMe=0\r\nExternalCommandLine=logger -t tv *NAME\r\n";
    SetUp();
    load();
    ReminderScheduler t = make();
    dialogs.lead = 15;
    EXPECT_TRUE(t.onReminder());
    ASSERT_EQ(library.calls.size(), 1u);
    EXPECT_EQ(library.calls[0], "|logger -t tv ''\\''News'\\'' $(id)'|2026-12-09 20:45");
}

TEST_F(SchedulerTest, ScheduleSettings) {
    load();
    ReminderScheduler s = make();
    dialogs.settingsOk = false;
    EXPECT_FALSE(s.onReminderSettings());
    EXPECT_EQ(dialogs.seen[0], "15");
    EXPECT_EQ(dialogs.seen[2], "1");
    EXPECT_EQ(dialogs.seen[3], "*MESSAGE *TIME *CHANEL");
    EXPECT_EQ(viewer.settings().timeShift(), 15);

    dialogs.settingsOk = true;
    EXPECT_TRUE(s.onReminderSettings());
    IniFile ini(dir / "Orbisk.ini");
    EXPECT_EQ(ini.readString("Schedule", "TimeShift", ""), "20");
    EXPECT_EQ(ini.readString("Schedule", "Message", ""), "*NAME!");
    EXPECT_EQ(ini.readString("Schedule", "RunMe", ""), "0");
    EXPECT_EQ(ini.readString("Schedule", "ExternalCommandLine", ""), "notify-send *MESSAGE");
    EXPECT_EQ(viewer.settings().externalCommandLine(), "notify-send *MESSAGE");

    // Back to this program: the built-in line shown is never stored.
    dialogs.newRunMe = true;
    dialogs.newLine = "*MESSAGE *TIME *CHANEL";
    EXPECT_TRUE(s.onReminderSettings());
    EXPECT_EQ(dialogs.seen[3], "notify-send *MESSAGE") << "while RunMe is 0 the user's line is shown";
    EXPECT_EQ(IniFile(dir / "Orbisk.ini").readString("Schedule", "ExternalCommandLine", ""), "notify-send *MESSAGE");
    EXPECT_TRUE(viewer.settings().runMe());

    // Unticked with the built-in line left as shown: the user's own line
    // stays, the built-in one is not taken for it.
    dialogs.newRunMe = false;
    EXPECT_TRUE(s.onReminderSettings());
    EXPECT_EQ(dialogs.seen[3], "*MESSAGE *TIME *CHANEL");
    EXPECT_FALSE(viewer.settings().runMe());
    EXPECT_EQ(viewer.settings().externalCommandLine(), "notify-send *MESSAGE");
    EXPECT_EQ(IniFile(dir / "Orbisk.ini").readString("Schedule", "ExternalCommandLine", ""), "notify-send *MESSAGE");
}

// Both back-ends, down to the job /bin/sh runs: the program sits in a
// folder whose name 1251 cannot hold, and the job still starts it with the
// reminder's three words. A stand-in `at` first on PATH keeps each job's
// text (the task library spawns `at` by name too).
TEST_F(SchedulerTest, JobStartsTheProgramInAFolder1251CannotName) {
    const std::string bin = dir / "bin";
    std::filesystem::create_directories(bin);
    writeFile(bin + "/at", "#!/bin/sh\ncat > " + shellQuote(dir / "job.sh") +
                               "\necho 'job 5 at Wed Dec  9 20:45:00 2026' >&2\n");
    const std::string folder = dir / "Орбиск josé";
    std::filesystem::create_directories(folder);
    const std::string program = folder + "/orbisk";
    writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + shellQuote(dir / "ran") + "\n");
    for (const auto& p : {bin + "/at", program}) std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    TaskLibrary realLibrary(std::string(ORBISK_BINARY_DIR) + "/" + kTaskLibraryFileName);
    AtNetScheduler realNet(clock);

    for (const bool network : {false, true}) {
        extraIni = network ? "[Schedule]\r\nNT40Scheduler=1\r\n" : "";
        SetUp();
        load();
        std::filesystem::remove(dir / "job.sh");
        std::filesystem::remove(dir / "ran");
        ReminderScheduler s(viewer, notifier, dialogs, realLibrary, realNet, program);
        ASSERT_TRUE(s.onReminder()) << network << " " << (notifier.shown.empty() ? "" : notifier.shown.back());
        std::string ignored;
        EXPECT_EQ(runProgram("/bin/sh", {dir / "job.sh"}, "", ignored), 0) << network << ignored;
        ASSERT_TRUE(std::filesystem::exists(dir / "ran")) << network << " the program did not start";
        EXPECT_EQ(test::readFile(dir / "ran"),
                  ansiToUtf8("Врубай телек! В 21.00 будет идти 'News' $(id) по One!\n21.00\nOne\n"_cp1251))
            << network;
    }
    ::setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace orbisk
