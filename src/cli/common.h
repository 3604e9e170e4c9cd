#pragma once
// What every orbisk-cli command shares: argument texts, the stderr notifier,
// the prompts that name missing first-run settings, and JSON output.
#include <string>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "base/ui.h"
#include "config/config.h"

namespace orbisk {
class Viewer;
}

namespace orbisk::cli {

using json = nlohmann::ordered_json;

inline constexpr const char* kBadArgumentText = "Неверный параметр"_cp1251;
inline constexpr const char* kBadDateText = "Неверная дата"_cp1251;
inline constexpr const char* kBadTimeText = "Неверное время"_cp1251;

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

// The full refresh the desktop program runs at start, the picked time left
// where it is. Without a settings file the command ends as the program does.
void refresh(Viewer& viewer);

// Error("<what> \"<arg>\""), the argument converted from UTF-8.
[[noreturn]] void badArgument(const char* what, const std::string& arg);
DateTime parseDate(const std::string& text);  // YYYY-MM-DD
DateTime parseTime(const std::string& text);  // HH:MM
inline std::string toUtf8(const std::string& ansi) {
    return ansiToUtf8(ansi);
}
void print(const json& j);

}  // namespace orbisk::cli
