#include "app/config/config.h"

#include <algorithm>
#include <unordered_map>

#include "base/codepage.h"
#include "base/strings.h"

namespace orbisk {

namespace {

constexpr char kMain[] = "MAIN";
constexpr char kDays[] = "DAYS";
constexpr char kMonths[] = "MONTHS";
constexpr char kMsg[] = "MSG";
constexpr char kSchedule[] = "Schedule";
constexpr char kKludges[] = "Kludges";
constexpr char kFilmGrid[] = "FilmGrid";

constexpr char kDefaultFirstCaptionRow[] = "======";
constexpr char kDefaultLastCaptionRow[] = "-----------------";
constexpr char kDefaultLastDayRow[] = "--=tobra-attach";
constexpr char kDefaultTimeFormat[] = "HH.MM";
constexpr char kDefaultKludge[] = "SEEN-BY";
// "Врубай телек! В *TIME будет идти *NAME по *CHANEL!"
constexpr char kDefaultScheduleMessage[] =
    "\xC2\xF0\xF3\xE1\xE0\xE9 \xF2\xE5\xEB\xE5\xEA! \xC2 *TIME \xE1\xF3\xE4\xE5\xF2 \xE8\xE4\xF2\xE8 *NAME "
    "\xEF\xEE *CHANEL!";

std::string ColumnKey(int i) { return "Column" + std::to_string(i); }

}  // namespace

Config::Config(const std::string& iniPath)
    : ini_(iniPath),
      firstCaptionRow_(kDefaultFirstCaptionRow),
      lastCaptionRow_(kDefaultLastCaptionRow),
      lastDayRow_(kDefaultLastDayRow),
      timeFormat_(kDefaultTimeFormat),
      scheduleMessage_(kDefaultScheduleMessage) {
    format_.shortDateFormat = "dd MMMM, DDDD";
}

bool Config::LoadConfig(ConfigPrompts& prompts) {
    fidoPath_ = ini_.ReadString(kMain, "FIDOPath", "");
    enableWarning_ = ini_.ReadBool(kMain, "EnableWarning", true);
    jtvGuidePath_ = ini_.ReadString(kMain, "JTVGuidePath", "");

    for (int i = 1; i <= TDays::size(); ++i) days_[i] = ini_.ReadString(kDays, std::to_string(i), "");
    for (int i = 1; i <= TMonths::size(); ++i) months_[i] = ini_.ReadString(kMonths, std::to_string(i), "");

    delFromBegin_ = ini_.ReadInteger(kMsg, "DelFromBegin", 5);
    ini_.WriteInteger(kMsg, "DelFromBegin", delFromBegin_);
    delFromEnd_ = ini_.ReadInteger(kMsg, "DelFromEnd", 2);
    ini_.WriteInteger(kMsg, "DelFromEnd", delFromEnd_);
    firstCaptionRow_ = ini_.ReadString(kMsg, "FirstCaptionRow", kDefaultFirstCaptionRow);
    lastCaptionRow_ = ini_.ReadString(kMsg, "LastCaptionRow", kDefaultLastCaptionRow);
    lastDayRow_ = ini_.ReadString(kMsg, "LastDayRow", kDefaultLastDayRow);
    timeFormat_ = ini_.ReadString(kMsg, "TimeFormat", kDefaultTimeFormat);

    externalCommandLine_ = ini_.ReadString(kSchedule, "ExternalCommandLine", "");
    runMe_ = ini_.ReadInteger(kSchedule, "RunMe", 1) != 0;
    scheduleMessage_ = ini_.ReadString(kSchedule, "Message", kDefaultScheduleMessage);
    timeShift_ = ini_.ReadInteger(kSchedule, "TimeShift", 15);
    nt40Scheduler_ = ini_.ReadBool(kSchedule, "NT40Scheduler", false);

    ReadKludges();

    if (fidoPath_.empty() || days_.AnyEmpty() || months_.AnyEmpty()) {
        if (prompts.EditMessageBase(*this)) {
            ini_.WriteString(kMain, "FIDOPath", fidoPath_);
            for (int i = 1; i <= TDays::size(); ++i) ini_.WriteString(kDays, std::to_string(i), days_[i]);
            for (int i = 1; i <= TMonths::size(); ++i) ini_.WriteString(kMonths, std::to_string(i), months_[i]);
        }
    }

    for (int i = 0; i < 4; ++i)
        filmGridColumns_[static_cast<std::size_t>(i)] =
            ini_.ReadInteger(kFilmGrid, ColumnKey(i), kDefaultFilmGridColumns[static_cast<std::size_t>(i)]);

    bool complete = !firstCaptionRow_.empty() && !lastCaptionRow_.empty() && !lastDayRow_.empty() &&
                    !timeFormat_.empty();
    bool result = complete || prompts.EditMessageParams(*this);

    if (result) {
        format_.longTimeFormat = timeFormat_;
        // A format made only of H and M letters leaves the separator as it was.
        std::string rest = ReplaceAll(ReplaceAll(AnsiUpper(timeFormat_), "H", ""), "M", "");
        if (!rest.empty()) format_.timeSeparator = rest[0];
    }
    return result;
}

void Config::ReadKludges() {
    kludges_.clear();
    const std::int32_t count = ini_.ReadInteger(kKludges, "Count", 0);
    if (count <= 0) return;
    std::unordered_map<std::string, std::string> byNumber;
    std::int32_t highest = 0;
    for (auto& [key, value] : ini_.ReadSectionValues(kKludges)) {
        std::int32_t n;
        if (!TryStrToInt(key, n) || n < 1 || std::to_string(n) != key) continue;
        highest = std::max(highest, n);
        byNumber.emplace(key, std::move(value));
    }
    // Past the highest key present every entry is the default; a huge Count
    // must not fill memory with copies that filter nothing more.
    const std::int32_t last = std::min(count, std::max(highest, kMaxDefaultKludges));
    for (std::int32_t n = 1; n <= last; ++n) {
        auto it = byNumber.find(std::to_string(n));
        kludges_.push_back(it != byNumber.end() ? it->second : kDefaultKludge);
    }
}

void Config::SetGlobalDateParams() {
    format_.longDayNames = days_;
    format_.longMonthNames = months_;
}

std::vector<std::string> Config::MissingSettings() const {
    std::vector<std::string> missing;
    if (fidoPath_.empty()) missing.push_back("MAIN/FIDOPath");
    for (int i = 1; i <= TDays::size(); ++i)
        if (days_[i].empty()) missing.push_back("DAYS/" + std::to_string(i));
    for (int i = 1; i <= TMonths::size(); ++i)
        if (months_[i].empty()) missing.push_back("MONTHS/" + std::to_string(i));
    if (firstCaptionRow_.empty()) missing.push_back("MSG/FirstCaptionRow");
    if (lastCaptionRow_.empty()) missing.push_back("MSG/LastCaptionRow");
    if (lastDayRow_.empty()) missing.push_back("MSG/LastDayRow");
    if (timeFormat_.empty()) missing.push_back("MSG/TimeFormat");
    return missing;
}

bool Config::MessageActionsEnabled() const { return !fidoPath_.empty() && fidoPath_[0] != 'I'; }

void Config::SetEnableWarning(bool value) {
    ini_.WriteBool(kMain, "EnableWarning", value);
    enableWarning_ = value;
}

void Config::SetFIDOPath(const std::string& identifier) {
    ini_.WriteString(kMain, "FIDOPath", identifier);
    fidoPath_ = identifier;
}

void Config::SetJTVGuidePath(const std::string& folder) {
    if (folder == jtvGuidePath_) return;
    ini_.WriteString(kMain, "JTVGuidePath", folder);
    jtvGuidePath_ = folder;
}

void Config::SetDelFromBegin(int value) {
    ini_.WriteInteger(kMsg, "DelFromBegin", value);
    delFromBegin_ = value;
}

void Config::SetDelFromEnd(int value) {
    ini_.WriteInteger(kMsg, "DelFromEnd", value);
    delFromEnd_ = value;
}

void Config::SetFirstCaptionRow(const std::string& value) {
    ini_.WriteString(kMsg, "FirstCaptionRow", value);
    firstCaptionRow_ = value;
}

void Config::SetLastCaptionRow(const std::string& value) {
    ini_.WriteString(kMsg, "LastCaptionRow", value);
    lastCaptionRow_ = value;
}

void Config::SetLastDayRow(const std::string& value) {
    ini_.WriteString(kMsg, "LastDayRow", value);
    lastDayRow_ = value;
}

void Config::SetTimeFormat(const std::string& value) {
    ini_.WriteString(kMsg, "TimeFormat", AnsiUpper(value));
    timeFormat_ = value;
}

void Config::SetTimeShift(int minutes) {
    ini_.WriteInteger(kSchedule, "TimeShift", minutes);
    timeShift_ = minutes;
}

void Config::SetScheduleMessage(const std::string& message) {
    ini_.WriteString(kSchedule, "Message", message);
    scheduleMessage_ = message;
}

void Config::SetRunMe(bool value) {
    ini_.WriteInteger(kSchedule, "RunMe", value ? 1 : 0);
    runMe_ = value;
}

void Config::SetExternalCommandLine(const std::string& commandLine) {
    ini_.WriteString(kSchedule, "ExternalCommandLine", commandLine);
    externalCommandLine_ = commandLine;
}

void Config::SetFilmGridColumns(const std::array<int, 4>& widths) {
    for (int i = 0; i < 4; ++i) ini_.WriteInteger(kFilmGrid, ColumnKey(i), widths[static_cast<std::size_t>(i)]);
    filmGridColumns_ = widths;
}

}  // namespace orbisk
