#pragma once
// The settings of Orbisk.ini held in memory. loadConfig reads them all; each
// setting the user edits has a setter that writes its key at once and then
// updates the copy here — there is no separate save step.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/inifile.h"
#include "base/names.h"

namespace orbisk {

// The caption of the program's own boxes and of its error lines.
inline constexpr const char* kAppTitle = "Орбиск"_cp1251;

// ---- Where the settings live -------------------------------------------------
//
// The desktop program and orbisk-cli look in the same places, in this order:
// the file ORBISK_INI names; Orbisk.ini beside the executable (a portable
// copy, as on Windows); the per-user file. Only the per-user file is ever
// made by the program, from the template installed with it.

inline constexpr char kConfigFileName[] = "Orbisk.ini";
inline constexpr char kIniEnvironment[] = "ORBISK_INI";
inline constexpr const char* kConfigMissingText = "Не обнаружен файл \"Orbisk.ini\". Продолжение не возможно"_cp1251;

// The running program's folder, from /proc/self/exe ("." when unknown): the
// portable settings file and the task library sit beside the program.
std::string programFolder();
// Orbisk.ini in the running program's folder, found through /proc/self/exe
// ("./Orbisk.ini" when that link can't be read); a file-system path.
std::string defaultConfigPath();
// $XDG_CONFIG_HOME/orbisk/Orbisk.ini, or $HOME/.config/orbisk/Orbisk.ini
// when XDG_CONFIG_HOME is unset or not absolute; empty when neither gives
// an absolute folder.
std::string userConfigPath();
// The template a new per-user file is copied from:
// <prefix>/share/orbisk/Orbisk.ini for a program in <prefix>/bin.
std::string configTemplatePath();

struct ConfigLookup {
    // The file found; when none was, where a new one belongs (the per-user
    // file), or empty when it may not be made.
    std::string path;
    bool found = false;
    // Every place looked at, in order.
    std::vector<std::string> searched;
    // Not found, and `path` is the per-user file to make from the template.
    bool mayCreate() const { return !found && !path.empty(); }
};

// The look-up above. A non-empty `named` (orbisk-cli --ini) is the one
// place looked at, and so is ORBISK_INI when set: a file named on purpose
// is never replaced by another one.
ConfigLookup findConfigFile(const std::string& named = {});
// findConfigFile().path, or where the desktop program would look first.
std::string configFilePath();
// Whether `path` is a settings file: a regular file, as Config::fileExists
// asks (a folder of that name counts as missing).
bool configFileExists(const std::string& path);
// kConfigMissingText followed by the places looked at, one a line, in the
// file system's text converted to 1251.
std::string configMissingText(const ConfigLookup& lookup);
// Copies the template to `path`, making its folders (private to the user);
// the file is readable by its owner only. Throws Error naming what failed
// (no template, a folder or file that cannot be made). An existing file is
// left as it is.
void createConfigFromTemplate(const std::string& templatePath, const std::string& path);

class Config;

// The dialogs that loadConfig opens when settings are missing. The desktop
// program shows them; the command-line tool fails, naming missingSettings().
class ConfigPrompts {
public:
    virtual ~ConfigPrompts() = default;
    // The message-base dialog, preset with config.fidoPath(). On confirm it
    // stores the new identifier with config.setFidoPath and returns true.
    virtual bool editMessageBase(Config& config) = 0;
    // The message-parameters dialog. On confirm it stores the six values
    // with the MSG setters (in the order setDelFromBegin ... setTimeFormat)
    // and returns true.
    virtual bool editMessageParams(Config& config) = 0;
};

class Config {
public:
    static constexpr std::array<int, 4> kDefaultFilmGridColumns{50, 300, 100, 200};

    // Opens (does not read) the configuration file at the given path.
    explicit Config(const std::string& iniPath);
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    IniFile& ini() { return ini_; }
    const IniFile& ini() const { return ini_; }
    // False: the caller shows kConfigMissingText and stops.
    bool fileExists() const { return ini_.exists(); }

    // Reads every setting; asks `prompts` for the missing ones. Result: the
    // message parameters are complete (or their dialog was confirmed); only
    // then are the time format and separator taken from timeFormat.
    // delFromBegin and delFromEnd are written back as read; a file that
    // cannot be written throws Error("Unable to write to <path>") only when
    // it lacks one of them.
    bool loadConfig(ConfigPrompts& prompts);
    // Makes the configured day and month names the ones DDDD and MMMM print.
    void setGlobalDateParams();

    // The first-run settings that are empty now, as "SECTION/Key": MAIN/fidoPath,
    // DAYS/1..7, MONTHS/1..12 (these open the message-base dialog) and
    // MSG/firstCaptionRow, lastCaptionRow, lastDayRow, timeFormat (these open
    // the message-parameters dialog). Empty when nothing is missing.
    std::vector<std::string> missingSettings() const;
    // The message actions (delete old messages, message parameters) make sense
    // only for a message base: false for text files ("I") and also while no
    // identifier is set at all.
    bool messageActionsEnabled() const;

    // MAIN
    const std::string& fidoPath() const { return fidoPath_; }
    bool enableWarning() const { return enableWarning_; }
    const std::string& jtvGuidePath() const { return jtvGuidePath_; }
    // DAYS, MONTHS
    const DayNames& days() const { return days_; }
    const MonthNames& months() const { return months_; }
    // MSG
    int delFromBegin() const { return delFromBegin_; }
    int delFromEnd() const { return delFromEnd_; }
    const std::string& firstCaptionRow() const { return firstCaptionRow_; }
    const std::string& lastCaptionRow() const { return lastCaptionRow_; }
    const std::string& lastDayRow() const { return lastDayRow_; }
    const std::string& timeFormat() const { return timeFormat_; }
    // Schedule
    const std::string& externalCommandLine() const { return externalCommandLine_; }
    bool runMe() const { return runMe_; }
    const std::string& scheduleMessage() const { return scheduleMessage_; }
    int timeShift() const { return timeShift_; }
    bool nt40Scheduler() const { return nt40Scheduler_; }
    // Kludges: the kludge prefix list.
    const std::vector<std::string>& kludges() const { return kludges_; }
    // FilmGrid
    const std::array<int, 4>& filmGridColumns() const { return filmGridColumns_; }
    // Whether the file holds any FilmGrid width: false on a first start,
    // when the window fits the columns to what it shows instead.
    bool filmGridColumnsStored() const { return filmGridColumnsStored_; }
    // Day/month names, date and time formats, time separator.
    const FormatSettings& format() const { return format_; }

    // Each setter writes its key at once, then keeps the value; when the
    // write fails (Error) the value in memory stays as it was.
    void setEnableWarning(bool value);
    void setFidoPath(const std::string& identifier);
    // Does nothing when the folder equals the one held.
    void setJtvGuidePath(const std::string& folder);
    void setDelFromBegin(int value);
    void setDelFromEnd(int value);
    void setFirstCaptionRow(const std::string& value);
    void setLastCaptionRow(const std::string& value);
    void setLastDayRow(const std::string& value);
    // Writes the text upper-cased and keeps it as typed.
    void setTimeFormat(const std::string& value);
    void setTimeShift(int minutes);
    void setScheduleMessage(const std::string& message);
    void setRunMe(bool value);  // written as 1 or 0
    // The run line the user edited in the schedule settings, used while
    // runMe is 0.
    void setExternalCommandLine(const std::string& commandLine);
    // Written when the main window closes: FilmGrid/Column0..3.
    void setFilmGridColumns(const std::array<int, 4>& widths);

    // Kludges/1..Count are read exactly; beyond the highest key present the
    // default entries stop at this number (they would only repeat "SEEN-BY").
    static constexpr std::int32_t kMaxDefaultKludges = 4096;

private:
    void readKludges();
    void writeBackInteger(const char* section, const char* key, int value);

    IniFile ini_;

    std::string fidoPath_;
    bool enableWarning_ = true;
    std::string jtvGuidePath_;
    DayNames days_;
    MonthNames months_;
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
    bool filmGridColumnsStored_ = false;
    FormatSettings format_;
};

}  // namespace orbisk
