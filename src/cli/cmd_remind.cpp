#include "cli/cmd_remind.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/ui.h"
#include "cli/common.h"
#include "config/config.h"
#include "schedule/scheduler.h"
#include "viewer/viewer.h"

namespace orbisk::cli {
namespace {

constexpr const char* kNoChannelText = "Нет канала"_cp1251;

// Nobody to ask: the lead comes from the command line.
class NoDialogs : public ScheduleDialogs {
public:
    bool askLeadTime(const std::string&, int&) override { return false; }
    bool editScheduleSettings(int&, std::string&, bool&, std::string&) override { return false; }
};

}  // namespace

int remindCommand(const std::string& ini, const std::vector<std::string>& args) {
    std::vector<std::string> words;
    const std::string* lead = nullptr;
    bool dryRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lead" && i + 1 < args.size() && !lead) {
            lead = &args[++i];
        } else if (args[i] == "--dry-run" && !dryRun) {
            dryRun = true;
        } else if (words.size() < 3 && args[i].compare(0, 2, "--") != 0) {
            words.push_back(args[i]);
        } else {
            badArgument(kBadArgumentText, args[i]);
        }
    }
    if (words.size() < 3) badArgument(kBadArgumentText, words.empty() ? "" : words.back());
    const DateTime date = parseDate(words[0]);
    const std::string channel = utf8ToAnsi(words[1]);
    const DateTime time = parseTime(words[2]);

    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    int minutes = viewer.settings().timeShift();
    if (lead && !tryStrToInt(*lead, minutes)) badArgument(kBadArgumentText, *lead);

    viewer.showDay(date);
    if (!viewer.shownDayHasText()) throw Error(std::string(kNoProgrammeText) + " \"" + words[0] + "\"");
    if (!viewer.openChannel(channel, time)) badArgument(kNoChannelText, words[1]);

    const std::filesystem::path folder = programFolder();
    TaskLibrary library((folder / kTaskLibraryFileName).string());
    AtNetScheduler net(clock);
    NoDialogs dialogs;
    ReminderScheduler scheduler(viewer, notifier, dialogs, library, net, (folder / "orbisk").string());
    const ReminderPlan plan = scheduler.plan(minutes);
    char run[32];
    std::snprintf(run, sizeof run, "%04d-%02d-%02d %02d:%02d", plan.run.year, plan.run.month, plan.run.day,
                  plan.run.hour, plan.run.minute);
    const json out = {{"title", ansiToUtf8(plan.programme.title)},
                      {"time", ansiToUtf8(plan.programme.timeText)},
                      {"channel", ansiToUtf8(plan.programme.channel)},
                      {"run", run},
                      {"command", ansiToUtf8(plan.command)}};
    print(out);
    if (dryRun) return 0;
    // The job starts the window, which must read these settings and not
    // those beside the program.
    std::error_code ec;
    const auto iniPath = std::filesystem::absolute(ini, ec);
    ::setenv(kIniEnvironment, (ec ? std::filesystem::path(ini) : iniPath).c_str(), 1);
    return scheduler.submit(plan) ? 0 : 1;
}

}  // namespace orbisk::cli
