// orbisk-cli: the core behind a command line. Output is UTF-8 JSON on
// stdout; every notice the desktop program would show in a message box goes
// to stderr as one line "<caption>: <text>", and an error that ends the
// command as "Орбиск: <text>." with exit status 1.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>


#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "cli/cmd_export.h"
#include "cli/cmd_xmltv.h"
#include "cli/cmd_remind.h"
#include "cli/common.h"
#include "cli/demo.h"
#include "listing/bodyparse.h"

namespace orbisk::cli {
namespace {

// "Орбиск"
constexpr char kAppTitle[] = "\xCE\xF0\xE1\xE8\xF1\xEA";
// "Неизвестная команда"
constexpr char kUnknownCommandText[] = "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xE0\xFF \xEA\xEE\xEC\xE0\xED\xE4\xE0";
// "Не указан каталог (--out)"
constexpr char kNoOutText[] = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xE0\xF2\xE0\xEB\xEE\xE3 (--out)";

constexpr char kUsage[] =
    "usage: orbisk-cli [--ini FILE] weeks\n"
    "       orbisk-cli [--ini FILE] day YYYY-MM-DD\n"
    "       orbisk-cli [--ini FILE] now [--date YYYY-MM-DD] [--time HH:MM]\n"
    "       orbisk-cli demo --out DIR [--date YYYY-MM-DD] [--format text|msg]\n"
    "       orbisk-cli [--ini FILE] print|jtv|delete-old YYYY-MM-DD [--out FILE|DIR] [--yes]\n"
    "       orbisk-cli [--ini FILE] xmltv YYYY-MM-DD [--out FILE]\n"
    "       orbisk-cli [--ini FILE] remind YYYY-MM-DD CHANNEL HH:MM [--lead MINUTES] [--dry-run]\n"
    "FILE defaults to Orbisk.ini beside the program.\n";

std::string ExeDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// The options of a command: "--name value" pairs and positional words.
struct Options {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> named;

    const std::string* Find(const std::string& name) const {
        const std::string* found = nullptr;
        for (const auto& [n, v] : named)
            if (n == name) found = &v;
        return found;
    }
};

Options ParseOptions(const std::vector<std::string>& args, std::initializer_list<const char*> allowed,
                     std::size_t maxWords) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const char* name : allowed) known = known || a == name;
            if (!known || i + 1 >= args.size()) BadArgument(kBadArgumentText, a);
            o.named.emplace_back(a, args[++i]);
        } else if (o.words.size() < maxWords) {
            o.words.push_back(a);
        } else {
            BadArgument(kBadArgumentText, a);
        }
    }
    return o;
}

// A viewer after the full refresh that the desktop program runs at start
// (without the positioning at the running programme).
void Refresh(Viewer& viewer) {
    if (!viewer.Settings().FileExists()) throw Error(kConfigMissingText);
    FailingPrompts prompts;
    viewer.RefreshListings(prompts, true);
}

int Weeks(const std::string& ini) {
    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    Refresh(viewer);
    json weeks = json::array();
    for (const auto& week : viewer.Weeks().Items) {
        json messages = json::array();
        for (const auto& m : week->Messages)
            messages.push_back({{"part", m.PartNo}, {"count", m.PartCount}, {"msgnum", m.MsgNum}});
        json days = json::array();
        for (int i = 0; i < 7; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            const std::size_t lines = slot < week->Days.size() ? week->Days[slot].size() : 0;
            days.push_back({{"date", IsoDate(week->StartDate + i)}, {"lines", lines}});
        }
        weeks.push_back({{"start", IsoDate(week->StartDate)},
                         {"end", IsoDate(week->EndDate)},
                         {"from_files", week->FromFiles},
                         {"messages", messages},
                         {"days", days}});
    }
    json other = json::array();
    for (const auto& m : viewer.OtherMsgs()) other.push_back(m.Desc.MsgNum);
    Print({{"weeks", weeks}, {"other_messages", other}});
    return 0;
}

int Day(const std::string& ini, TDateTime date) {
    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    Refresh(viewer);
    const bool hasText = viewer.Weeks().DayHasText(date);
    json channels = json::array();
    if (hasText) {
        ParseDay(viewer.ChannelsSlot(), viewer.Weeks(), date, viewer.Settings());
        const TChannels& list = viewer.Channels();
        for (int i = 0; i < list.Count(); ++i) {
            const TChannel& c = list.Items(i);
            json entries = json::array();
            for (std::size_t e = 0; e < c.Lines.size(); ++e)
                entries.push_back({{"time", U(c.Times[e])}, {"line", U(c.Lines[e])}});
            channels.push_back({{"name", U(c.Name)}, {"desc", U(c.Desc)}, {"hide", c.Hide}, {"entries", entries}});
        }
    }
    Print({{"date", IsoDate(date)}, {"has_text", hasText}, {"channels", channels}});
    return 0;
}

int Now(const std::string& ini, const Options& o) {
    const TDateTime wall = SystemClock().Now();
    const std::string* date = o.Find("--date");
    const std::string* time = o.Find("--time");
    const TDateTime moment = (date ? ParseDate(*date) : DateOf(wall)) + (time ? ParseTime(*time) : TimeOf(wall));
    StderrNotifier notifier;
    FixedClock clock(moment);
    Viewer viewer(ini, notifier, clock);
    Refresh(viewer);
    json rows = json::array();
    if (viewer.ShownDayHasText())
        for (const FilmRow& r : viewer.FilmRows(moment))
            rows.push_back({{"channel", U(r.Desc)}, {"title", U(r.Title)}, {"time", U(r.Time)}});
    Print({{"date", IsoDate(viewer.ShownDate())},
           {"time", U(FormatTime(moment, viewer.Settings().Format()))},
           {"rows", rows}});
    return 0;
}

int Demo(const Options& o) {
    const std::string* out = o.Find("--out");
    if (!out || out->empty()) throw Error(kNoOutText);
    const std::string* date = o.Find("--date");
    const std::string* format = o.Find("--format");
    DemoFormat kind = DemoFormat::Text;
    if (format && *format == "msg")
        kind = DemoFormat::Msg;
    else if (format && *format != "text")
        BadArgument(kBadArgumentText, *format);
    // By default the week of today's listing day, so that a first start at
    // night shows the day that is still running.
    const TDateTime day = date ? ParseDate(*date) : ListingDate(SystemClock().Now());
    WriteDemo(*out, day, kind);
    return 0;
}

int Run(const std::vector<std::string>& argv) {
    std::string ini;
    std::string command;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--ini" && command.empty()) {
            if (i + 1 >= argv.size()) BadArgument(kBadArgumentText, a);
            ini = argv[++i];
        } else if (command.empty()) {
            command = a;
        } else {
            rest.push_back(a);
        }
    }
    if (command.empty()) {
        std::cerr << kUsage;
        return 1;
    }
    if (ini.empty()) ini = (std::filesystem::path(ExeDir()) / kConfigFileName).string();

    if (command == "weeks") {
        ParseOptions(rest, {}, 0);
        return Weeks(ini);
    }
    if (command == "day") {
        const Options o = ParseOptions(rest, {}, 1);
        if (o.words.empty()) BadArgument(kBadDateText, "");
        return Day(ini, ParseDate(o.words[0]));
    }
    if (command == "now") return Now(ini, ParseOptions(rest, {"--date", "--time"}, 0));
    if (command == "demo") return Demo(ParseOptions(rest, {"--out", "--date", "--format"}, 0));
    if (command == "print") return PrintCommand(ini, rest);
    if (command == "jtv") return JtvCommand(ini, rest);
    if (command == "xmltv") return XmltvCommand(ini, rest);
    if (command == "delete-old") return DeleteOldCommand(ini, rest);
    if (command == "remind") return RemindCommand(ini, rest);
    BadArgument(kUnknownCommandText, command);
}

void ReportError(const std::string& ansi) {
    std::string text = std::string(kAppTitle) + ": " + ansi;
    if (text.back() != '.') text += '.';
    ErrLine(text);
}

}  // namespace
}  // namespace orbisk::cli

int main(int argc, char** argv) {
    using namespace orbisk;
    try {
        return cli::Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Error& e) {
        cli::ReportError(e.what());
    } catch (const std::exception& e) {
        // Library texts (file-system errors and the like) are not Windows-1251.
        cli::ReportError(Utf8ToAnsi(e.what()));
    }
    return 1;
}
