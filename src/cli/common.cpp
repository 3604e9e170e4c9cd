#include "cli/common.h"

#include <cstdio>
#include <iostream>
#include <string_view>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "viewer/viewer.h"

namespace orbisk::cli {
namespace {

constexpr const char* kMissingSettingsText = "Не заданы настройки первого запуска: "_cp1251;

[[noreturn]] void failMissing(const Config& config) {
    std::string text = kMissingSettingsText;
    const auto missing = config.missingSettings();
    for (std::size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
    throw Error(text);
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

void errLine(const std::string& ansi) {
    std::string line = ansiToUtf8(ansi);
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    std::cerr << line << '\n' << std::flush;
}

void StderrNotifier::show(const std::string& text, const std::string& caption, MsgIcon) {
    errLine(caption + ": " + text);
}

Answer StderrNotifier::ask(const std::string& text, const std::string& caption, MsgIcon, Buttons buttons) {
    errLine(caption + ": " + text);
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

bool FailingPrompts::editMessageBase(Config& config) {
    failMissing(config);
}
bool FailingPrompts::editMessageParams(Config& config) {
    failMissing(config);
}

void refresh(Viewer& viewer) {
    if (!viewer.settings().fileExists()) throw Error(kConfigMissingText);
    FailingPrompts prompts;
    // Nobody picks channels here: a guide shows all it holds.
    viewer.guideOptions().keepEveryChannel = true;
    viewer.refreshListings(prompts, true);
}

void badArgument(const char* what, const std::string& arg) {
    throw Error(std::string(what) + " \"" + utf8ToAnsi(arg) + "\"");
}

DateTime parseDate(const std::string& text) {
    DateTime date;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !allDigits(text.substr(0, 4)) ||
        !allDigits(text.substr(5, 2)) || !allDigits(text.substr(8, 2)) ||
        !tryEncodeDate(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2)), date))
        badArgument(kBadDateText, text);
    return date;
}

DateTime parseTime(const std::string& text) {
    const auto colon = text.find(':');
    DateTime time;
    if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3 ||
        !allDigits(text.substr(0, colon)) || !allDigits(text.substr(colon + 1)) ||
        !tryEncodeTime(std::stoi(text.substr(0, colon)), std::stoi(text.substr(colon + 1)), 0, 0, time))
        badArgument(kBadTimeText, text);
    return time;
}


void print(const json& j) {
    std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

}  // namespace orbisk::cli
