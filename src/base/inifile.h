#pragma once
// An INI file read and written with the semantics of the Windows profile
// functions (GetPrivateProfileString and its kin), so that an Orbisk.ini
// written on Windows reads the same here:
//  - section and key names compare without regard to case (Cyrillic too);
//  - the first occurrence of a section, and of a key inside it, is the one
//    read and the one written; a key before any section belongs to none;
//  - values lose the blanks around them and one pair of matching enclosing
//    quotes ('...' or "..."), and are cut to 2047 characters;
//  - lines starting with ';' are comments, lines that are neither a section
//    header nor key=value are kept but mean nothing.
// Every write reaches the disk at once and changes only the line(s) it must:
// every other byte of the file (comments, garbage, Windows-1251 text, CRLF or
// LF line ends) stays as it was. A write replaces the file through a
// temporary file and a rename, so a full disk or a crash never leaves a
// truncated file behind.
//
// Every write locks the file's folder and reads the file afresh under the
// lock, so programs sharing the file lose none of each other's keys.
// CR LF, LF and a lone CR all end lines; a UTF-8 byte-order mark makes the
// file UTF-8 text (read as 1251, written back as UTF-8 with its mark).
//
// The parsed lines are kept in memory and parsed again only when the file on
// disk has changed (device, inode, size, modification or change time).
// Paths are native file-system paths (UTF-8 on Linux).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace orbisk {

class IniFile {
public:
    static constexpr std::size_t kMaxValueLength = 2047;

    // The path is made absolute; nothing is read until the first access.
    explicit IniFile(const std::string& path);

    // The full path, as the error texts name it.
    const std::string& fileName() const { return path_; }
    bool exists() const;

    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // Missing key or no valid integer text -> def.
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    // Section names in file order, each name once (as first spelled).
    std::vector<std::string> readSections() const;
    // Keys of the section in file order, each key once (as first spelled).
    std::vector<std::string> readSection(std::string_view section) const;
    // (key, value) pairs of readSection, each value as readString gives it.
    std::vector<std::pair<std::string, std::string>> readSectionValues(std::string_view section) const;

    // Writes throw Error("Unable to write to <full path>") when the file
    // cannot be written; the file and this object then stay as they were.
    // CR and LF inside names and values become blanks (they would split the
    // line). A new key goes after the last non-blank line of its section, a
    // new section at the end of the file; a file made new uses CRLF.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    // Removes every occurrence of the section with all of its lines.
    void eraseSection(std::string_view section);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\r\n", "\n" or "" (last line without one)
        Kind kind = Kind::Other;
        std::string name;   // section or key name, blanks trimmed
        std::string value;  // key value as read (trimmed, unquoted, cut)
        // In a UTF-8 file, the line's bytes as read (none for a line written).
        std::optional<std::string> disk;
    };
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Line parseLine(std::string text, std::string eol);
    static Stamp stampOf(const struct ::stat& st);

    void refresh() const;
    std::size_t findSection(std::string_view section) const;  // header index or npos
    std::size_t findKey(std::size_t header, std::string_view key) const;
    std::string newLineEnd() const;
    void commit(std::vector<Line> lines);
    void replaceFile(const std::string& content) const;
    [[noreturn]] void writeFailed() const;

    class WriteLock;

    std::string path_;
    mutable std::vector<Line> lines_;
    // The file starts with a UTF-8 byte-order mark: read and written as UTF-8.
    mutable bool utf8_ = false;
    mutable Stamp stamp_;
    mutable bool loaded_ = false;
    // The file exists but could not be read: writing would replace settings
    // that were never seen, so writes are refused.
    mutable bool unreadable_ = false;
};

}  // namespace orbisk
