#pragma once
// Hudson base files laid out byte by byte from the published record
// layouts, independent of the kind's own writer, so that a misread offset
// in the kind is not mirrored here.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace orbisk::test {

struct HudsonMsg {
    std::uint16_t number = 0;
    std::uint8_t board = 1;
    std::string to = "All";
    std::string from = "Sender";
    std::string subject = "Subject";
    std::string date = "03-15-24";  // MM-DD-YY
    std::string time = "21:30";
    std::string text;  // OEM bytes
    std::uint8_t msgAttr = 0;
    std::uint8_t netAttr = 0;
    std::uint16_t timesRead = 0;
    std::uint16_t prevReply = 0, nextReply = 0, cost = 0;
    std::uint8_t destZone = 2, origZone = 2;
    std::uint16_t destNet = 5020, destNode = 1, origNet = 5030, origNode = 77;
    bool indexDeleted = false;      // index number 0xFFFF
    int numBlocksOverride = -1;     // header block count, when >= 0
    int startBlockOverride = -1;    // header first block, when >= 0
};

inline void put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

inline std::uint16_t get16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      (static_cast<unsigned char>(s[at + 1]) << 8));
}

// Pascal string: length byte, characters, zero fill to the field size.
inline void putPascal(std::string& s, std::size_t at, std::size_t field, const std::string& v) {
    const std::size_t n = std::min(v.size(), field - 1);
    s[at] = static_cast<char>(n);
    s.replace(at + 1, n, v.substr(0, n));
}

struct HudsonFiles {
    std::string info, idx, toidx, hdr, txt;
};

// Text blocks of charsPerBlock characters (at most 255); the unused rest
// of each block is filled with '#' so that a reader ignoring the length
// byte shows it.
inline HudsonFiles buildHudson(const std::vector<HudsonMsg>& msgs, std::size_t charsPerBlock = 255) {
    HudsonFiles f;
    f.info.assign(406, '\0');
    std::uint16_t low = 0xFFFF, high = 0, total = 0;
    std::uint16_t perBoard[201] = {};
    for (const HudsonMsg& m : msgs) {
        std::string h(187, '\0');
        const std::size_t first = f.txt.size() / 256;
        std::size_t blocks = 0;
        for (std::size_t at = 0; at < m.text.size(); at += charsPerBlock, ++blocks) {
            std::string b(256, '#');
            const std::string part = m.text.substr(at, charsPerBlock);
            b[0] = static_cast<char>(part.size());
            b.replace(1, part.size(), part);
            f.txt += b;
        }
        put16(h, 0, m.number);
        put16(h, 2, m.prevReply);
        put16(h, 4, m.nextReply);
        put16(h, 6, m.timesRead);
        put16(h, 8, static_cast<std::uint16_t>(m.startBlockOverride >= 0 ? m.startBlockOverride : first));
        put16(h, 10, static_cast<std::uint16_t>(m.numBlocksOverride >= 0 ? m.numBlocksOverride : blocks));
        put16(h, 12, m.destNet);
        put16(h, 14, m.destNode);
        put16(h, 16, m.origNet);
        put16(h, 18, m.origNode);
        h[20] = static_cast<char>(m.destZone);
        h[21] = static_cast<char>(m.origZone);
        put16(h, 22, m.cost);
        h[24] = static_cast<char>(m.msgAttr);
        h[25] = static_cast<char>(m.netAttr);
        h[26] = static_cast<char>(m.board);
        putPascal(h, 27, 6, m.time);
        putPascal(h, 33, 9, m.date);
        putPascal(h, 42, 36, m.to);
        putPascal(h, 78, 36, m.from);
        putPascal(h, 114, 73, m.subject);
        f.hdr += h;

        std::string i(3, '\0');
        put16(i, 0, m.indexDeleted ? 0xFFFF : m.number);
        i[2] = static_cast<char>(m.board);
        f.idx += i;

        std::string t(36, '\0');
        putPascal(t, 0, 36, m.to);
        f.toidx += t;

        if (!m.indexDeleted && !(m.msgAttr & 1)) {
            ++total;
            if (m.board >= 1 && m.board <= 200) ++perBoard[m.board];
        }
        low = std::min(low, m.number);
        high = std::max(high, m.number);
    }
    put16(f.info, 0, msgs.empty() ? 1 : low);
    put16(f.info, 2, high);
    put16(f.info, 4, total);
    for (int b = 1; b <= 200; ++b) put16(f.info, 6 + 2 * (b - 1), perBoard[b]);
    return f;
}

// Writes the files under the upper-case names DOS programs give them.
inline void writeHudson(const TempDir& dir, const HudsonFiles& f) {
    writeFile(dir / "MSGINFO.BBS", f.info);
    writeFile(dir / "MSGIDX.BBS", f.idx);
    writeFile(dir / "MSGTOIDX.BBS", f.toidx);
    writeFile(dir / "MSGHDR.BBS", f.hdr);
    writeFile(dir / "MSGTXT.BBS", f.txt);
}

// "H" + three board characters + directory.
inline std::string hudsonId(int board, const TempDir& dir) {
    char b[8];
    std::snprintf(b, sizeof b, "%03d", board);
    return std::string("H") + b + dir.str();
}

}  // namespace orbisk::test
