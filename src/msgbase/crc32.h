#pragma once
// The reflected CRC-32 of ISO 3309 / IEEE 802.3 (polynomial 0xEDB88320).
#include <cstdint>
#include <string_view>

namespace orbisk {

std::uint32_t crc32Step(std::uint8_t byte, std::uint32_t crc);
// JAM name checksum: register 0xFFFFFFFF, bytes lower-cased A..Z only, no
// final inversion. "" gives 0xFFFFFFFF.
std::uint32_t crc32LowerName(std::string_view s);

}  // namespace orbisk
