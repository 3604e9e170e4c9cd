#pragma once
// The area identifier as the message-base dialog reads and builds it: one
// kind letter, for Hudson a three-digit board number, then the location
// (a folder, or for JAM and Squish the base file name without extension).
// The dialog only shows these values; the rules live here.
#include <string>
#include <string_view>

#include "base/cp1251.h"

namespace orbisk {

enum class AreaKind { Fido, Hudson, Jam, Squish, Internet, Guide };

// "F", "H", "J", "S", "I", "X" (an XMLTV guide: a file or an http/https address).
char areaLetter(AreaKind kind);
// True: the location is a folder (Fido, Hudson, text files); false: a file
// (or, for a guide, an address).
bool areaUsesFolder(AreaKind kind);
// The file picker's filter in "Description|pattern|..." form for JAM,
// Squish and guides; empty for the folder kinds.
std::string areaFileFilter(AreaKind kind);

inline constexpr int kMinHudsonBoard = 1;
inline constexpr int kMaxHudsonBoard = 999;

// What the dialog shows for an identifier.
struct AreaSetting {
    AreaKind kind = AreaKind::Fido;
    int hudsonBoard = 1;
    std::string path;  // both path fields hold this text
};

// Empty identifier, or one whose first character is not exactly one of the
// upper-case letters F, H, I, J, S, X: Fido, board 1, empty path. "H": the board
// is characters 2 to 4 (held within 1..999, as the board spinner would) and
// the path starts at character 5. Throws Error("'<ccc>' is not a valid
// integer value") when those three characters are no integer.
AreaSetting loadIdentifier(std::string_view identifier);

// The kind letter, for Hudson the board as three digits, then the location:
// a folder, a guide's file or address as given, a base's file name without
// its extension (see stripBaseExtension).
std::string composeIdentifier(const AreaSetting& setting);

// An http:// or https:// address (any case of the scheme).
bool isAddress(std::string_view path);

// A JAM or Squish base is named without extension: when the fourth
// character from the end is "." the last four characters go, otherwise the
// name is taken whole (names shorter than four characters too).
std::string stripBaseExtension(std::string_view fileName);

// The text for the file field of a stored JAM or Squish base: the base's
// data file (".jdt"/".sqd", either case, whichever exists), or the stored
// path itself when it is an existing file without a four-character
// extension, else the data file name in lower case. Closing with OK needs an
// existing file, and composeIdentifier turns this text back into the stored
// path. An empty path, and the path of a folder kind, stay as they are.
std::string dataFileForBase(AreaKind kind, const std::string& basePath);

// The check run when the dialog is confirmed: empty when the location
// exists, else the warning text "Путь %s не существует" (folder kinds) or
// "Файл %s не существует" (file kinds) with the path in place of %s. The
// path is 1251, as stored; it is tested under its file-system name, the one
// the loaders open. A guide's address is not tested: the refresh says
// whether it answers.
std::string checkAreaPath(AreaKind kind, const std::string& path);

// A path with characters Windows-1251 lacks, refused rather than stored
// mangled; the path (with "?" for them) follows the text.
inline constexpr const char* kPathNotInCodePageText =
    "Имя папки или файла содержит знаки, которых нет в кодировке Windows-1251 файла Orbisk.ini. Выберите другое место:"_cp1251;

// The caption of the settings warnings.
inline constexpr const char* kSettingsCaption = "Установки"_cp1251;

}  // namespace orbisk
