#pragma once
// FidoNet addresses: zone:net/node.point.
#include <cstdint>
#include <string>
#include <string_view>

namespace orbisk {

struct FidoAddress {
    std::uint16_t zone = 0;
    std::uint16_t net = 0;
    std::uint16_t node = 0;
    std::uint16_t point = 0;
    bool operator==(const FidoAddress&) const = default;
};

// "2:5020/1", with ".7" only when the point is not 0.
std::string addressToStr(const FidoAddress& a);
// "2:5020/1", never the point.
std::string addressToStr3D(const FidoAddress& a);
// Parses "zone:net/node.point@domain"; missing zone, net or node come from
// def, a missing point is 0 and a point that is no number reads as 0.
// False when the zone, net or node is no number; the fields read before the
// bad one are already stored in a. Numbers are kept modulo 65536.
bool parseAddress(std::string_view s, const FidoAddress& def, FidoAddress& a);

}  // namespace orbisk
