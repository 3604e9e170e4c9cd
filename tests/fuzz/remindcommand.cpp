// Arbitrary titles, channel names, message templates and run lines through
// expandReminderMacros, read back the way the POSIX shell splits words.
// Invariant: nothing but quoted words, escaped characters and blanks, so
// the built-in run line splits into exactly the three reminder arguments
// (and the network back-end's into the program path and those three), byte
// for byte, whatever the texts hold.
//
// Input: split at the first two NUL bytes into title, channel and message
// template.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/strings.h"
#include "schedule/reminder.h"

namespace {

using namespace orbisk;

// The words of `line` as sh would split them if it held only quoted words,
// escaped characters and blanks; false when something else stands
// unquoted.
bool splitWords(const std::string& line, std::vector<std::string>& words) {
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '\'') {
            const std::size_t end = line.find('\'', i + 1);
            if (end == std::string::npos) return false;
            word += line.substr(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else {
            return false;
        }
    }
    if (inWord) words.push_back(word);
    return true;
}

std::string noNul(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '\0') out += c;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    while (parts.size() < 2) {
        const std::size_t nul = in.find('\0');
        if (nul == std::string_view::npos) break;
        parts.emplace_back(in.substr(0, nul));
        in.remove_prefix(nul + 1);
    }
    parts.emplace_back(in);
    while (parts.size() < 3) parts.emplace_back();
    const std::string& title = parts[0];
    const std::string& channel = parts[1];
    const std::string& message = parts[2];
    const std::string time = "21.30";

    // The built-in line: exactly the three arguments, byte for byte.
    const std::string command = expandReminderMacros(title, time, channel, message, "*MESSAGE *TIME *CHANEL");
    std::vector<std::string> words;
    if (!splitWords(command, words)) std::abort();
    if (words.size() != 3) std::abort();
    if (words[0] != noNul(reminderMessage(title, time, channel, message))) std::abort();
    if (words[1] != time) std::abort();
    if (words[2] != noNul(replaceAll(channel, "\"", "'"))) std::abort();

    // With the network back-end's line the quoted program path comes first.
    const std::string program = "/opt/o*NAME 'x'/orbisk";
    words.clear();
    if (!splitWords(expandReminderMacros(title, time, channel, message, getRunLine(true, true, "", program)), words) ||
        words.size() != 4 || words[0] != program)
        std::abort();

    return 0;
}
