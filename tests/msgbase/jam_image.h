#pragma once
// JAM base files put together byte by byte from the published layout, so
// that the reader is checked against the format and not against our writer.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/tempdir.h"

namespace orbisk::test {

struct JamSubfield {
    std::uint16_t kind;
    std::string data;
};

struct JamMessageImage {
    JamMessageImage(std::vector<JamSubfield> s = {}, std::string t = {}) : subfields(std::move(s)), text(std::move(t)) {}
    std::vector<JamSubfield> subfields;
    std::string text;
    std::uint32_t attr = 0x01000010;
    std::uint32_t dateWritten = 0;
    std::uint32_t number = 0;  // 0: base number + position
    // Damage on purpose.
    std::optional<std::uint32_t> subfieldLen, textOffset, textLen, headerOffset, indexCrc;
    bool deadIndex = false;  // both index fields 0xFFFFFFFF
};

struct JamImage {
    std::string jhr, jdt, jdx;
};

inline void putLe(std::string& s, std::size_t at, std::uint64_t v, int bytes) {
    if (s.size() < at + bytes) s.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

inline std::uint32_t getLe32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

inline JamImage buildJam(const std::vector<JamMessageImage>& msgs, std::uint32_t baseNumber = 1) {
    JamImage img;
    img.jhr.assign(1024, '\0');
    img.jhr.replace(0, 4, std::string("JAM\0", 4));
    putLe(img.jhr, 4, 1700000000, 4);
    putLe(img.jhr, 16, 0xFFFFFFFF, 4);
    putLe(img.jhr, 20, baseNumber, 4);
    std::uint32_t active = 0;
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        const auto& m = msgs[i];
        std::string subs;
        for (const auto& sf : m.subfields) {
            std::string h;
            putLe(h, 0, sf.kind, 2);
            putLe(h, 2, 0, 2);
            putLe(h, 4, sf.data.size(), 4);
            subs += h + sf.data;
        }
        std::string h(76, '\0');
        h.replace(0, 4, std::string("JAM\0", 4));
        putLe(h, 4, 1, 2);
        putLe(h, 8, m.subfieldLen.value_or(static_cast<std::uint32_t>(subs.size())), 4);
        putLe(h, 16, 0xFFFFFFFF, 4);
        putLe(h, 20, 0xFFFFFFFF, 4);
        putLe(h, 36, m.dateWritten, 4);
        putLe(h, 48, m.number ? m.number : baseNumber + i, 4);
        putLe(h, 52, m.attr, 4);
        putLe(h, 60, m.textOffset.value_or(static_cast<std::uint32_t>(img.jdt.size())), 4);
        putLe(h, 64, m.textLen.value_or(static_cast<std::uint32_t>(m.text.size())), 4);
        putLe(h, 68, 0xFFFFFFFF, 4);
        const auto offset = static_cast<std::uint32_t>(img.jhr.size());
        img.jhr += h + subs;
        img.jdt += m.text;
        std::string rec;
        putLe(rec, 0, m.deadIndex ? 0xFFFFFFFF : m.indexCrc.value_or(0x12345678), 4);
        putLe(rec, 4, m.deadIndex ? 0xFFFFFFFF : m.headerOffset.value_or(offset), 4);
        img.jdx += rec;
        if (!m.deadIndex && m.indexCrc != 0xFFFFFFFFu && !(m.attr & 0x80000000)) ++active;
    }
    putLe(img.jhr, 12, active, 4);
    return img;
}

// Writes <base>.jhr/.jdt/.jdx (upper-case extensions when asked).
inline void writeJam(const std::string& base, const JamImage& img, bool upper = false) {
    writeFile(base + (upper ? ".JHR" : ".jhr"), img.jhr);
    writeFile(base + (upper ? ".JDT" : ".jdt"), img.jdt);
    writeFile(base + (upper ? ".JDX" : ".jdx"), img.jdx);
}

}  // namespace orbisk::test
