#include "schedule/reminder.h"

#include <vector>

#include "app/config/config.h"
#include "base/error.h"
#include "base/strings.h"
#include "base/timetext.h"
#include "listing/channels.h"
#include "schedule/atjob.h"

namespace orbisk {

namespace {

constexpr std::int64_t kMSecsPerMinute = 60'000;
constexpr std::int64_t kSixOClock = 6 * 60 * kMSecsPerMinute;

std::string QuotesToApostrophes(std::string_view s) { return ReplaceAll(s, "\"", "'"); }

// A run line being expanded: stretches of the template, still searched for
// tokens, and values already put in, which are not.
struct Piece {
    std::string Text;
    bool FromTemplate;
};

void ReplaceInTemplate(std::vector<Piece>& pieces, std::string_view token, const std::string& value) {
    std::vector<Piece> out;
    for (auto& piece : pieces) {
        if (!piece.FromTemplate) {
            out.push_back(std::move(piece));
            continue;
        }
        std::size_t start = 0;
        for (;;) {
            const std::size_t hit = piece.Text.find(token, start);
            if (hit == std::string::npos) break;
            out.push_back({piece.Text.substr(start, hit - start), true});
            out.push_back({value, false});
            start = hit + token.size();
        }
        out.push_back({piece.Text.substr(start), true});
    }
    pieces = std::move(out);
}

}  // namespace

RunMoment ReminderRunTime(TDateTime shownDate, TDateTime t, int lead) {
    std::int64_t date = static_cast<std::int64_t>(DateOf(shownDate));
    const std::int64_t start = TimeMSecs(t);
    if (start < kSixOClock) ++date;
    if (lead < 0 || lead > 59) throw Error(kInvalidTimeEncodeText);
    const std::int64_t leadMs = lead * kMSecsPerMinute;
    std::int64_t run = start - leadMs;
    if (leadMs > start) {
        run += kMSecsPerDay;
        --date;
    }
    RunMoment m;
    m.Date = static_cast<TDateTime>(date);
    m.Time = static_cast<TDateTime>(run) / static_cast<TDateTime>(kMSecsPerDay);
    DecodeDate(m.Date, m.Year, m.Month, m.Day);
    m.Hour = static_cast<int>(run / 3'600'000);
    m.Minute = static_cast<int>(run / kMSecsPerMinute % 60);
    m.Second = static_cast<int>(run / 1000 % 60);
    return m;
}

std::uint32_t DaysOfMonthMask(int day) {
    if (day < 1 || day > 31) return 0;
    return std::uint32_t{1} << (day - 1);
}

ReminderProgramme PickProgramme(const TChannel* channel, TDateTime showTime, const FormatSettings& format) {
    const int running = channel ? channel->FindCurrent(showTime) : -1;
    if (running < 0) throw Error("List index out of bounds (-1)");
    const std::string& line = channel->Lines[static_cast<std::size_t>(running)];
    const TDateTime t = StrToTime(std::string_view(line).substr(0, 5), channel->TimeSeparator);
    const int entry = channel->FindCurrent(t);
    if (entry < 0) throw Error("List index out of bounds (-1)");
    const std::string& picked = channel->Lines[static_cast<std::size_t>(entry)];
    ReminderProgramme p;
    p.Title = picked.size() > 6 ? picked.substr(6, 255) : std::string();
    p.Time = t;
    p.TimeText = FormatTime(t, format);
    p.Channel = channel->Desc;
    return p;
}

std::string ReminderMessage(std::string_view title, std::string_view timeText, std::string_view channel,
                            std::string_view messageTemplate) {
    std::string m = ReplaceAll(messageTemplate, "*NAME", QuotesToApostrophes(title));
    m = ReplaceAll(m, "*TIME", timeText);
    return ReplaceAll(m, "*CHANEL", QuotesToApostrophes(channel));
}

std::string ExpandReminderMacros(std::string_view title, std::string_view timeText, std::string_view channel,
                                 std::string_view messageTemplate, std::string_view runLine) {
    std::vector<Piece> pieces{{std::string(runLine), true}};
    ReplaceInTemplate(pieces, "*MESSAGE", ShellQuote(ReminderMessage(title, timeText, channel, messageTemplate)));
    ReplaceInTemplate(pieces, "*NAME", ShellQuote(QuotesToApostrophes(title)));
    ReplaceInTemplate(pieces, "*TIME", ShellQuote(timeText));
    ReplaceInTemplate(pieces, "*CHANEL", ShellQuote(QuotesToApostrophes(channel)));
    std::string out;
    for (const auto& piece : pieces) out += piece.Text;
    return out;
}

std::string GetRunLine(bool runMe, bool nt40Scheduler, std::string_view externalCommandLine,
                       std::string_view programPath) {
    if (!runMe) return std::string(externalCommandLine);
    if (nt40Scheduler) {
        // The path is part of the template that the tokens are searched in:
        // every "*" stands outside the quotes, escaped, so that no token can
        // appear inside the quoted path.
        return ReplaceAll(ShellQuote(programPath), "*", "'\\*'") + " *MESSAGE *TIME *CHANEL";
    }
    return "*MESSAGE *TIME *CHANEL";
}

std::string GetRunLine(const Config& config, std::string_view programPath) {
    return GetRunLine(config.RunMe(), config.NT40Scheduler(), config.ExternalCommandLine(), programPath);
}

std::string ReminderPrompt(const ReminderProgramme& p) {
    // "Добавить в расписание программу <" ... ">, идущую в " ... " по каналу " ... "?"
    return "\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC \xE2 \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5 "
           "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xF3 <" +
           p.Title + ">, \xE8\xE4\xF3\xF9\xF3\xFE \xE2 " + p.TimeText + " \xEF\xEE \xEA\xE0\xED\xE0\xEB\xF3 " +
           p.Channel + "?";
}

}  // namespace orbisk
