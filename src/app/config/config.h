#pragma once
// The settings of Orbisk.ini held in memory. LoadConfig reads them all; each
// setting the user edits has a setter that writes its key at once and then
// updates the copy here — there is no separate save step.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/inifile.h"
#include "base/names.h"

namespace orbisk {

inline constexpr char kConfigFileName[] = "Orbisk.ini";
// "Не обнаружен файл "Orbisk.ini". Продолжение не возможно"
inline constexpr char kConfigMissingText[] =
    "\xCD\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED \xF4\xE0\xE9\xEB \"Orbisk.ini\". "
    "\xCF\xF0\xEE\xE4\xEE\xEB\xE6\xE5\xED\xE8\xE5 \xED\xE5 \xE2\xEE\xE7\xEC\xEE\xE6\xED\xEE";

class Config;

// The dialogs that LoadConfig opens when settings are missing. The desktop
// program shows them; the command-line tool fails, naming MissingSettings().
class ConfigPrompts {
public:
    virtual ~ConfigPrompts() = default;
    // The message-base dialog, preset with config.FIDOPath(). On confirm it
    // stores the new identifier with config.SetFIDOPath and returns true.
    virtual bool EditMessageBase(Config& config) = 0;
    // The message-parameters dialog. On confirm it stores the six values
    // with the MSG setters (in the order SetDelFromBegin ... SetTimeFormat)
    // and returns true.
    virtual bool EditMessageParams(Config& config) = 0;
};

class Config {
public:
    static constexpr std::array<int, 4> kDefaultFilmGridColumns{50, 300, 100, 200};

    // Opens (does not read) the configuration file at the given path.
    explicit Config(const std::string& iniPath);
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    IniFile& Ini() { return ini_; }
    const IniFile& Ini() const { return ini_; }
    // False: the caller shows kConfigMissingText and stops.
    bool FileExists() const { return ini_.Exists(); }

    // Reads every setting; asks `prompts` for the missing ones. Result: the
    // message parameters are complete (or their dialog was confirmed); only
    // then are the time format and separator taken from TimeFormat.
    // Throws Error("Unable to write to <path>") when the file is read-only
    // (DelFromBegin and DelFromEnd are written back at once).
    bool LoadConfig(ConfigPrompts& prompts);
    // Makes the configured day and month names the ones DDDD and MMMM print.
    void SetGlobalDateParams();

    // The first-run settings that are empty now, as "SECTION/Key": MAIN/FIDOPath,
    // DAYS/1..7, MONTHS/1..12 (these open the message-base dialog) and
    // MSG/FirstCaptionRow, LastCaptionRow, LastDayRow, TimeFormat (these open
    // the message-parameters dialog). Empty when nothing is missing.
    std::vector<std::string> MissingSettings() const;
    // The message actions (delete old messages, message parameters) make sense
    // only for a message base: false for text files ("I") and also while no
    // identifier is set at all.
    bool MessageActionsEnabled() const;

    // MAIN
    const std::string& FIDOPath() const { return fidoPath_; }
    bool EnableWarning() const { return enableWarning_; }
    const std::string& JTVGuidePath() const { return jtvGuidePath_; }
    // DAYS, MONTHS
    const TDays& Days() const { return days_; }
    const TMonths& Months() const { return months_; }
    // MSG
    int DelFromBegin() const { return delFromBegin_; }
    int DelFromEnd() const { return delFromEnd_; }
    const std::string& FirstCaptionRow() const { return firstCaptionRow_; }
    const std::string& LastCaptionRow() const { return lastCaptionRow_; }
    const std::string& LastDayRow() const { return lastDayRow_; }
    const std::string& TimeFormat() const { return timeFormat_; }
    // Schedule
    const std::string& ExternalCommandLine() const { return externalCommandLine_; }
    bool RunMe() const { return runMe_; }
    const std::string& ScheduleMessage() const { return scheduleMessage_; }
    int TimeShift() const { return timeShift_; }
    bool NT40Scheduler() const { return nt40Scheduler_; }
    // Kludges: the kludge prefix list.
    const std::vector<std::string>& Kludges() const { return kludges_; }
    // FilmGrid
    const std::array<int, 4>& FilmGridColumns() const { return filmGridColumns_; }
    // Day/month names, date and time formats, time separator.
    const FormatSettings& Format() const { return format_; }

    // Each setter writes its key at once, then keeps the value; when the
    // write fails (Error) the value in memory stays as it was.
    void SetEnableWarning(bool value);
    void SetFIDOPath(const std::string& identifier);
    // Does nothing when the folder equals the one held.
    void SetJTVGuidePath(const std::string& folder);
    void SetDelFromBegin(int value);
    void SetDelFromEnd(int value);
    void SetFirstCaptionRow(const std::string& value);
    void SetLastCaptionRow(const std::string& value);
    void SetLastDayRow(const std::string& value);
    // Writes the text upper-cased and keeps it as typed.
    void SetTimeFormat(const std::string& value);
    void SetTimeShift(int minutes);
    void SetScheduleMessage(const std::string& message);
    void SetRunMe(bool value);  // written as 1 or 0
    // The run line the user edited in the schedule settings, used while
    // RunMe is 0.
    void SetExternalCommandLine(const std::string& commandLine);
    // Written when the main window closes: FilmGrid/Column0..3.
    void SetFilmGridColumns(const std::array<int, 4>& widths);

    // Kludges/1..Count are read exactly; beyond the highest key present the
    // default entries stop at this number (they would only repeat "SEEN-BY").
    static constexpr std::int32_t kMaxDefaultKludges = 4096;

private:
    void ReadKludges();

    IniFile ini_;

    std::string fidoPath_;
    bool enableWarning_ = true;
    std::string jtvGuidePath_;
    TDays days_;
    TMonths months_;
    int delFromBegin_ = 5;
    int delFromEnd_ = 2;
    std::string firstCaptionRow_;
    std::string lastCaptionRow_;
    std::string lastDayRow_;
    std::string timeFormat_;
    std::string externalCommandLine_;
    bool runMe_ = true;
    std::string scheduleMessage_;
    int timeShift_ = 15;
    bool nt40Scheduler_ = false;
    std::vector<std::string> kludges_;
    std::array<int, 4> filmGridColumns_ = kDefaultFilmGridColumns;
    FormatSettings format_;
};

}  // namespace orbisk
