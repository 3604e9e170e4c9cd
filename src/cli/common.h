#pragma once
// What every orbisk-cli command shares: argument texts, the stderr notifier,
// the prompts that name missing first-run settings, and JSON output.
#include <string>

#include <nlohmann/json.hpp>

#include "config/config.h"
#include "base/codepage.h"
#include "base/datetime.h"
#include "base/ui.h"

namespace orbisk::cli {

using json = nlohmann::ordered_json;

// "Неверный параметр"
inline constexpr char kBadArgumentText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0";
// "Неверная дата"
inline constexpr char kBadDateText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xE0\xF2\xE0";
// "Неверное время"
inline constexpr char kBadTimeText[] = "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xE2\xF0\xE5\xEC\xFF";

// One line on stderr, UTF-8; line breaks inside the text become blanks.
void errLine(const std::string& ansi);

// The message boxes: notices are printed, questions get their negative
// answer (No, Cancel), an Ok-only box its Ok.
class StderrNotifier : public Notifier {
public:
    void show(const std::string& text, const std::string& caption, MsgIcon) override;
    Answer ask(const std::string& text, const std::string& caption, MsgIcon, Buttons buttons) override;
};

// There is nobody to fill in the first-run dialogs: name what is missing.
class FailingPrompts : public ConfigPrompts {
public:
    bool editMessageBase(Config& config) override;
    bool editMessageParams(Config& config) override;
};

// Error("<what> \"<arg>\""), the argument converted from UTF-8.
[[noreturn]] void badArgument(const char* what, const std::string& arg);
DateTime parseDate(const std::string& text);  // YYYY-MM-DD
DateTime parseTime(const std::string& text);  // HH:MM
std::string isoDate(DateTime date);
inline std::string toUtf8(const std::string& ansi) { return ansiToUtf8(ansi); }
void print(const json& j);

}  // namespace orbisk::cli
