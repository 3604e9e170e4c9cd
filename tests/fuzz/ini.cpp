// Arbitrary bytes as an INI file: reads never fail, a write changes only the
// key written (the written key reads back, every other section and key reads
// as before, at most one old line is replaced) and the file on disk parses to
// what the object holds in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzzfiles.h"
#include "base/codepage.h"
#include "base/inifile.h"

namespace {

using orbisk::ansiSameText;
using orbisk::IniFile;
using Pairs = std::vector<std::pair<std::string, std::string>>;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "ini fuzz: %s\n", what);
    std::abort();
}
void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

const std::string& dir() { return orbisk::fuzz::workFolder("ini"); }

// What reading gives for a written value: no CR/LF, blanks trimmed, one pair
// of matching quotes removed, at most 2047 characters.
std::string asRead(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    const char* blanks = " \t\r\v\f";
    auto b = v.find_first_not_of(blanks);
    if (b == std::string::npos) return "";
    v = v.substr(b, v.find_last_not_of(blanks) - b + 1);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v.substr(0, IniFile::kMaxValueLength);
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        auto nl = s.find('\n', pos);
        if (nl == std::string::npos) nl = s.size() - 1;
        out.push_back(s.substr(pos, nl - pos + 1));
        pos = nl + 1;
    }
    return out;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct Snapshot {
    std::vector<std::string> sections;
    std::vector<Pairs> values;
};

Snapshot take(const IniFile& ini) {
    Snapshot s;
    s.sections = ini.readSections();
    for (const auto& name : s.sections) s.values.push_back(ini.readSectionValues(name));
    return s;
}

void sameExcept(const Snapshot& before, const IniFile& ini, std::string_view section, std::string_view key) {
    for (std::size_t i = 0; i < before.sections.size(); ++i) {
        const auto& name = before.sections[i];
        Pairs now = ini.readSectionValues(name);
        if (!ansiSameText(name, section)) {
            check(now == before.values[i], "another section changed");
            continue;
        }
        Pairs old = before.values[i];
        std::erase_if(old, [&](const auto& p) { return ansiSameText(p.first, key); });
        std::erase_if(now, [&](const auto& p) { return ansiSameText(p.first, key); });
        check(now == old, "another key of the written section changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = dir() + "/Orbisk.ini";
    orbisk::fuzz::putFile(path, bytes);
    IniFile ini(path);
    (void)ini.readString("MAIN", "FIDOPath", "");
    (void)ini.readInteger("MSG", "DelFromBegin", 5);
    (void)ini.readBool("MAIN", "EnableWarning", true);
    (void)ini.readSection("Channels");
    const Snapshot before = take(ini);

    // Write into a section and key the file already has when there is one.
    std::string section = "MAIN", key = "FIDOPath";
    const unsigned pick = size ? data[0] : 0;
    auto oneLine = [](const std::string& n) { return n.find('\r') == std::string::npos; };
    if (!before.sections.empty() && oneLine(before.sections[pick % before.sections.size()])) {
        std::size_t si = pick % before.sections.size();
        section = before.sections[si];
        if (!before.values[si].empty() && (pick & 0x80)) {
            const auto& k = before.values[si][pick % before.values[si].size()].first;
            if (oneLine(k)) key = k;
        }
    }
    const std::string value = bytes.substr(size / 2, 80);
    const std::string oldFile = slurp(path);
    ini.writeString(section, key, value);
    // A file with a UTF-8 byte-order mark stores the value as UTF-8.
    const bool utf8 = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    const std::string expected = asRead(utf8 ? orbisk::utf8ToAnsi(orbisk::ansiToUtf8(value)) : value);
    check(ini.readString(section, key, "\x01missing") == expected, "written key does not read back");
    sameExcept(before, ini, section, key);

    // Only one old line replaced, up to three new ones (line end added to the
    // last line, a section header, the key).
    const std::string newFile = slurp(path);
    auto a = lines(oldFile), b = lines(newFile);
    std::size_t p = 0, s = 0;
    while (p < a.size() && p < b.size() && a[p] == b[p]) ++p;
    while (s < a.size() - p && s < b.size() - p && a[a.size() - 1 - s] == b[b.size() - 1 - s]) ++s;
    check(a.size() - p - s <= 1 && b.size() - p - s <= 3, "write touched more than its line");

    // What is on disk parses to what the object holds.
    IniFile fresh(path);
    check(fresh.readString(section, key, "\x01missing") == expected, "disk differs from memory");
    const Snapshot after = take(ini);
    const Snapshot reread = take(fresh);
    check(after.sections == reread.sections && after.values == reread.values, "re-read differs");

    // Erasing one section leaves the others as they were.
    const std::string erased = after.sections.front();
    ini.eraseSection(erased);
    check(!ini.sectionExists(erased), "erased section still there");
    for (std::size_t i = 0; i < after.sections.size(); ++i)
        if (!ansiSameText(after.sections[i], erased))
            check(ini.readSectionValues(after.sections[i]) == after.values[i], "erase changed another section");
    return 0;
}
