#include "cli/cmd_remind.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/ui.h"
#include "cli/common.h"
#include "schedule/scheduler.h"

namespace orbisk::cli {
namespace {

// "Нет канала"
constexpr char kNoChannelText[] = "\xCD\xE5\xF2 \xEA\xE0\xED\xE0\xEB\xE0";

// Nobody to ask: the lead comes from the command line.
class NoDialogs : public ScheduleDialogs {
public:
    bool AskLeadTime(const std::string&, int&) override { return false; }
    bool EditScheduleSettings(int&, std::string&, bool&, std::string&) override { return false; }
};

}  // namespace

int RemindCommand(const std::string& ini, const std::vector<std::string>& args) {
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
            BadArgument(kBadArgumentText, args[i]);
        }
    }
    if (words.size() < 3) BadArgument(kBadArgumentText, words.empty() ? "" : words.back());
    const TDateTime date = ParseDate(words[0]);
    const std::string channel = Utf8ToAnsi(words[1]);
    const TDateTime time = ParseTime(words[2]);

    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    if (!viewer.Settings().FileExists()) throw Error(kConfigMissingText);
    FailingPrompts prompts;
    viewer.RefreshListings(prompts, true);
    int minutes = viewer.Settings().TimeShift();
    if (lead && !TryStrToInt(*lead, minutes)) BadArgument(kBadArgumentText, *lead);

    viewer.ShowDay(date);
    if (!viewer.ShownDayHasText()) throw Error(std::string(kNoProgrammeText) + " \"" + words[0] + "\"");
    int tab = -1;
    const int index = viewer.Channels().FindVisible(channel, tab);
    if (index < 0) BadArgument(kNoChannelText, words[1]);
    viewer.SelectChannel(index);
    viewer.MarkShowTime(time);

    const std::filesystem::path folder = ProgramFolder();
    TaskLibrary library((folder / kTaskLibraryFileName).string());
    AtNetScheduler net(clock);
    NoDialogs dialogs;
    ReminderScheduler scheduler(viewer, notifier, dialogs, library, net,
                                Utf8ToAnsi((folder / "orbisk").string()));
    const ReminderPlan plan = scheduler.Plan(minutes);
    char run[32];
    std::snprintf(run, sizeof run, "%04d-%02d-%02d %02d:%02d", plan.Run.Year, plan.Run.Month, plan.Run.Day,
                  plan.Run.Hour, plan.Run.Minute);
    const json out = {{"title", AnsiToUtf8(plan.Programme.Title)},
                      {"time", AnsiToUtf8(plan.Programme.TimeText)},
                      {"channel", AnsiToUtf8(plan.Programme.Channel)},
                      {"run", run},
                      {"command", AnsiToUtf8(plan.Command)}};
    Print(out);
    if (dryRun) return 0;
    return scheduler.Submit(plan) ? 0 : 1;
}

}  // namespace orbisk::cli
