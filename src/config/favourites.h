#pragma once
// The user's favourites: words and phrases kept in section "Favourites" of
// Orbisk.ini as keys "1", "2", … in the user's order.
#include <string>
#include <string_view>
#include <vector>

namespace orbisk {

class IniFile;

inline constexpr char kFavouritesSection[] = "Favourites";

// The phrases as stored, blanks around them dropped, empty ones skipped.
std::vector<std::string> readFavourites(const IniFile& ini);
// Replaces the section by `phrases`, numbered from 1.
void writeFavourites(IniFile& ini, const std::vector<std::string>& phrases);
// Appends `phrase` unless it is empty or already there (case aside); true
// when the list changed. Write failures throw as IniFile's writes do.
bool addFavourite(IniFile& ini, std::string_view phrase);
// Removes every entry equal to `phrase` (case aside); true when one went.
bool removeFavourite(IniFile& ini, std::string_view phrase);

}  // namespace orbisk
