#include "config/config.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unordered_map>

#include <sys/stat.h>

#include "base/codepage.h"
#include "base/error.h"
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
constexpr const char* kDefaultScheduleMessage = "Врубай телек! В *TIME будет идти *NAME по *CHANEL!"_cp1251;

std::string columnKey(int i) {
    return "Column" + std::to_string(i);
}

}  // namespace

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string defaultConfigPath() {
    return (std::filesystem::path(programFolder()) / kConfigFileName).string();
}

std::string userConfigPath() {
    namespace fs = std::filesystem;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !fs::path(home).is_absolute()) return {};
        base = fs::path(home) / ".config";
    }
    return (base / "orbisk" / kConfigFileName).string();
}

std::string configTemplatePath() {
    return (std::filesystem::path(programFolder()).parent_path() / "share" / "orbisk" / kConfigFileName).string();
}

ConfigLookup findConfigFile(const std::string& named) {
    ConfigLookup lookup;
    const char* env = std::getenv(kIniEnvironment);
    const std::string chosen = !named.empty() ? named : (env && *env ? std::string(env) : std::string());
    if (!chosen.empty()) {
        lookup.searched.push_back(chosen);
        lookup.found = configFileExists(chosen);
        if (lookup.found) lookup.path = chosen;
        return lookup;
    }
    for (const std::string& place : {defaultConfigPath(), userConfigPath()}) {
        if (place.empty()) continue;
        lookup.searched.push_back(place);
        if (configFileExists(place)) {
            lookup.path = place;
            lookup.found = true;
            return lookup;
        }
    }
    lookup.path = userConfigPath();
    return lookup;
}

std::string configFilePath() {
    const ConfigLookup lookup = findConfigFile();
    return lookup.path.empty() ? lookup.searched.front() : lookup.path;
}

bool configFileExists(const std::string& path) {
    return IniFile(path).exists();
}

std::string configMissingText(const ConfigLookup& lookup) {
    std::string text = kConfigMissingText;
    text += lookup.searched.size() == 1 ? "\nИскали здесь:"_cp1251 : "\nИскали в этих местах:"_cp1251;
    for (const std::string& place : lookup.searched) text += "\n" + fileNameToAnsi(place);
    return text;
}

void createConfigFromTemplate(const std::string& templatePath, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (configFileExists(path)) return;
    if (!fs::is_regular_file(templatePath, ec))
        throw Error("Не найден образец настроек "_cp1251 + fileNameToAnsi(templatePath));
    // The settings hold the paths of the user's files: the copy and its
    // folder are the user's alone, from the moment they exist.
    const fs::path folder = fs::path(path).parent_path();
    const mode_t old = ::umask(077);
    fs::create_directories(folder, ec);
    fs::copy_file(templatePath, path, fs::copy_options::none, ec);
    ::umask(old);
    if (!fs::is_directory(folder)) throw Error("Unable to write to " + fileNameToAnsi(folder.string()));
    if (ec && !configFileExists(path)) throw Error("Unable to write to " + fileNameToAnsi(path));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, ec);
}

Config::Config(const std::string& iniPath)
    : ini_(iniPath),
      firstCaptionRow_(kDefaultFirstCaptionRow),
      lastCaptionRow_(kDefaultLastCaptionRow),
      lastDayRow_(kDefaultLastDayRow),
      timeFormat_(kDefaultTimeFormat),
      scheduleMessage_(kDefaultScheduleMessage) {
    format_.shortDateFormat = "dd MMMM, DDDD";
}

bool Config::loadConfig(ConfigPrompts& prompts) {
    fidoPath_ = ini_.readString(kMain, "FIDOPath", "");
    enableWarning_ = ini_.readBool(kMain, "EnableWarning", true);
    jtvGuidePath_ = ini_.readString(kMain, "JTVGuidePath", "");

    for (int i = 1; i <= DayNames::size(); ++i) days_[i] = ini_.readString(kDays, std::to_string(i), "");
    for (int i = 1; i <= MonthNames::size(); ++i) months_[i] = ini_.readString(kMonths, std::to_string(i), "");

    delFromBegin_ = ini_.readInteger(kMsg, "DelFromBegin", 5);
    writeBackInteger(kMsg, "DelFromBegin", delFromBegin_);
    delFromEnd_ = ini_.readInteger(kMsg, "DelFromEnd", 2);
    writeBackInteger(kMsg, "DelFromEnd", delFromEnd_);
    firstCaptionRow_ = ini_.readString(kMsg, "FirstCaptionRow", kDefaultFirstCaptionRow);
    lastCaptionRow_ = ini_.readString(kMsg, "LastCaptionRow", kDefaultLastCaptionRow);
    lastDayRow_ = ini_.readString(kMsg, "LastDayRow", kDefaultLastDayRow);
    timeFormat_ = ini_.readString(kMsg, "TimeFormat", kDefaultTimeFormat);

    externalCommandLine_ = ini_.readString(kSchedule, "ExternalCommandLine", "");
    runMe_ = ini_.readInteger(kSchedule, "RunMe", 1) != 0;
    scheduleMessage_ = ini_.readString(kSchedule, "Message", kDefaultScheduleMessage);
    timeShift_ = ini_.readInteger(kSchedule, "TimeShift", 15);
    nt40Scheduler_ = ini_.readBool(kSchedule, "NT40Scheduler", false);

    readKludges();

    if (fidoPath_.empty() || days_.anyEmpty() || months_.anyEmpty()) {
        if (prompts.editMessageBase(*this)) {
            ini_.writeString(kMain, "FIDOPath", fidoPath_);
            for (int i = 1; i <= DayNames::size(); ++i) ini_.writeString(kDays, std::to_string(i), days_[i]);
            for (int i = 1; i <= MonthNames::size(); ++i) ini_.writeString(kMonths, std::to_string(i), months_[i]);
        }
    }

    filmGridColumnsStored_ = false;
    for (int i = 0; i < 4; ++i) {
        filmGridColumns_[static_cast<std::size_t>(i)] =
            ini_.readInteger(kFilmGrid, columnKey(i), kDefaultFilmGridColumns[static_cast<std::size_t>(i)]);
        filmGridColumnsStored_ = filmGridColumnsStored_ || ini_.valueExists(kFilmGrid, columnKey(i));
    }

    bool complete =
        !firstCaptionRow_.empty() && !lastCaptionRow_.empty() && !lastDayRow_.empty() && !timeFormat_.empty();
    bool result = complete || prompts.editMessageParams(*this);

    if (result) {
        format_.longTimeFormat = timeFormat_;
        // A format made only of H and M letters leaves the separator as it was.
        std::string rest = replaceAll(replaceAll(ansiUpper(timeFormat_), "H", ""), "M", "");
        if (!rest.empty()) format_.timeSeparator = rest[0];
    }
    return result;
}

void Config::writeBackInteger(const char* section, const char* key, int value) {
    // The value read is written back so that the file shows what is used;
    // a file that cannot be written but already holds the key still serves
    // everything that only reads it.
    try {
        ini_.writeInteger(section, key, value);
    } catch (const Error&) {
        if (!ini_.valueExists(section, key)) throw;
    }
}

void Config::readKludges() {
    kludges_.clear();
    const std::int32_t count = ini_.readInteger(kKludges, "Count", 0);
    if (count <= 0) return;
    std::unordered_map<std::string, std::string> byNumber;
    std::int32_t highest = 0;
    for (auto& [key, value] : ini_.readSectionValues(kKludges)) {
        std::int32_t n;
        if (!tryStrToInt(key, n) || n < 1 || std::to_string(n) != key) continue;
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

void Config::setGlobalDateParams() {
    format_.longDayNames = days_;
    format_.longMonthNames = months_;
}

std::vector<std::string> Config::missingSettings() const {
    std::vector<std::string> missing;
    if (fidoPath_.empty()) missing.push_back("MAIN/FIDOPath");
    for (int i = 1; i <= DayNames::size(); ++i)
        if (days_[i].empty()) missing.push_back("DAYS/" + std::to_string(i));
    for (int i = 1; i <= MonthNames::size(); ++i)
        if (months_[i].empty()) missing.push_back("MONTHS/" + std::to_string(i));
    if (firstCaptionRow_.empty()) missing.push_back("MSG/FirstCaptionRow");
    if (lastCaptionRow_.empty()) missing.push_back("MSG/LastCaptionRow");
    if (lastDayRow_.empty()) missing.push_back("MSG/LastDayRow");
    if (timeFormat_.empty()) missing.push_back("MSG/TimeFormat");
    return missing;
}

bool Config::messageActionsEnabled() const {
    return !fidoPath_.empty() && fidoPath_[0] != 'I' && fidoPath_[0] != 'X';
}

void Config::setEnableWarning(bool value) {
    ini_.writeBool(kMain, "EnableWarning", value);
    enableWarning_ = value;
}

void Config::setFidoPath(const std::string& identifier) {
    ini_.writeString(kMain, "FIDOPath", identifier);
    fidoPath_ = identifier;
}

void Config::setJtvGuidePath(const std::string& folder) {
    if (folder == jtvGuidePath_) return;
    ini_.writeString(kMain, "JTVGuidePath", folder);
    jtvGuidePath_ = folder;
}

void Config::setDelFromBegin(int value) {
    ini_.writeInteger(kMsg, "DelFromBegin", value);
    delFromBegin_ = value;
}

void Config::setDelFromEnd(int value) {
    ini_.writeInteger(kMsg, "DelFromEnd", value);
    delFromEnd_ = value;
}

void Config::setFirstCaptionRow(const std::string& value) {
    ini_.writeString(kMsg, "FirstCaptionRow", value);
    firstCaptionRow_ = value;
}

void Config::setLastCaptionRow(const std::string& value) {
    ini_.writeString(kMsg, "LastCaptionRow", value);
    lastCaptionRow_ = value;
}

void Config::setLastDayRow(const std::string& value) {
    ini_.writeString(kMsg, "LastDayRow", value);
    lastDayRow_ = value;
}

void Config::setTimeFormat(const std::string& value) {
    ini_.writeString(kMsg, "TimeFormat", ansiUpper(value));
    timeFormat_ = value;
}

void Config::setTimeShift(int minutes) {
    ini_.writeInteger(kSchedule, "TimeShift", minutes);
    timeShift_ = minutes;
}

void Config::setScheduleMessage(const std::string& message) {
    ini_.writeString(kSchedule, "Message", message);
    scheduleMessage_ = message;
}

void Config::setRunMe(bool value) {
    ini_.writeInteger(kSchedule, "RunMe", value ? 1 : 0);
    runMe_ = value;
}

void Config::setExternalCommandLine(const std::string& commandLine) {
    ini_.writeString(kSchedule, "ExternalCommandLine", commandLine);
    externalCommandLine_ = commandLine;
}

void Config::setFilmGridColumns(const std::array<int, 4>& widths) {
    for (int i = 0; i < 4; ++i) ini_.writeInteger(kFilmGrid, columnKey(i), widths[static_cast<std::size_t>(i)]);
    filmGridColumns_ = widths;
    filmGridColumnsStored_ = true;
}

}  // namespace orbisk
