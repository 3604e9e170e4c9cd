#include "schedule/atjob.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "schedule/netschedule.h"
#include "schedule/reminder.h"
#include "schedule/tasklibrary.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

DateTime at(int y, int mo, int d, int h, int mi) { return encodeDate(y, mo, d) + encodeTime(h, mi); }

// Stand-ins for at and atrm: they record their arguments, stdin and folder,
// then print and exit as told.
class FakeAt : public ::testing::Test {
protected:
    void make(const std::string& atOutput, int atExit = 0) {
        const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + shellQuote(dir / "at.args") +
                                   "\ncat > " + shellQuote(dir / "at.stdin") + "\npwd > " +
                                   shellQuote(dir / "at.pwd") + "\nprintf '%s' " + shellQuote(atOutput) +
                                   " >&2\nexit " + std::to_string(atExit) + "\n";
        writeFile(tools.at, script);
        writeFile(tools.atrm, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> " + shellQuote(dir / "atrm.args") + "\n");
        for (const auto& p : {tools.at, tools.atrm})
            std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    }
    std::string recorded(const char* name) const {
        const std::string path = dir / name;
        return std::filesystem::exists(path) ? readFile(path) : std::string("<none>");
    }

    TempDir dir;
    AtTools tools{dir / "fake-at", dir / "fake-atrm"};
};

TEST_F(FakeAt, QueuedJobAndWhatItRuns) {
    make("warning: commands will be executed using /bin/sh\njob 42 at Thu Dec 10 23:55:00 2026\n");
    ::setenv("DISPLAY", ":7", 1);
    ::setenv("XAUTHORITY", "/tmp/it's auth", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    const AtAnswer b = submitAtJob(2026, 12, 10, 23, 55, "'prog' 'x'", tools);
    EXPECT_TRUE(b.added);
    EXPECT_EQ(b.jobId, 42);
    EXPECT_EQ(b.text, "job 42 at Thu Dec 10 23:55:00 2026");
    EXPECT_EQ(recorded("at.args"), "-t\n202612102355\n");
    const std::string job = recorded("at.stdin");
    EXPECT_NE(job.find("DISPLAY=':7'; export DISPLAY\n"), std::string::npos) << job;
    EXPECT_NE(job.find("XAUTHORITY='/tmp/it'\\''s auth'; export XAUTHORITY\n"), std::string::npos) << job;
    EXPECT_EQ(job.find("WAYLAND_DISPLAY"), std::string::npos) << "unset variables are left alone";
    EXPECT_TRUE(job.size() >= 11 && job.compare(job.size() - 11, 11, "'prog' 'x'\n") == 0) << job;
    const char* home = std::getenv("HOME");
    if (home && std::filesystem::is_directory(home)) {
        EXPECT_EQ(recorded("at.pwd"), std::filesystem::canonical(home).string() + "\n");
    }
    EXPECT_EQ(recorded("atrm.args"), "<none>");
    // Dates outside the calendar never reach at.
    EXPECT_FALSE(submitAtJob(2026, 13, 1, 0, 0, "x", tools).added);
    EXPECT_FALSE(submitAtJob(2026, 12, 1, 24, 0, "x", tools).added);
}

TEST_F(FakeAt, RefusalsAreReportedNotAdded) {
    // Queued, but no atd will ever run it: taken out again.
    make("warning: commands will be executed using /bin/sh\njob 7 at Thu Dec 10 23:55:00 2026\n"
         "Can't open /var/run/atd.pid to signal atd. No atd running?\n");
    AtAnswer a = submitAtJob(2026, 12, 10, 23, 55, "x", tools);
    EXPECT_FALSE(a.added);
    EXPECT_EQ(a.jobId, 0);
    EXPECT_NE(a.text.find("No atd running?"), std::string::npos);
    EXPECT_EQ(recorded("atrm.args"), "7\n");

    // at.deny.
    make("You do not have permission to use at.\n", 1);
    a = submitAtJob(2026, 12, 10, 23, 55, "x", tools);
    EXPECT_FALSE(a.added);
    EXPECT_EQ(a.text, "You do not have permission to use at.");

    // No at at all.
    AtTools missing{dir / "no-such-at", dir / "no-such-atrm"};
    a = submitAtJob(2026, 12, 10, 23, 55, "x", missing);
    EXPECT_FALSE(a.added);
    EXPECT_FALSE(a.text.empty());
    EXPECT_FALSE(netSchedulerAvailable(missing));
    EXPECT_TRUE(netSchedulerAvailable(tools));
}

TEST_F(FakeAt, NetworkRecordGoesToTheNextDateWithItsDay) {
    DateTime date = 0;
    const std::uint32_t t2330 = 23 * 3'600'000 + 30 * 60'000;
    ASSERT_TRUE(nextJobDate(at(2026, 12, 9, 21, 0), t2330, daysOfMonthMask(9), date));
    EXPECT_EQ(date, encodeDate(2026, 12, 9));
    ASSERT_TRUE(nextJobDate(at(2026, 12, 9, 23, 30), t2330, daysOfMonthMask(9), date));
    EXPECT_EQ(date, encodeDate(2026, 12, 9)) << "the current minute still counts";
    ASSERT_TRUE(nextJobDate(at(2026, 12, 9, 23, 31), t2330, daysOfMonthMask(9), date));
    EXPECT_EQ(date, encodeDate(2027, 1, 9));
    ASSERT_TRUE(nextJobDate(at(2027, 1, 31, 23, 59), 0, daysOfMonthMask(31), date));
    EXPECT_EQ(date, encodeDate(2027, 3, 31)) << "February has no 31st";
    ASSERT_TRUE(nextJobDate(at(2026, 12, 31, 12, 0), 0, daysOfMonthMask(1), date));
    EXPECT_EQ(date, encodeDate(2027, 1, 1));
    EXPECT_FALSE(nextJobDate(at(2026, 12, 9, 0, 0), 0, 0, date));

    make("warning: commands will be executed using /bin/sh\njob 3 at Sat Jan  9 23:30:00 2027\n");
    FixedClock clock(at(2026, 12, 10, 8, 0));
    AtInfo info;
    info.jobTime = t2330;
    info.daysOfMonth = daysOfMonthMask(9);
    info.command = ansiToUtf16("'p' 'Привет'"_cp1251);
    std::uint32_t id = 0;
    std::string answer;
    EXPECT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrSuccess);
    EXPECT_EQ(id, 3u);
    EXPECT_EQ(recorded("at.args"), "-t\n202701092330\n");
    const std::string job = recorded("at.stdin");
    EXPECT_NE(job.find("'p' 'Привет'\n"), std::string::npos) << "the command reaches at in UTF-8";

    // Refused: too long (not cut), another machine, an empty mask, at's no.
    info.command = std::u16string(kAtCommandMax + 1, u'x');
    EXPECT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock, tools), kErrorInvalidParameter);
    EXPECT_FALSE(answer.empty());
    info.command = std::u16string(kAtCommandMax, u'x');
    EXPECT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrSuccess);
    EXPECT_EQ(netScheduleJobAdd(u"\\\\server", info, id, answer, clock, tools), kErrorBadNetPath);
    info.daysOfMonth = 0;
    EXPECT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock, tools), kErrorInvalidParameter);
    info.daysOfMonth = daysOfMonthMask(9);
    make("You do not have permission to use at.\n", 1);
    EXPECT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrServiceNotInstalled);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(answer, "You do not have permission to use at.");
}

// ---- The real queue ------------------------------------------------------

bool queued(int id, std::string& job) {
    std::string list;
    runProgram("atq", {}, "", list);
    const std::string prefix = std::to_string(id) + "\t";
    bool found = list.rfind(prefix, 0) == 0 || list.find("\n" + prefix) != std::string::npos;
    if (found) runProgram("at", {"-c", std::to_string(id)}, "", job);
    return found;
}

class RealAt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!programAvailable("at") || !programAvailable("atq") || !programAvailable("atrm"))
            GTEST_SKIP() << "the at package is not installed: no real queue to test with";
        ::setenv("DISPLAY", ":93", 1);
    }
    void TearDown() override {
        std::string ignored;
        if (job_ > 0) runProgram("atrm", {std::to_string(job_)}, "", ignored);
    }
    int job_ = 0;
    TempDir dir_;
};

TEST_F(RealAt, NetworkBackEndQueuesAYearAhead) {
    // A clock a year ahead makes the next date with the day a year ahead.
    const DateTime now = SystemClock().now() + 365;
    int y, m, d;
    decodeDate(now, y, m, d);
    FixedClock clock(dateOf(now));
    AtInfo info;
    info.jobTime = 12 * 3'600'000 + 34 * 60'000;
    info.daysOfMonth = daysOfMonthMask(d);
    info.command = ansiToUtf16("'/bin/true' 'Привет $(x)' '12.34'"_cp1251);
    std::uint32_t id = 0;
    std::string answer;
    ASSERT_EQ(netScheduleJobAdd(nullptr, info, id, answer, clock), kNerrSuccess) << answer;
    job_ = static_cast<int>(id);
    std::string job;
    ASSERT_TRUE(queued(job_, job)) << "job " << id << " not in atq";
    EXPECT_NE(job.find("'/bin/true' 'Привет $(x)' '12.34'"), std::string::npos) << job;
    EXPECT_NE(job.find("DISPLAY=':93'; export DISPLAY"), std::string::npos) << job;
    std::string ignored;
    EXPECT_EQ(runProgram("atrm", {std::to_string(job_)}, "", ignored), 0);
    EXPECT_FALSE(queued(job_, job));
    job_ = 0;
}

TEST_F(RealAt, TaskLibraryQueuesAYearAhead) {
    TaskLibrary library(std::string(ORBISK_BINARY_DIR) + "/" + kTaskLibraryFileName);
    ASSERT_EQ(library.load(), TaskLibrary::Status::Loaded) << "build the orbisk_sched target";
    EXPECT_EQ(library.fileName(), "liborbisk_sched.so");
    int y, m, d;
    decodeDate(SystemClock().now() + 366, y, m, d);
    // The program path is the file system's own bytes, so a folder 1251
    // cannot name ("josé") still runs; the command arrives in 1251.
    const std::string folder = dir_ / "Орбиск josé";
    std::filesystem::create_directories(folder);
    const std::string program = folder + "/orbisk";
    writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + shellQuote(dir_ / "ran") + "\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    ASSERT_NE(library.addTask(program, "'a b' '21.30' 'Канал'"_cp1251, y, m, d, 21, 15), 0) << library.lastAnswer();
    const std::string answer = library.lastAnswer();
    ASSERT_EQ(answer.rfind("job ", 0), 0u) << answer;
    job_ = std::atoi(answer.c_str() + 4);
    std::string job;
    ASSERT_TRUE(queued(job_, job));
    EXPECT_NE(job.find(shellQuote(program) + " 'a b' '21.30' 'Канал'\n"), std::string::npos) << job;
    EXPECT_NE(job.find("DISPLAY=':93'; export DISPLAY"), std::string::npos);
    // What at will run, run now: the program starts with its three words.
    writeFile(dir_ / "job.sh", job);
    std::string ignored;
    EXPECT_EQ(runProgram("sh", {dir_ / "job.sh"}, "", ignored), 0) << ignored;
    EXPECT_EQ(readFile(dir_ / "ran"), "a b\n21.30\nКанал\n");

    // A missing library or function: told apart, tried again next time.
    TaskLibrary none(dir_ / "liborbisk_sched.so");
    EXPECT_EQ(none.load(), TaskLibrary::Status::NoLibrary);
    EXPECT_EQ(none.load(), TaskLibrary::Status::NoLibrary);
    EXPECT_EQ(none.addTask("", "x", y, m, d, 1, 1), 0);
    TaskLibrary libc("libc.so.6");
    EXPECT_EQ(libc.load(), TaskLibrary::Status::NoFunction);
}

}  // namespace
}  // namespace orbisk
