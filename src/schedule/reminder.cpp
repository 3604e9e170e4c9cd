#include "schedule/reminder.h"

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

// A run line being expanded: stretches of the template, still searched for
// tokens, and values already put in, which are not.
struct Piece {
    std::string text;
    bool fromTemplate;
};

void replaceInTemplate(std::vector<Piece>& pieces, std::string_view token, const std::string& value) {
    std::vector<Piece> out;
    for (auto& piece : pieces) {
        if (!piece.fromTemplate) {
            out.push_back(std::move(piece));
            continue;
        }
        std::size_t start = 0;
        for (;;) {
            const std::size_t hit = piece.text.find(token, start);
            if (hit == std::string::npos) break;
            out.push_back({piece.text.substr(start, hit - start), true});
            out.push_back({value, false});
            start = hit + token.size();
        }
        out.push_back({piece.text.substr(start), true});
    }
    pieces = std::move(out);
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
    std::vector<Piece> pieces{{std::string(runLine), true}};
    replaceInTemplate(pieces, "*MESSAGE", shellQuote(reminderMessage(title, timeText, channel, messageTemplate)));
    replaceInTemplate(pieces, "*NAME", shellQuote(quotesToApostrophes(title)));
    replaceInTemplate(pieces, "*TIME", shellQuote(timeText));
    replaceInTemplate(pieces, "*CHANEL", shellQuote(quotesToApostrophes(channel)));
    std::string out;
    for (const auto& piece : pieces) out += piece.text;
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
