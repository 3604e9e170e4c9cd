#include "schedule/atjob.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/codepage.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "schedule/netschedule.h"
#include "schedule/reminder.h"
#include "schedule/tasklibrary.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TDateTime At(int y, int mo, int d, int h, int mi) { return EncodeDate(y, mo, d) + EncodeTime(h, mi); }

// Stand-ins for at and atrm: they record their arguments, stdin and folder,
// then print and exit as told.
class FakeAt : public ::testing::Test {
protected:
    void Make(const std::string& atOutput, int atExit = 0) {
        const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + ShellQuote(dir / "at.args") +
                                   "\ncat > " + ShellQuote(dir / "at.stdin") + "\npwd > " +
                                   ShellQuote(dir / "at.pwd") + "\nprintf '%s' " + ShellQuote(atOutput) +
                                   " >&2\nexit " + std::to_string(atExit) + "\n";
        WriteFile(tools.At, script);
        WriteFile(tools.Atrm, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> " + ShellQuote(dir / "atrm.args") + "\n");
        for (const auto& p : {tools.At, tools.Atrm})
            std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    }
    std::string Recorded(const char* name) const {
        const std::string path = dir / name;
        return std::filesystem::exists(path) ? ReadFile(path) : std::string("<none>");
    }

    TempDir dir;
    AtTools tools{dir / "fake-at", dir / "fake-atrm"};
};

TEST_F(FakeAt, QueuedJobAndWhatItRuns) {
    Make("warning: commands will be executed using /bin/sh\njob 42 at Thu Dec 10 23:55:00 2026\n");
    ::setenv("DISPLAY", ":7", 1);
    ::setenv("XAUTHORITY", "/tmp/it's auth", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    const AtAnswer b = SubmitAtJob(2026, 12, 10, 23, 55, "'prog' 'x'", tools);
    EXPECT_TRUE(b.Added);
    EXPECT_EQ(b.JobId, 42);
    EXPECT_EQ(b.Text, "job 42 at Thu Dec 10 23:55:00 2026");
    EXPECT_EQ(Recorded("at.args"), "-t\n202612102355\n");
    const std::string job = Recorded("at.stdin");
    EXPECT_NE(job.find("DISPLAY=':7'; export DISPLAY\n"), std::string::npos) << job;
    EXPECT_NE(job.find("XAUTHORITY='/tmp/it'\\''s auth'; export XAUTHORITY\n"), std::string::npos) << job;
    EXPECT_EQ(job.find("WAYLAND_DISPLAY"), std::string::npos) << "unset variables are left alone";
    EXPECT_TRUE(job.size() >= 11 && job.compare(job.size() - 11, 11, "'prog' 'x'\n") == 0) << job;
    const char* home = std::getenv("HOME");
    if (home && std::filesystem::is_directory(home)) {
        EXPECT_EQ(Recorded("at.pwd"), std::filesystem::canonical(home).string() + "\n");
    }
    EXPECT_EQ(Recorded("atrm.args"), "<none>");
    // Dates outside the calendar never reach at.
    EXPECT_FALSE(SubmitAtJob(2026, 13, 1, 0, 0, "x", tools).Added);
    EXPECT_FALSE(SubmitAtJob(2026, 12, 1, 24, 0, "x", tools).Added);
}

TEST_F(FakeAt, RefusalsAreReportedNotAdded) {
    // Queued, but no atd will ever run it: taken out again.
    Make("warning: commands will be executed using /bin/sh\njob 7 at Thu Dec 10 23:55:00 2026\n"
         "Can't open /var/run/atd.pid to signal atd. No atd running?\n");
    AtAnswer a = SubmitAtJob(2026, 12, 10, 23, 55, "x", tools);
    EXPECT_FALSE(a.Added);
    EXPECT_EQ(a.JobId, 0);
    EXPECT_NE(a.Text.find("No atd running?"), std::string::npos);
    EXPECT_EQ(Recorded("atrm.args"), "7\n");

    // at.deny.
    Make("You do not have permission to use at.\n", 1);
    a = SubmitAtJob(2026, 12, 10, 23, 55, "x", tools);
    EXPECT_FALSE(a.Added);
    EXPECT_EQ(a.Text, "You do not have permission to use at.");

    // No at at all.
    AtTools missing{dir / "no-such-at", dir / "no-such-atrm"};
    a = SubmitAtJob(2026, 12, 10, 23, 55, "x", missing);
    EXPECT_FALSE(a.Added);
    EXPECT_FALSE(a.Text.empty());
    EXPECT_FALSE(NetSchedulerAvailable(missing));
    EXPECT_TRUE(NetSchedulerAvailable(tools));
}

TEST_F(FakeAt, NetworkRecordGoesToTheNextDateWithItsDay) {
    TDateTime date = 0;
    const std::uint32_t t2330 = 23 * 3'600'000 + 30 * 60'000;
    ASSERT_TRUE(NextJobDate(At(2026, 12, 9, 21, 0), t2330, DaysOfMonthMask(9), date));
    EXPECT_EQ(date, EncodeDate(2026, 12, 9));
    ASSERT_TRUE(NextJobDate(At(2026, 12, 9, 23, 30), t2330, DaysOfMonthMask(9), date));
    EXPECT_EQ(date, EncodeDate(2026, 12, 9)) << "the current minute still counts";
    ASSERT_TRUE(NextJobDate(At(2026, 12, 9, 23, 31), t2330, DaysOfMonthMask(9), date));
    EXPECT_EQ(date, EncodeDate(2027, 1, 9));
    ASSERT_TRUE(NextJobDate(At(2027, 1, 31, 23, 59), 0, DaysOfMonthMask(31), date));
    EXPECT_EQ(date, EncodeDate(2027, 3, 31)) << "February has no 31st";
    ASSERT_TRUE(NextJobDate(At(2026, 12, 31, 12, 0), 0, DaysOfMonthMask(1), date));
    EXPECT_EQ(date, EncodeDate(2027, 1, 1));
    EXPECT_FALSE(NextJobDate(At(2026, 12, 9, 0, 0), 0, 0, date));

    Make("warning: commands will be executed using /bin/sh\njob 3 at Sat Jan  9 23:30:00 2027\n");
    FixedClock clock(At(2026, 12, 10, 8, 0));
    AT_INFO info;
    info.JobTime = t2330;
    info.DaysOfMonth = DaysOfMonthMask(9);
    info.Command = AnsiToUtf16("'p' '\xCF\xF0\xE8\xE2\xE5\xF2'");  // "Привет"
    std::uint32_t id = 0;
    std::string answer;
    EXPECT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrSuccess);
    EXPECT_EQ(id, 3u);
    EXPECT_EQ(Recorded("at.args"), "-t\n202701092330\n");
    const std::string job = Recorded("at.stdin");
    EXPECT_NE(job.find("'p' '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82'\n"), std::string::npos)
        << "the command reaches at in UTF-8";

    // Refused: too long (not cut), another machine, an empty mask, at's no.
    info.Command = std::u16string(kAtCommandMax + 1, u'x');
    EXPECT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock, tools), kErrorInvalidParameter);
    EXPECT_FALSE(answer.empty());
    info.Command = std::u16string(kAtCommandMax, u'x');
    EXPECT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrSuccess);
    EXPECT_EQ(NetScheduleJobAdd(u"\\\\server", info, id, answer, clock, tools), kErrorBadNetPath);
    info.DaysOfMonth = 0;
    EXPECT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock, tools), kErrorInvalidParameter);
    info.DaysOfMonth = DaysOfMonthMask(9);
    Make("You do not have permission to use at.\n", 1);
    EXPECT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock, tools), kNerrServiceNotInstalled);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(answer, "You do not have permission to use at.");
}

// ---- The real queue ------------------------------------------------------

bool Queued(int id, std::string& job) {
    std::string list;
    RunProgram("atq", {}, "", list);
    const std::string prefix = std::to_string(id) + "\t";
    bool found = list.rfind(prefix, 0) == 0 || list.find("\n" + prefix) != std::string::npos;
    if (found) RunProgram("at", {"-c", std::to_string(id)}, "", job);
    return found;
}

class RealAt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ProgramAvailable("at") || !ProgramAvailable("atq") || !ProgramAvailable("atrm"))
            GTEST_SKIP() << "the at package is not installed: no real queue to test with";
        ::setenv("DISPLAY", ":93", 1);
    }
    void TearDown() override {
        std::string ignored;
        if (job_ > 0) RunProgram("atrm", {std::to_string(job_)}, "", ignored);
    }
    int job_ = 0;
    TempDir dir_;
};

TEST_F(RealAt, NetworkBackEndQueuesAYearAhead) {
    // A clock a year ahead makes the next date with the day a year ahead.
    const TDateTime now = SystemClock().Now() + 365;
    int y, m, d;
    DecodeDate(now, y, m, d);
    FixedClock clock(DateOf(now));
    AT_INFO info;
    info.JobTime = 12 * 3'600'000 + 34 * 60'000;
    info.DaysOfMonth = DaysOfMonthMask(d);
    info.Command = AnsiToUtf16("'/bin/true' '\xCF\xF0\xE8\xE2\xE5\xF2 $(x)' '12.34'");
    std::uint32_t id = 0;
    std::string answer;
    ASSERT_EQ(NetScheduleJobAdd(nullptr, info, id, answer, clock), kNerrSuccess) << answer;
    job_ = static_cast<int>(id);
    std::string job;
    ASSERT_TRUE(Queued(job_, job)) << "job " << id << " not in atq";
    EXPECT_NE(job.find("'/bin/true' '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 $(x)' '12.34'"),
              std::string::npos)
        << job;
    EXPECT_NE(job.find("DISPLAY=':93'; export DISPLAY"), std::string::npos) << job;
    std::string ignored;
    EXPECT_EQ(RunProgram("atrm", {std::to_string(job_)}, "", ignored), 0);
    EXPECT_FALSE(Queued(job_, job));
    job_ = 0;
}

TEST_F(RealAt, TaskLibraryQueuesAYearAhead) {
    TaskLibrary library(std::string(ORBISK_BINARY_DIR) + "/" + kTaskLibraryFileName);
    ASSERT_EQ(library.Load(), TaskLibrary::Status::Loaded) << "build the orbisk_sched target";
    EXPECT_EQ(library.FileName(), "liborbisk_sched.so");
    int y, m, d;
    DecodeDate(SystemClock().Now() + 366, y, m, d);
    // The program path arrives in Windows-1251 ("/opt/Орбиск/orbisk").
    ASSERT_NE(library.AddTask("/opt/\xCE\xF0\xE1\xE8\xF1\xEA/orbisk", "'a b' '21.30' 'K'", y, m, d, 21, 15), 0)
        << library.LastAnswer();
    const std::string answer = library.LastAnswer();
    ASSERT_EQ(answer.rfind("job ", 0), 0u) << answer;
    job_ = std::atoi(answer.c_str() + 4);
    std::string job;
    ASSERT_TRUE(Queued(job_, job));
    EXPECT_NE(job.find("'/opt/\xD0\x9E\xD1\x80\xD0\xB1\xD0\xB8\xD1\x81\xD0\xBA/orbisk' 'a b' '21.30' 'K'\n"),
              std::string::npos)
        << job;
    EXPECT_NE(job.find("DISPLAY=':93'; export DISPLAY"), std::string::npos);

    // A missing library or function: told apart, tried again next time.
    TaskLibrary none(dir_ / "liborbisk_sched.so");
    EXPECT_EQ(none.Load(), TaskLibrary::Status::NoLibrary);
    EXPECT_EQ(none.Load(), TaskLibrary::Status::NoLibrary);
    EXPECT_EQ(none.AddTask("", "x", y, m, d, 1, 1), 0);
    TaskLibrary libc("libc.so.6");
    EXPECT_EQ(libc.Load(), TaskLibrary::Status::NoFunction);
}

}  // namespace
}  // namespace orbisk
