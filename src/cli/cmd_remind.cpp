#include "cli/cmd_remind.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/ui.h"
#include "schedule/scheduler.h"

namespace orbisk::cli {
namespace {

using json = nlohmann::ordered_json;

// "Неверный параметр"
constexpr char kBadArgumentText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0";
// "Неверная дата"
constexpr char kBadDateText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xE0\xF2\xE0";
// "Неверное время"
constexpr char kBadTimeText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xE2\xF0\xE5\xEC\xFF";
// "Нет канала"
constexpr char kNoChannelText[] = "\xCD\xE5\xF2 \xEA\xE0\xED\xE0\xEB\xE0";
// "Не заданы настройки первого запуска: "
constexpr char kMissingSettingsText[] =
    "\xCD\xE5 \xE7\xE0\xE4\xE0\xED\xFB \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xE5\xF0\xE2\xEE\xE3\xEE "
    "\xE7\xE0\xEF\xF3\xF1\xEA\xE0: ";

[[noreturn]] void BadArgument(const char* what, const std::string& arg) {
    throw Error(std::string(what) + " \"" + Utf8ToAnsi(arg) + "\"");
}

bool Digits(const std::string& s, std::size_t from, std::size_t count) {
    if (from + count > s.size()) return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

TDateTime ParseDate(const std::string& text) {
    TDateTime date;
    if (text.size() != 10 || !Digits(text, 0, 4) || text[4] != '-' || !Digits(text, 5, 2) || text[7] != '-' ||
        !Digits(text, 8, 2) ||
        !TryEncodeDate(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2)), date))
        BadArgument(kBadDateText, text);
    return date;
}

TDateTime ParseTime(const std::string& text) {
    const std::size_t colon = text.find(':');
    TDateTime time;
    if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3 || !Digits(text, 0, colon) ||
        !Digits(text, colon + 1, 2) ||
        !TryEncodeTime(std::stoi(text.substr(0, colon)), std::stoi(text.substr(colon + 1)), 0, 0, time))
        BadArgument(kBadTimeText, text);
    return time;
}

class StderrNotifier : public Notifier {
public:
    void Show(const std::string& text, const std::string& caption, MsgIcon) override { Line(caption + ": " + text); }
    Answer Ask(const std::string& text, const std::string& caption, MsgIcon, Buttons buttons) override {
        Line(caption + ": " + text);
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }

private:
    static void Line(const std::string& ansi) {
        std::string line = AnsiToUtf8(ansi);
        for (char& c : line)
            if (c == '\r' || c == '\n') c = ' ';
        std::cerr << line << '\n' << std::flush;
    }
};

class FailingPrompts : public ConfigPrompts {
public:
    bool EditMessageBase(Config& config) override { Fail(config); }
    bool EditMessageParams(Config& config) override { Fail(config); }

private:
    [[noreturn]] static void Fail(const Config& config) {
        std::string text = kMissingSettingsText;
        const auto missing = config.MissingSettings();
        for (std::size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
        throw Error(text);
    }
};

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
    std::cout << out.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
    if (dryRun) return 0;
    return scheduler.Submit(plan) ? 0 : 1;
}

}  // namespace orbisk::cli
