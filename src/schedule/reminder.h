#pragma once
// The rules of a reminder: which programme, when the job runs, the message
// and the command line built from the Schedule settings.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/names.h"

namespace orbisk {

class Config;
class Channel;

inline constexpr char kInvalidTimeEncodeText[] = "Invalid argument to time encode";

// When the job runs: the date and the time of day, split.
struct RunMoment {
    DateTime date = 0;
    DateTime time = 0;  // 0 <= Time < 1
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// The job for a programme at time of day `t` on the listing day `shownDate`
// with `lead` minutes of warning. A programme before 06:00 runs after the
// midnight of the listing day; a lead that passes midnight moves to the day
// before. `lead` outside 0..59 throws Error(kInvalidTimeEncodeText).
RunMoment reminderRunTime(DateTime shownDate, DateTime t, int lead);

// The daysOfMonth mask of a day of the month: bit 0 for the 1st ... bit 30
// for the 31st; 0 outside 1..31.
std::uint32_t daysOfMonthMask(int day);

// The programme a reminder is for.
struct ReminderProgramme {
    std::string title;     // the line from its seventh character, at most 255
    std::string timeText;  // its start in the program's time format
    std::string channel;   // the channel's display name
    DateTime time = 0;    // its start, a time of day
};

// The programme running at `showTime` on `channel` (null: no channel shown),
// taken from the start of its own line. Nothing running throws
// Error("List index out of bounds (-1)"); an unreadable time text throws
// its conversion error.
ReminderProgramme pickProgramme(const Channel* channel, DateTime showTime, const FormatSettings& format);

// The reminder text: in `messageTemplate`, "*NAME" becomes the title,
// then "*TIME" the time text, then "*CHANEL" the channel name, double quotes
// of title and channel turned into apostrophes (each step sees what the one
// before put in, as replaceAll does).
std::string reminderMessage(std::string_view title, std::string_view timeText, std::string_view channel,
                            std::string_view messageTemplate);

// The command line: in `runLine`, "*MESSAGE" becomes the reminder text,
// then "*NAME", "*TIME" and "*CHANEL" the title, time text and channel name
// (double quotes again apostrophes). The user writes the run line for the
// shell, so each value is written for the quoting its token stands in: bare,
// inside "…" or '…', next to other text, after a backslash, inside "$(…)" or
// backquotes, or in a comment. The shell then reads exactly the value,
// whatever it holds; a bare token gives one word. Only the run line's own
// text is searched for tokens: nothing a value puts in is replaced again.
std::string expandReminderMacros(std::string_view title, std::string_view timeText, std::string_view channel,
                                 std::string_view messageTemplate, std::string_view runLine);

// The run line the settings choose: externalCommandLine while runMe is off;
// else "*MESSAGE *TIME *CHANEL", after the quoted program path for the
// network back-end. That is the line the settings dialog shows; the jobs
// themselves get the path apart, in file-system bytes (ReminderPlan).
std::string getRunLine(const Config& config, std::string_view programPath);
std::string getRunLine(bool runMe, bool nt40Scheduler, std::string_view externalCommandLine,
                       std::string_view programPath);

// "Добавить в расписание программу <Title>, идущую в <time> по каналу <channel>?"
std::string reminderPrompt(const ReminderProgramme& programme);

}  // namespace orbisk
