// orbisk-cli: the core behind a command line. Output is UTF-8 JSON on
// stdout; every notice the desktop program would show in a message box goes
// to stderr as one line "<caption>: <text>", and an error that ends the
// command as "Орбиск: <text>." with exit status 1.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/error.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "base/version.h"
#include "cli/cmd_export.h"
#include "cli/cmd_remind.h"
#include "cli/cmd_search.h"
#include "cli/cmd_xmltv.h"
#include "cli/common.h"
#include "cli/demo.h"
#include "config/config.h"
#include "config/identifier.h"
#include "listing/bodyparse.h"
#include "viewer/viewer.h"

namespace orbisk::cli {
namespace {

constexpr const char* kUnknownCommandText = "Неизвестная команда"_cp1251;
constexpr const char* kNoOutText = "Не указан каталог (--out)"_cp1251;

constexpr char kUsage[] =
    "usage: orbisk-cli [--ini FILE] weeks\n"
    "       orbisk-cli [--ini FILE] day YYYY-MM-DD\n"
    "       orbisk-cli [--ini FILE] now [--date YYYY-MM-DD] [--time HH:MM]\n"
    "       orbisk-cli demo --out DIR [--date YYYY-MM-DD] [--format text|msg]\n"
    "       orbisk-cli [--ini FILE] print|jtv|delete-old YYYY-MM-DD [--out FILE|DIR] [--yes]\n"
    "       orbisk-cli [--ini FILE] xmltv YYYY-MM-DD [--out FILE]\n"
    "       orbisk-cli [--ini FILE] remind YYYY-MM-DD CHANNEL HH:MM [--lead MINUTES] [--dry-run]\n"
    "       orbisk-cli [--ini FILE] init [--base IDENTIFIER]\n"
    "       orbisk-cli [--ini FILE] search WORDS... [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--channel NAME]\n"
    "       orbisk-cli [--ini FILE] favourites [--week YYYY-MM-DD] | --add TEXT | --remove TEXT\n"
    "       orbisk-cli reminders [--cancel ID]\n"
    "       orbisk-cli --version | --help\n"
    "FILE: $ORBISK_INI, else Orbisk.ini beside the program, else\n"
    "$XDG_CONFIG_HOME/orbisk/Orbisk.ini (~/.config/orbisk/Orbisk.ini).\n"
    "init makes that per-user file from the installed template when there is\n"
    "none, and with --base stores the message base: F<folder> (*.MSG),\n"
    "J<base> (JAM), S<base> (Squish), H<nnn><folder> (Hudson board nnn),\n"
    "I<folder> (daily text files), X<file or http(s) address> (an XMLTV\n"
    "guide, .xml, .xml.gz or .xml.xz; every channel of it is shown).\n";

// The options of a command: "--name value" pairs and positional words.
struct Options {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> named;

    const std::string* find(const std::string& name) const {
        const std::string* found = nullptr;
        for (const auto& [n, v] : named)
            if (n == name) found = &v;
        return found;
    }
};

Options parseOptions(const std::vector<std::string>& args, std::initializer_list<const char*> allowed,
                     std::size_t maxWords) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const char* name : allowed) known = known || a == name;
            if (!known || i + 1 >= args.size()) badArgument(kBadArgumentText, a);
            o.named.emplace_back(a, args[++i]);
        } else if (o.words.size() < maxWords) {
            o.words.push_back(a);
        } else {
            badArgument(kBadArgumentText, a);
        }
    }
    return o;
}

int weeks(const std::string& ini) {
    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    json weeks = json::array();
    for (const auto& week : viewer.weeks().items) {
        json messages = json::array();
        for (const auto& m : week->messages)
            messages.push_back({{"part", m.partNo}, {"count", m.partCount}, {"msgnum", m.msgNum}});
        json days = json::array();
        for (int i = 0; i < 7; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            const std::size_t lines = slot < week->days.size() ? week->days[slot].size() : 0;
            days.push_back({{"date", isoDate(week->startDate + i)}, {"lines", lines}});
        }
        weeks.push_back({{"start", isoDate(week->startDate)},
                         {"end", isoDate(week->endDate)},
                         {"from_files", week->fromFiles},
                         {"messages", messages},
                         {"days", days}});
    }
    json other = json::array();
    for (const auto& m : viewer.otherMsgs()) other.push_back(m.desc.msgNum);
    print({{"weeks", weeks}, {"other_messages", other}});
    return 0;
}

int day(const std::string& ini, DateTime date) {
    StderrNotifier notifier;
    SystemClock clock;
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    const bool hasText = viewer.weeks().dayHasText(date);
    json channels = json::array();
    if (hasText) {
        parseDay(viewer.channelsSlot(), viewer.weeks(), date, viewer.settings());
        const ChannelList& list = viewer.channels();
        for (int i = 0; i < list.count(); ++i) {
            const Channel& c = list.items(i);
            json entries = json::array();
            for (std::size_t e = 0; e < c.lines.size(); ++e)
                entries.push_back({{"time", toUtf8(c.times[e])}, {"line", toUtf8(c.lines[e])}});
            channels.push_back(
                {{"name", toUtf8(c.name)}, {"desc", toUtf8(c.desc)}, {"hide", c.hide}, {"entries", entries}});
        }
    }
    print({{"date", isoDate(date)}, {"has_text", hasText}, {"channels", channels}});
    return 0;
}

int now(const std::string& ini, const Options& o) {
    const DateTime wall = SystemClock().now();
    const std::string* date = o.find("--date");
    const std::string* time = o.find("--time");
    const DateTime moment = (date ? parseDate(*date) : dateOf(wall)) + (time ? parseTime(*time) : timeOf(wall));
    StderrNotifier notifier;
    FixedClock clock(moment);
    Viewer viewer(ini, notifier, clock);
    refresh(viewer);
    json rows = json::array();
    if (viewer.shownDayHasText())
        for (const FilmRow& r : viewer.filmRows(moment))
            rows.push_back({{"channel", toUtf8(r.desc)}, {"title", toUtf8(r.title)}, {"time", toUtf8(r.time)}});
    print({{"date", isoDate(viewer.shownDate())},
           {"time", toUtf8(formatTime(moment, viewer.settings().format()))},
           {"rows", rows}});
    return 0;
}

int demo(const Options& o) {
    const std::string* out = o.find("--out");
    if (!out || out->empty()) throw Error(kNoOutText);
    const std::string* date = o.find("--date");
    const std::string* format = o.find("--format");
    DemoFormat kind = DemoFormat::Text;
    if (format && *format == "msg")
        kind = DemoFormat::Msg;
    else if (format && *format != "text")
        badArgument(kBadArgumentText, *format);
    // By default the week of today's listing day, so that a first start at
    // night shows the day that is still running.
    const DateTime day = date ? parseDate(*date) : listingDate(SystemClock().now());
    writeDemo(*out, day, kind);
    return 0;
}

// Makes the settings file when it is missing (from the installed template)
// and stores the message base, for a user without a display.
int init(const ConfigLookup& lookup, const Options& o) {
    bool created = false;
    if (lookup.searched.empty()) throw Error(configMissingText(lookup));
    // A file named by --ini or ORBISK_INI is made where it was named.
    const std::string path = lookup.path.empty() ? lookup.searched.front() : lookup.path;
    if (!lookup.found) {
        createConfigFromTemplate(configTemplatePath(), path);
        created = true;
    }
    json out = {{"ini", path}, {"created", created}};
    if (const std::string* base = o.find("--base")) {
        if (!fileNameFitsAnsi(*base)) badArgument(kPathNotInCodePageText, *base);
        const std::string identifier = fileNameToAnsi(*base);
        const AreaSetting setting = loadIdentifier(identifier);
        if (identifier.empty() || identifier[0] != areaLetter(setting.kind)) badArgument(kBadArgumentText, *base);
        // The location as the file system names it; a JAM or Squish base is
        // named without its extension, so its folder is what must exist.
        const std::filesystem::path location(ansiToFileName(setting.path));
        const std::filesystem::path folder = areaUsesFolder(setting.kind) ? location : location.parent_path();
        std::error_code ec;
        if (setting.path.empty() || !std::filesystem::is_directory(folder, ec))
            throw Error("Путь "_cp1251 + fileNameToAnsi(folder.string()) + " не существует"_cp1251);
        Config config(path);
        config.setFidoPath(composeIdentifier(setting));
        out["base"] = toUtf8(config.fidoPath());
    }
    print(out);
    return 0;
}

int run(const std::vector<std::string>& argv) {
    std::string ini;
    std::string command;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--version" && command.empty()) {
            std::cout << "orbisk-cli " << kVersion << "\n";
            return 0;
        }
        if (a == "--ini" && command.empty()) {
            if (i + 1 >= argv.size()) badArgument(kBadArgumentText, a);
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
    if (command == "demo") return demo(parseOptions(rest, {"--out", "--date", "--format"}, 0));
    if (command == "reminders") return remindersCommand(rest);
    const ConfigLookup lookup = findConfigFile(ini);
    if (command == "init") return init(lookup, parseOptions(rest, {"--base"}, 0));
    if (!lookup.found) throw Error(configMissingText(lookup) + "\n" + "(orbisk-cli init)");
    ini = lookup.path;

    if (command == "weeks") {
        parseOptions(rest, {}, 0);
        return weeks(ini);
    }
    if (command == "day") {
        const Options o = parseOptions(rest, {}, 1);
        if (o.words.empty()) badArgument(kBadDateText, "");
        return day(ini, parseDate(o.words[0]));
    }
    if (command == "now") return now(ini, parseOptions(rest, {"--date", "--time"}, 0));
    if (command == "print") return printCommand(ini, rest);
    if (command == "jtv") return jtvCommand(ini, rest);
    if (command == "xmltv") return xmltvCommand(ini, rest);
    if (command == "delete-old") return deleteOldCommand(ini, rest);
    if (command == "remind") return remindCommand(ini, rest);
    if (command == "search") return searchCommand(ini, rest);
    if (command == "favourites") return favouritesCommand(ini, rest);
    badArgument(kUnknownCommandText, command);
}

void reportError(const std::string& ansi) {
    std::string text = std::string(kAppTitle) + ": " + ansi;
    if (text.back() != '.') text += '.';
    errLine(text);
}

}  // namespace
}  // namespace orbisk::cli

int main(int argc, char** argv) {
    using namespace orbisk;
    try {
        return cli::run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Error& e) {
        cli::reportError(e.what());
    } catch (const std::exception& e) {
        // Library texts (file-system errors and the like) are not Windows-1251.
        cli::reportError(utf8ToAnsi(e.what()));
    }
    return 1;
}
