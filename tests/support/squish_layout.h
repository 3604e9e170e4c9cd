#pragma once
// The published Squish layout, read and checked byte by byte in tests
// (never through the kind under test).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace orbisk::test {

inline std::uint32_t sqU32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return 0xDEADBEEF;
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8 |
           static_cast<unsigned char>(s[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}
inline std::uint16_t sqU16(const std::string& s, std::size_t at) {
    if (at + 2 > s.size()) return 0xBEEF;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
inline void sqPut32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void sqPut16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}

inline constexpr std::uint32_t kSquishFrameSignature = 0xAFAE4453;

// Both chains and the index agree with each other and with the counters,
// and no frame reaches past the end of the data file.
inline testing::AssertionResult squishChainsSound(const std::string& sqd, const std::string& sqi) {
    const std::uint32_t numMsg = sqU32(sqd, 4);
    if (sqi.size() != numMsg * 12u) return testing::AssertionFailure() << "index size " << sqi.size() << " for " << numMsg;
    if (sqU32(sqd, 8) != numMsg) return testing::AssertionFailure() << "high message " << sqU32(sqd, 8);
    auto fits = [&](std::uint32_t f) { return f + 28ull + sqU32(sqd, f + 12) <= sqd.size(); };
    std::vector<std::uint32_t> chain;
    std::uint32_t prev = 0;
    for (std::uint32_t f = sqU32(sqd, 104); f != 0; f = sqU32(sqd, f + 4)) {
        if (chain.size() > numMsg) return testing::AssertionFailure() << "message chain too long or looping";
        if (sqU32(sqd, f) != kSquishFrameSignature || sqU16(sqd, f + 24) != 0 || !fits(f))
            return testing::AssertionFailure() << "bad frame at " << f;
        if (sqU32(sqd, f + 8) != prev) return testing::AssertionFailure() << "prev link of " << f;
        chain.push_back(f);
        prev = f;
    }
    if (sqU32(sqd, 108) != prev) return testing::AssertionFailure() << "last frame " << sqU32(sqd, 108) << " != " << prev;
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (sqU32(sqi, 12 * i) != chain[i]) return testing::AssertionFailure() << "index record " << i;
    if (chain.size() != numMsg) return testing::AssertionFailure() << "chain holds " << chain.size();
    std::set<std::uint32_t> seen(chain.begin(), chain.end());
    prev = 0;
    std::size_t n = 0;
    for (std::uint32_t f = sqU32(sqd, 112); f != 0; f = sqU32(sqd, f + 4)) {
        if (++n > 100000) return testing::AssertionFailure() << "free chain loops";
        if (sqU32(sqd, f) != kSquishFrameSignature || sqU16(sqd, f + 24) != 1 || !fits(f))
            return testing::AssertionFailure() << "free frame " << f;
        if (sqU32(sqd, f + 8) != prev) return testing::AssertionFailure() << "free prev link of " << f;
        if (!seen.insert(f).second) return testing::AssertionFailure() << "frame " << f << " in both chains";
        prev = f;
    }
    if (sqU32(sqd, 116) != prev) return testing::AssertionFailure() << "last free frame";
    return testing::AssertionSuccess();
}

}  // namespace orbisk::test
