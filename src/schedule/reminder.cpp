#include "schedule/reminder.h"

#include <utility>
#include <vector>

#include "config/config.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/timetext.h"
#include "listing/channellist.h"
#include "schedule/atjob.h"

namespace orbisk {

namespace {

constexpr std::int64_t kMSecsPerMinute = 60'000;
constexpr std::int64_t kSixOClock = 6 * 60 * kMSecsPerMinute;

std::string quotesToApostrophes(std::string_view s) { return replaceAll(s, "\"", "'"); }

// Where a point of a run line stands for the shell. Backquote and Command
// ("$(") open a nested command; the others quote or end at a line break.
enum class Quoting { Bare, Double, Single, Backquote, Command, Comment };

bool startsWord(std::string_view line, std::size_t i) {
    if (i == 0) return true;
    const char c = line[i - 1];
    return c == ' ' || c == '\t' || c == '\n' || c == ';' || c == '&' || c == '|' || c == '(' || c == ')';
}

// The text that makes the shell read `value` letter for letter at a point
// whose quoting is `stack` (innermost last), `escaped` when a backslash of
// the run line stands just before it.
std::string insertion(const std::vector<Quoting>& stack, bool escaped, std::string_view value) {
    std::string text;
    switch (stack.back()) {
        case Quoting::Comment:
            // Never run; only a line break could end the comment early.
            for (char c : value) text += c == '\n' || c == '\r' ? ' ' : c;
            return text;
        case Quoting::Double:
            // Leave the double quotes, put the quoted word, go back in.
            text = '"' + shellQuote(value) + '"';
            break;
        case Quoting::Single:
            text = '\'' + shellQuote(value) + '\'';
            break;
        default:
            text = shellQuote(value);
    }
    // The line's backslash and this line break are a continuation: both go,
    // and the backslash escapes nothing of the value.
    if (escaped) text = std::string(1, '\n').append(text);
    // Each enclosing backquote strips one level of "\", "`" and "$" escapes
    // (and of '"' when it stands in double quotes) before its command runs.
    for (std::size_t level = stack.size(); level-- > 0;) {
        if (stack[level] != Quoting::Backquote) continue;
        const bool inDouble = level > 0 && stack[level - 1] == Quoting::Double;
        std::string escapedText;
        for (char c : text) {
            if (c == '\\' || c == '`' || c == '$' || (inDouble && c == '"')) escapedText += '\\';
            escapedText += c;
        }
        text = std::move(escapedText);
    }
    return text;
}

// Follows the quoting of the run line's own text by one character at `i`;
// returns how many characters it took.
std::size_t step(std::string_view line, std::size_t i, std::vector<Quoting>& stack, bool& escaped) {
    const char c = line[i];
    if (escaped) {
        escaped = false;
        return 1;
    }
    const bool commandFollows = c == '$' && i + 1 < line.size() && line[i + 1] == '(';
    switch (stack.back()) {
        case Quoting::Comment:
            if (c == '\n') stack.pop_back();
            return 1;
        case Quoting::Single:
            if (c == '\'') stack.pop_back();
            return 1;
        case Quoting::Double:
            if (c == '\\') escaped = true;
            else if (c == '"') stack.pop_back();
            else if (c == '`') stack.push_back(Quoting::Backquote);
            else if (commandFollows) {
                stack.push_back(Quoting::Command);
                return 2;
            }
            return 1;
        default:
            break;
    }
    if (c == '\\') escaped = true;
    else if (c == '\'') stack.push_back(Quoting::Single);
    else if (c == '"') stack.push_back(Quoting::Double);
    else if (c == '`' && stack.back() == Quoting::Backquote) stack.pop_back();
    else if (c == '`') stack.push_back(Quoting::Backquote);
    else if (c == ')' && stack.back() == Quoting::Command) stack.pop_back();
    else if (c == '#' && startsWord(line, i)) stack.push_back(Quoting::Comment);
    else if (commandFollows) {
        stack.push_back(Quoting::Command);
        return 2;
    }
    return 1;
}

}  // namespace

RunMoment reminderRunTime(DateTime shownDate, DateTime t, int lead) {
    std::int64_t date = static_cast<std::int64_t>(dateOf(shownDate));
    const std::int64_t start = timeMSecs(t);
    if (start < kSixOClock) ++date;
    if (lead < 0 || lead > 59) throw Error(kInvalidTimeEncodeText);
    const std::int64_t leadMs = lead * kMSecsPerMinute;
    std::int64_t run = start - leadMs;
    if (leadMs > start) {
        run += kMSecsPerDay;
        --date;
    }
    RunMoment m;
    m.date = static_cast<DateTime>(date);
    m.time = static_cast<DateTime>(run) / static_cast<DateTime>(kMSecsPerDay);
    decodeDate(m.date, m.year, m.month, m.day);
    m.hour = static_cast<int>(run / 3'600'000);
    m.minute = static_cast<int>(run / kMSecsPerMinute % 60);
    m.second = static_cast<int>(run / 1000 % 60);
    return m;
}

std::uint32_t daysOfMonthMask(int day) {
    if (day < 1 || day > 31) return 0;
    return std::uint32_t{1} << (day - 1);
}

ReminderProgramme pickProgramme(const Channel* channel, DateTime showTime, const FormatSettings& format) {
    const int running = channel ? channel->findCurrent(showTime) : -1;
    if (running < 0) throw Error("List index out of bounds (-1)");
    const std::string& line = channel->lines[static_cast<std::size_t>(running)];
    const DateTime t = strToTime(std::string_view(line).substr(0, 5), channel->timeSeparator);
    const int entry = channel->findCurrent(t);
    if (entry < 0) throw Error("List index out of bounds (-1)");
    const std::string& picked = channel->lines[static_cast<std::size_t>(entry)];
    ReminderProgramme p;
    p.title = picked.size() > 6 ? picked.substr(6, 255) : std::string();
    p.time = t;
    p.timeText = formatTime(t, format);
    p.channel = channel->desc;
    return p;
}

std::string reminderMessage(std::string_view title, std::string_view timeText, std::string_view channel,
                            std::string_view messageTemplate) {
    std::string m = replaceAll(messageTemplate, "*NAME", quotesToApostrophes(title));
    m = replaceAll(m, "*TIME", timeText);
    return replaceAll(m, "*CHANEL", quotesToApostrophes(channel));
}

std::string expandReminderMacros(std::string_view title, std::string_view timeText, std::string_view channel,
                                 std::string_view messageTemplate, std::string_view runLine) {
    const std::pair<std::string_view, std::string> values[] = {
        {"*MESSAGE", reminderMessage(title, timeText, channel, messageTemplate)},
        {"*NAME", quotesToApostrophes(title)},
        {"*TIME", std::string(timeText)},
        {"*CHANEL", quotesToApostrophes(channel)},
    };
    std::vector<Quoting> stack{Quoting::Bare};
    bool escaped = false;
    std::string out;
    for (std::size_t i = 0; i < runLine.size();) {
        bool replaced = false;
        for (const auto& [token, value] : values) {
            if (runLine.substr(i, token.size()) != token) continue;
            out += insertion(stack, escaped, value);
            escaped = false;
            i += token.size();
            replaced = true;
            break;
        }
        if (replaced) continue;
        const std::size_t taken = step(runLine, i, stack, escaped);
        out += runLine.substr(i, taken);
        i += taken;
    }
    return out;
}

std::string getRunLine(bool runMe, bool nt40Scheduler, std::string_view externalCommandLine,
                       std::string_view programPath) {
    if (!runMe) return std::string(externalCommandLine);
    if (nt40Scheduler) {
        // The path is part of the template that the tokens are searched in:
        // every "*" stands outside the quotes, escaped, so that no token can
        // appear inside the quoted path.
        return replaceAll(shellQuote(programPath), "*", "'\\*'") + " *MESSAGE *TIME *CHANEL";
    }
    return "*MESSAGE *TIME *CHANEL";
}

std::string getRunLine(const Config& config, std::string_view programPath) {
    return getRunLine(config.runMe(), config.nt40Scheduler(), config.externalCommandLine(), programPath);
}

std::string reminderPrompt(const ReminderProgramme& p) {
    return "Добавить в расписание программу <"_cp1251 + p.title + ">, идущую в "_cp1251 + p.timeText +
           " по каналу "_cp1251 + p.channel + "?";
}

}  // namespace orbisk
