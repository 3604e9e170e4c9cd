#include "config/identifier.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/codepage.h"
#include "base/error.h"
#include "base/strings.h"

namespace orbisk {

namespace {

constexpr const char* kNoFolder = "Путь %s не существует"_cp1251;
constexpr const char* kNoFile = "Файл %s не существует"_cp1251;
constexpr const char* kJamFilter = "База JAM (*.jdt)|*.jdt|Все файлы (*.*)|*.*"_cp1251;
constexpr const char* kGuideFilter =
    "Программа XMLTV (*.xml *.xml.gz *.xml.xz *.gz *.xz)|*.xml;*.xml.gz;*.xml.xz;*.gz;*.xz|Все файлы (*.*)|*.*"_cp1251;
constexpr const char* kSquishFilter = "База SQISH (*.sqd)|*.sqd|Все файлы (*.*)|*.*"_cp1251;

bool isDirectory(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool isAddress(std::string_view path) {
    auto startsNoCase = [&](std::string_view scheme) {
        if (path.size() < scheme.size()) return false;
        for (std::size_t i = 0; i < scheme.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(path[i])) != scheme[i]) return false;
        return true;
    };
    return startsNoCase("http://") || startsNoCase("https://");
}

char areaLetter(AreaKind kind) {
    switch (kind) {
        case AreaKind::Fido:
            return 'F';
        case AreaKind::Hudson:
            return 'H';
        case AreaKind::Jam:
            return 'J';
        case AreaKind::Squish:
            return 'S';
        case AreaKind::Internet:
            return 'I';
        case AreaKind::Guide:
            return 'X';
    }
    return 'F';
}

bool areaUsesFolder(AreaKind kind) {
    return kind != AreaKind::Jam && kind != AreaKind::Squish && kind != AreaKind::Guide;
}

std::string areaFileFilter(AreaKind kind) {
    if (kind == AreaKind::Jam) return kJamFilter;
    if (kind == AreaKind::Squish) return kSquishFilter;
    if (kind == AreaKind::Guide) return kGuideFilter;
    return {};
}

AreaSetting loadIdentifier(std::string_view identifier) {
    AreaSetting s;
    if (identifier.empty()) return s;
    s.path = std::string(identifier.substr(1));
    switch (identifier[0]) {
        case 'F':
            s.kind = AreaKind::Fido;
            break;
        case 'H': {
            s.kind = AreaKind::Hudson;
            const std::int32_t board = strToInt(identifier.substr(1, 3));
            s.hudsonBoard = std::clamp<std::int32_t>(board, kMinHudsonBoard, kMaxHudsonBoard);
            s.path = identifier.size() > 4 ? std::string(identifier.substr(4)) : std::string();
            break;
        }
        case 'I':
            s.kind = AreaKind::Internet;
            break;
        case 'J':
            s.kind = AreaKind::Jam;
            break;
        case 'S':
            s.kind = AreaKind::Squish;
            break;
        case 'X':
            s.kind = AreaKind::Guide;
            break;
        default:
            return AreaSetting{};
    }
    return s;
}

std::string stripBaseExtension(std::string_view fileName) {
    if (fileName.size() >= 4 && fileName[fileName.size() - 4] == '.') fileName.remove_suffix(4);
    return std::string(fileName);
}

std::string composeIdentifier(const AreaSetting& setting) {
    std::string id(1, areaLetter(setting.kind));
    if (setting.kind == AreaKind::Hudson) {
        // Three digits exactly: the reader takes the board from characters 2 to 4.
        char board[8];
        std::snprintf(board, sizeof board, "%03d", std::clamp(setting.hudsonBoard, kMinHudsonBoard, kMaxHudsonBoard));
        id += board;
    }
    // A guide is named whole: its extension tells how it is packed.
    id += areaUsesFolder(setting.kind) || setting.kind == AreaKind::Guide ? setting.path : stripBaseExtension(setting.path);
    return id;
}

std::string dataFileForBase(AreaKind kind, const std::string& basePath) {
    if (basePath.empty() || areaUsesFolder(kind) || kind == AreaKind::Guide) return basePath;
    const std::string lower = basePath + (kind == AreaKind::Jam ? ".jdt" : ".sqd");
    const std::string upper = basePath + (kind == AreaKind::Jam ? ".JDT" : ".SQD");
    if (isRegularFile(ansiToFileName(lower))) return lower;
    if (isRegularFile(ansiToFileName(upper))) return upper;
    // A base chosen as a file without a four-character extension is stored whole.
    if (isRegularFile(ansiToFileName(basePath)) && stripBaseExtension(basePath) == basePath) return basePath;
    return lower;
}

std::string checkAreaPath(AreaKind kind, const std::string& path) {
    const std::string name = ansiToFileName(path);
    if (kind == AreaKind::Guide && isAddress(path)) return {};
    if (areaUsesFolder(kind)) return isDirectory(name) ? std::string() : format(kNoFolder, path);
    return isRegularFile(name) ? std::string() : format(kNoFile, path);
}

}  // namespace orbisk
