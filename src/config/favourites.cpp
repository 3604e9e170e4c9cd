#include "config/favourites.h"

#include <algorithm>

#include "base/codepage.h"
#include "base/inifile.h"

namespace orbisk {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> readFavourites(const IniFile& ini) {
    std::vector<std::string> phrases;
    for (const auto& [key, value] : ini.readSectionValues(kFavouritesSection)) {
        const std::string_view phrase = trimmed(value);
        if (!phrase.empty()) phrases.emplace_back(phrase);
    }
    return phrases;
}

void writeFavourites(IniFile& ini, const std::vector<std::string>& phrases) {
    ini.eraseSection(kFavouritesSection);
    int number = 0;
    for (const auto& phrase : phrases) ini.writeString(kFavouritesSection, std::to_string(++number), phrase);
}

bool addFavourite(IniFile& ini, std::string_view phrase) {
    phrase = trimmed(phrase);
    if (phrase.empty()) return false;
    std::vector<std::string> phrases = readFavourites(ini);
    if (std::any_of(phrases.begin(), phrases.end(), [&](const std::string& p) { return ansiSameText(p, phrase); }))
        return false;
    // Only the new key is written: the others stay as they are in the file.
    const auto keys = ini.readSection(kFavouritesSection);
    int number = static_cast<int>(keys.size()) + 1;
    while (ini.valueExists(kFavouritesSection, std::to_string(number))) ++number;
    ini.writeString(kFavouritesSection, std::to_string(number), phrase);
    return true;
}

bool removeFavourite(IniFile& ini, std::string_view phrase) {
    phrase = trimmed(phrase);
    std::vector<std::string> phrases = readFavourites(ini);
    const auto end = std::remove_if(phrases.begin(), phrases.end(),
                                    [&](const std::string& p) { return ansiSameText(p, phrase); });
    if (end == phrases.end()) return false;
    phrases.erase(end, phrases.end());
    writeFavourites(ini, phrases);
    return true;
}

}  // namespace orbisk
