#include "cli/cmd_xmltv.h"

#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/config/config.h"
#include "app/viewer/viewer.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/ui.h"
#include "export/xmltv.h"

namespace orbisk::cli {
namespace {

// "Неверный параметр"
constexpr char kBadArgumentText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0";
// "Неверная дата"
constexpr char kBadDateText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xE0\xF2\xE0";
// "Не заданы настройки первого запуска: "
constexpr char kMissingSettingsText[] =
    "\xCD\xE5 \xE7\xE0\xE4\xE0\xED\xFB \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xE5\xF0\xE2\xEE\xE3\xEE "
    "\xE7\xE0\xEF\xF3\xF1\xEA\xE0: ";

[[noreturn]] void BadArgument(const char* what, const std::string& arg) {
    throw Error(std::string(what) + " \"" + Utf8ToAnsi(arg) + "\"");
}

TDateTime ParseDate(const std::string& text) {
    int y = 0, m = 0, d = 0, used = 0;
    TDateTime date;
    if (text.size() != 10 || text.find_first_not_of("0123456789-") != std::string::npos || text[4] != '-' ||
        text[7] != '-' || std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 || used != 10 ||
        !TryEncodeDate(y, m, d, date))
        BadArgument(kBadDateText, text);
    return date;
}

// Notices on stderr; questions get their negative answer.
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

}  // namespace

int XmltvCommand(const std::string& ini, const std::vector<std::string>& args) {
    const std::string* out = nullptr;
    const std::string* dateText = nullptr;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size() && !out)
            out = &args[++i];
        else if (!dateText && args[i].compare(0, 2, "--") != 0)
            dateText = &args[i];
        else
            BadArgument(kBadArgumentText, args[i]);
    }
    if (!dateText) BadArgument(kBadDateText, "");
    const TDateTime date = ParseDate(*dateText);

    StderrNotifier notifier;
    SystemClock clock;
    FailingPrompts prompts;
    Viewer viewer(ini, notifier, clock);
    if (!viewer.Settings().FileExists()) throw Error(kConfigMissingText);
    viewer.RefreshListings(prompts, true);
    viewer.ShowDay(date);

    const XmltvResult result = ExportXmltv(viewer);
    if (!out) {
        std::cout.write(result.Document.data(), static_cast<std::streamsize>(result.Document.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    SaveXmltv(result.Document, *out);
    const nlohmann::ordered_json summary = {{"file", *out},
                                            {"week_found", result.WeekFound},
                                            {"channels", result.Channels},
                                            {"programmes", result.Programmes}};
    std::cout << summary.dump() << '\n' << std::flush;
    return 0;
}

}  // namespace orbisk::cli
