#include "msgbase/crc32.h"

#include <array>

#include "msgbase/msgstr.h"

namespace orbisk {

namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

constexpr auto kTable = makeTable();

}  // namespace

std::uint32_t crc32Step(std::uint8_t byte, std::uint32_t crc) { return kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8); }

std::uint32_t crc32LowerName(std::string_view s) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : s) crc = crc32Step(static_cast<std::uint8_t>(lowerAscii(c)), crc);
    return crc;
}

}  // namespace orbisk
