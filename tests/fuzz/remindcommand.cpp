// Arbitrary titles, channel names, message templates and run lines through
// expandReminderMacros, read back the way the POSIX shell splits words.
// Invariant: nothing but quoted words, escaped characters and blanks, so
// the built-in run line splits into exactly the three reminder arguments
// (and the network back-end's into the program path and those three), byte
// for byte, whatever the texts hold.
//
// A user's own run line (without "`", "$" and "#", which would need a
// whole shell to follow) is read back by a model of the shell's quote
// removal: what it sees must be the line with each token replaced by its
// value letter for letter, and nothing of a value may stand unquoted.
//
// Input: split at the first three NUL bytes into title, channel, message
// template and the user's run line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
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

// One character as the shell reads it after quote removal: `quoted` when
// no quoting or escape left it open to the shell's own meaning.
struct ShellChar {
    char c;
    bool quoted;
    bool operator==(const ShellChar&) const = default;
};

// Quote removal of `line` by the POSIX rules for "\", '…' and "…"; with
// `values`, the tokens of the line are read as their values, quoted (the
// backslash before a token goes with it). False for a "$" or "`" that no
// quoting protects (the line had none) and for a line that ends inside
// quotes (a line the shell refuses).
bool dequote(std::string_view line, const std::vector<std::pair<std::string, std::string>>* values,
             std::vector<ShellChar>& out) {
    enum { Bare, Double, Single } state = Bare;
    for (std::size_t i = 0; i < line.size();) {
        if (values) {
            const bool escapedToken = state != Single && line[i] == '\\' && i + 1 < line.size();
            bool hit = false;
            for (const auto& [token, value] : *values) {
                const std::size_t at = escapedToken ? i + 1 : i;
                if (line.substr(at, token.size()) != token) continue;
                for (char c : value)
                    if (c != '\0') out.push_back({c, true});
                i = at + token.size();
                hit = true;
                break;
            }
            if (hit) continue;
        }
        const char c = line[i];
        const bool hasNext = i + 1 < line.size();
        if (state == Single) {
            if (c == '\'') state = Bare;
            else out.push_back({c, true});
            ++i;
        } else if (c == '\\' && hasNext && line[i + 1] == '\n') {
            i += 2;  // continuation
        } else if (state == Double) {
            if (c == '"') {
                state = Bare;
            } else if (c == '\\' && hasNext && std::string_view("$`\"\\").find(line[i + 1]) != std::string_view::npos) {
                out.push_back({line[++i], true});
            } else if (c == '$' || c == '`') {
                return false;
            } else {
                out.push_back({c, true});
            }
            ++i;
        } else {
            if (c == '\'') state = Single;
            else if (c == '"') state = Double;
            else if (c == '\\' && hasNext) out.push_back({line[++i], true});
            else if (c == '$' || c == '`') return false;
            else out.push_back({c, false});
            ++i;
        }
    }
    return state == Bare;
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
    while (parts.size() < 3) {
        const std::size_t nul = in.find('\0');
        if (nul == std::string_view::npos) break;
        parts.emplace_back(in.substr(0, nul));
        in.remove_prefix(nul + 1);
    }
    parts.emplace_back(in);
    while (parts.size() < 4) parts.emplace_back();
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

    // The user's own line: the shell must read each value as it is.
    std::string runLine;
    for (char c : parts[3])
        if (c != '`' && c != '$' && c != '#' && c != '\0') runLine += c;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"*MESSAGE", reminderMessage(title, time, channel, message)},
        {"*NAME", replaceAll(title, "\"", "'")},
        {"*TIME", time},
        {"*CHANEL", replaceAll(channel, "\"", "'")},
    };
    std::vector<ShellChar> expected, seen;
    if (!dequote(runLine, &values, expected)) return 0;
    const std::string expanded = expandReminderMacros(title, time, channel, message, runLine);
    if (!dequote(expanded, nullptr, seen) || seen != expected) std::abort();

    return 0;
}
