// orbisk-cli remind: the reminder worked out on a text-file listing, shown
// without --dry-run submitted to the real at queue and taken out again.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/ui.h"
#include "schedule/atjob.h"
#include "schedule/reminder.h"
#include "support/listing_names.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

using json = nlohmann::ordered_json;
using test::TempDir;
using test::writeFile;

// A title that would run `touch` if it were pasted between double quotes.
std::string hostileTitle(const TempDir& dir) { return "\"$(touch " + dir.str() + "/pwned)\" `id` '; reboot; '"; }

// A listing of one day three days ahead: "First" (display name
// "Пер\"вый") with a hostile film at 21.30 and a night programme.
struct RemindListing {
    explicit RemindListing(const std::string& schedule = "") {
        const DateTime now = SystemClock().now();
        date = dateOf(now) + 3;
        int y, m, d;
        decodeDate(date, y, m, d);
        const int dow = dayOfWeek(date);
        std::string text = "[tv.all]\r\n======\r\n" + std::string(test::kDayNames[dow]) + ". " + std::to_string(d) +
                           " " + test::kMonthNames[m] + ". First\r\n-----------------\r\n06.00 Morning\r\n21.30 " +
                           hostileTitle(dir) + "\r\n00.10 Night\r\n";
        writeFile(dir / (std::to_string((dow + 5) % 7 + 1) + ".txt"), ansiToKoi8(text));
        test::writeListingIni(dir / "Orbisk.ini", "I" + dir.str(),
                              "[Channels]\r\n1=First\r\n[Channel1]\r\nDesc=" + kDesc +
                                  "\r\n[Schedule]\r\n" + schedule);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        iso = buf;
    }
    std::vector<std::string> run(std::vector<std::string> args, int& status) const {
        args.insert(args.begin(), {"--ini", dir / "Orbisk.ini", "remind"});
        std::string out;
        status = runProgram(ORBISK_BINARY_DIR "/orbisk-cli", args, "", out);
        // The JSON line and the notices, without the mailing-structure
        // warning that a lone day raises.
        std::vector<std::string> lines;
        std::size_t pos = 0;
        while (pos < out.size()) {
            const std::size_t end = out.find('\n', pos);
            const std::string line = out.substr(pos, end - pos);
            if (line.find(kMailingCaption) != 0) lines.push_back(line);
            pos = end == std::string::npos ? out.size() : end + 1;
        }
        return lines;
    }

    static constexpr char kMailingCaption[] = "Ошибка рассылки";
    const std::string kDesc = "Пер\"вый"_cp1251;
    TempDir dir;
    DateTime date;
    std::string iso;
};

std::string stamp(DateTime date, const char* time) {
    int y, m, d;
    decodeDate(date, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %s", y, m, d, time);
    return buf;
}

TEST(RemindCli, DryRunPrintsTheReminder) {
    RemindListing l;
    int status = -1;
    auto lines = l.run({l.iso, ansiToUtf8(l.kDesc), "22:00", "--dry-run"}, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(lines.size(), 1u);
    json j = json::parse(lines[0]);
    const std::string title = hostileTitle(l.dir);
    EXPECT_EQ(j["title"], title);
    EXPECT_EQ(j["time"], "21.30");
    EXPECT_EQ(j["channel"], ansiToUtf8(l.kDesc));
    EXPECT_EQ(j["run"], stamp(l.date, "21:15"));
    // The default message and run line (runMe, task library).
    const std::string message = "Врубай телек! В *TIME будет идти *NAME по *CHANEL!"_cp1251;
    EXPECT_EQ(j["command"], ansiToUtf8(expandReminderMacros(title, "21.30", l.kDesc, message, "*MESSAGE *TIME *CHANEL")));
    std::vector<std::string> order;
    for (auto it = j.begin(); it != j.end(); ++it) order.push_back(it.key());
    EXPECT_EQ(order, (std::vector<std::string>{"title", "time", "channel", "run", "command"}));

    // After midnight with the lead passing it, and the lead's bounds.
    lines = l.run({l.iso, ansiToUtf8(l.kDesc), "01:00", "--lead", "20", "--dry-run"}, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(json::parse(lines[0])["run"], stamp(l.date, "23:50"));
    lines = l.run({l.iso, ansiToUtf8(l.kDesc), "22:00", "--lead", "60", "--dry-run"}, status);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Invalid argument to time encode"), std::string::npos);
    // Nothing at 05:00; an unknown channel; a bad time.
    for (const auto& args : {std::vector<std::string>{l.iso, ansiToUtf8(l.kDesc), "05:00", "--dry-run"},
                             std::vector<std::string>{l.iso, "First", "22:00", "--dry-run"},
                             std::vector<std::string>{l.iso, ansiToUtf8(l.kDesc), "25:00", "--dry-run"}}) {
        lines = l.run(args, status);
        EXPECT_EQ(status, 1) << args[1] << " " << args[2];
    }
    EXPECT_FALSE(std::filesystem::exists(l.dir / "pwned"));
}

std::set<std::string> queuedJobs() {
    std::string out;
    runProgram("atq", {}, "", out);
    std::set<std::string> ids;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const std::size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end - pos);
        if (!line.empty()) ids.insert(line.substr(0, line.find('\t')));
        pos = end == std::string::npos ? out.size() : end + 1;
    }
    return ids;
}

TEST(RemindCli, SubmitsThroughEitherBackEnd) {
    if (!programAvailable("at") || !programAvailable("atq"))
        GTEST_SKIP() << "the at package is not installed: no real queue to test with";
    for (const bool network : {false, true}) {
        // A harmless command of the user's own, should the job ever run.
        RemindListing l(std::string("RunMe=0\r\nExternalCommandLine=true *NAME *CHANEL\r\nNT40Scheduler=") +
                        (network ? "1" : "0") + "\r\n");
        const auto before = queuedJobs();
        int status = -1;
        const auto lines = l.run({l.iso, ansiToUtf8(l.kDesc), "22:00", "--lead", "0"}, status);
        const auto after = queuedJobs();
        std::vector<std::string> added;
        for (const auto& id : after)
            if (!before.count(id)) added.push_back(id);
        for (const auto& id : added) {
            std::string job, ignored;
            runProgram("at", {"-c", id}, "", job);
            std::string title = hostileTitle(l.dir);
            for (char& c : title)
                if (c == '"') c = '\'';
            const std::string channel = "Пер'вый";
            EXPECT_NE(job.find("\ntrue " + shellQuote(title) + " " + shellQuote(channel) + "\n"), std::string::npos)
                << job;
            // The job reads the settings it was set from, not those beside the program.
            EXPECT_NE(job.find("ORBISK_INI=" + shellQuote(l.dir / "Orbisk.ini") + "; export ORBISK_INI\n"),
                      std::string::npos)
                << job;
            runProgram("atrm", {id}, "", ignored);
        }
        ASSERT_EQ(status, 0) << (lines.size() > 1 ? lines[1] : "");
        ASSERT_EQ(added.size(), 1u);
        ASSERT_EQ(lines.size(), 2u);
        // With the index on the network back-end.
        const std::string added_text = "Расписание: Добавлена новая задача";
        EXPECT_EQ(lines[1].rfind(network ? added_text + " с индексом " + added[0] + ". " : added_text + ". ", 0), 0u)
            << lines[1];
        EXPECT_NE(lines[1].find(". Напоминание сработает "), std::string::npos) << lines[1];
    }
}

}  // namespace
}  // namespace orbisk
